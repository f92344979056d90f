#!/usr/bin/python3
"""A controller of roadsim-lab that drives with the policy ppo.py trained, on NumPy alone.

    roadsim-lab COURSE --controller "examples/rl/drive.py [POLICY]"

It sees what the environment showed the policy, roadsim.sight of the course and state messages,
and answers with the policy's mean action, from -1 to 1, in degrees and mph.
"""
import json
import os
import sys
from typing import Any

import numpy as np
import numpy.typing as npt
import roadsim

Array = npt.NDArray[Any]


def load(path: str) -> dict[str, Array]:
    """The policy's arrays, checked against the sight this module gives."""
    try:
        policy = dict(np.load(path))
    except OSError as error:
        sys.exit(f"drive.py: cannot read the policy {path}: {error.strerror or error}")
    if tuple(policy["fields"]) != roadsim.SIGHT_FIELDS:
        sys.exit(f"drive.py: {path} was trained on another sight than this roadsim gives")
    return policy


def act(policy: dict[str, Array], sight: Array) -> Array:
    """The policy's mean action for SIGHT: steering and speed, each from -1 to 1."""
    x = np.clip((sight - policy["mean"]) / np.sqrt(policy["var"] + 1e-8), -10, 10)
    layers = sum(1 for name in policy if name.startswith("w"))
    for i in range(layers):
        x = policy[f"w{i}"] @ x + policy[f"b{i}"]
        if i < layers - 1:
            x = np.tanh(x)
    return np.clip(x, -1, 1)


def main() -> None:
    here = os.path.dirname(os.path.abspath(__file__))
    policy = load(sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "policy.npz"))
    course: dict[str, Any] = {}
    for line in sys.stdin:
        message = json.loads(line)
        if message["type"] == "course":
            course = message
        elif message["type"] == "state":
            steering, speed = act(policy, roadsim.sight(course, message))
            print(json.dumps({"steering": float(steering) * roadsim.MAX_STEERING,
                              "speed": (float(speed) + 1) / 2 * roadsim.TOP_SPEED}), flush=True)
        else:
            break


if __name__ == "__main__":
    main()
