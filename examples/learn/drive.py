#!/usr/bin/python3
"""A controller for roadsim-lab that drives with the learned network, seeing only each step's frame.

    roadsim-lab COURSE --record DIR --record-size 80x60 --controller "drive.py MODEL.pt"

It reads the frame named in every state message from the recording folder that the course message
names (or from DIR, when given) and answers with the network's steering
and speed. Of the state's numbers it uses only the speed, which the dashboard's gauge shows anyway;
the steering it knows as a driver knows where it turned the wheel: from its own answers, moved as
the lab moves the car's (at most 7.5 degrees a step, within 45 either way), from 0 whenever the car
stands at the start (the speed reads 0 only there: at the beginning and after each lap).
"""
import argparse
import json
import os
import sys

from frames import view
import net
import torch


STEERING_STEP = 7.5
MAX_STEERING = 45.0


def reply(driver, recording, message, steering):
    """The answer to one state message, as the line to send, and the steering it leaves the car."""
    picture = view(os.path.join(recording, message["image"]))
    asked, speed = driver.act(picture, message["speed"], steering)
    steering += min(STEERING_STEP, max(-STEERING_STEP, asked - steering))
    steering = min(MAX_STEERING, max(-MAX_STEERING, steering))
    return json.dumps({"steering": asked, "speed": speed}), steering


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("model")
    parser.add_argument("recording", nargs="?",
                        help="the folder given to roadsim-lab --record (the lab names it too)")
    parser.add_argument("--steps", type=int, help="leave after this many steps (a bounded drive)")
    options = parser.parse_args()
    torch.set_num_threads(1)
    driver = net.load(options.model)
    steps, steering, recording = 0, 0.0, options.recording
    for line in sys.stdin:
        message = json.loads(line)
        if message["type"] == "end" or steps == options.steps:
            break
        if message["type"] == "course":
            recording = message.get("recording", recording)
        if message["type"] == "state":
            if message["speed"] == 0:
                steering = 0.0
            answer, steering = reply(driver, recording, message, steering)
            print(answer, flush=True)
            steps += 1


if __name__ == "__main__":
    main()
