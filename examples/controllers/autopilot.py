#!/usr/bin/env python3
"""The built-in autopilot as an external controller for roadsim-lab --controller.

Each step it makes the same choice as the autopilot inside the lab, with the same arithmetic in
the same order, so the lab's figures and trace with it equal the built-in autopilot's bit for bit.
The tuning values are options, as the lab's: --heading --track --path --threshold --avoid.
"""
# The hints stay unevaluated, for whichever Python 3 runs the controller.
from __future__ import annotations

import argparse
import json
import sys
from collections.abc import Mapping

MAX_STEERING = 45.0
STEERING_STEP = 7.5
SPEED_STEP = 1.0
AVOID_SCALE = 500.0


def choose(state: Mapping[str, float], tuning: argparse.Namespace) -> tuple[float, float]:
    speed = state["speed"]
    steering = state["steering"]
    if state["target_speed"] > speed:
        speed = speed + SPEED_STEP
    else:
        speed = speed - SPEED_STEP
    path = tuning.path
    # Standing still there is nothing to avoid (and no division by zero).
    avoidance = 0.0 if speed == 0 else (
        (1 - path) * state["obstacle_sum"] * AVOID_SCALE * tuning.avoid / speed)
    demand = path * (tuning.heading * state["heading_error"]
                     + tuning.track * 10 * state["cross_track"]) - avoidance
    if demand > MAX_STEERING:
        demand = MAX_STEERING
    elif demand < -MAX_STEERING:
        demand = -MAX_STEERING
    if steering > demand:
        steering = steering - STEERING_STEP
    else:
        steering = steering + STEERING_STEP
    return steering, speed


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    for name in ("heading", "track", "path", "threshold", "avoid"):
        parser.add_argument("--" + name, type=float, default=0.5)
    tuning = parser.parse_args()
    for line in sys.stdin:
        message = json.loads(line)
        if message["type"] == "end":
            break
        if message["type"] != "state":
            continue
        steering, speed = choose(message, tuning)
        print(json.dumps({"steering": steering, "speed": speed}), flush=True)


if __name__ == "__main__":
    main()
