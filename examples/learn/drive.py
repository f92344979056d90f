#!/usr/bin/python3
"""A controller for roadsim-lab that drives with the learned network, seeing only each step's frame.

    roadsim-lab COURSE --record DIR --record-size 80x60 --controller "drive.py MODEL.pt"

It reads the frame named in every state message from the recording folder that the course message
names (or from DIR, when given) and answers with the network's steering and speed. Of the state's
numbers it uses only the speed, which the dashboard's gauge shows anyway.
"""
import argparse
import json
import os
import sys
from collections.abc import Mapping
from typing import Any

from frames import view
import net
import torch


def reply(driver: net.Driver, recording: str, message: Mapping[str, Any]) -> str:
    """The answer to one state message, as the line to send."""
    steering, speed = driver.act(view(os.path.join(recording, message["image"])), message["speed"])
    return json.dumps({"steering": steering, "speed": speed})


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("model")
    parser.add_argument("recording", nargs="?",
                        help="the folder given to roadsim-lab --record (the lab names it too)")
    parser.add_argument("--steps", type=int, help="leave after this many steps (a bounded drive)")
    options = parser.parse_args()
    torch.set_num_threads(1)
    driver = net.load(options.model)
    steps, recording = 0, options.recording
    for line in sys.stdin:
        message = json.loads(line)
        if message["type"] == "end" or steps == options.steps:
            break
        if message["type"] == "course":
            recording = message.get("recording", recording)
        if message["type"] == "state":
            print(reply(driver, recording, message), flush=True)
            steps += 1


if __name__ == "__main__":
    main()
