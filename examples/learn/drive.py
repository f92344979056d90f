#!/usr/bin/python3
"""A controller for roadsim-lab --controller that drives with the learned network, seeing only the frame of each step.

    roadsim-lab COURSE --record DIR --record-size 80x60 --controller "drive.py MODEL.pt DIR"

It reads the frame named in every state message from DIR and answers with the network's steering
and speed. Of the state's numbers it uses only the speed, which the dashboard's gauge shows anyway.
"""
import argparse
import json
import os
import sys

from frames import view
import net
import torch


def reply(driver, recording, message):
    """The answer to one state message, as the line to send."""
    steering, speed = driver.act(view(os.path.join(recording, message["image"])), message["speed"])
    return json.dumps({"steering": steering, "speed": speed})


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("model")
    parser.add_argument("recording", help="the folder given to roadsim-lab --record")
    parser.add_argument("--steps", type=int, help="leave after this many steps (a bounded drive)")
    options = parser.parse_args()
    torch.set_num_threads(1)
    driver = net.load(options.model)
    steps = 0
    for line in sys.stdin:
        message = json.loads(line)
        if message["type"] == "end" or steps == options.steps:
            break
        if message["type"] == "state":
            print(reply(driver, options.recording, message), flush=True)
            steps += 1


if __name__ == "__main__":
    main()
