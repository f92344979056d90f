#!/usr/bin/env python3
"""A controller for roadsim-lab --controller that sees only the recorded frame of each step.

    roadsim-lab courses.txt --record DIR --controller "drive.py MODEL.npz DIR"

It reads the frame named in every state message from DIR and answers with the steering and
speed of the linear model that train.py fitted; it uses none of the state's numbers.
"""
import argparse
import json
import os
import sys

from frames import features, np


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("model")
    parser.add_argument("recording", help="the folder given to roadsim-lab --record")
    options = parser.parse_args()
    weights = np.load(options.model)["weights"]
    for line in sys.stdin:
        message = json.loads(line)
        if message["type"] == "end":
            break
        if message["type"] != "state":
            continue
        steering, speed = features(os.path.join(options.recording, message["image"])) @ weights
        print(json.dumps({"steering": float(steering), "speed": float(speed)}), flush=True)


if __name__ == "__main__":
    main()
