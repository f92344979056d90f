#!/usr/bin/python3
"""A controller of roadsim-lab that drives with the policy ppo.py trained, on NumPy alone.

    roadsim-lab COURSE --controller "examples/rl/drive.py [POLICY]"

It sees what the environment showed the policy, roadsim.sight of the course and state messages,
and answers with the policy's mean steering in degrees, at the top speed.
"""
import json
import os
import sys
import zipfile
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
    except (ValueError, EOFError, zipfile.BadZipFile):
        sys.exit(f"drive.py: cannot read the policy {path}: not a NumPy .npz file")
    if tuple(policy.get("fields", ())) != roadsim.SIGHT_FIELDS or "w0" not in policy:
        sys.exit(f"drive.py: {path} is not a policy ppo.py made for the sight this roadsim gives")
    return policy


def act(policy: dict[str, Array], sight: Array) -> Array:
    """The policy's mean steering for SIGHT, -1 to 1 once clipped."""
    x = np.clip((sight - policy["mean"]) / np.sqrt(policy["var"] + 1e-8), -10, 10)
    layers = sum(1 for name in policy if name.startswith("w"))
    for i in range(layers):
        x = policy[f"w{i}"] @ x + policy[f"b{i}"]
        if i < layers - 1:
            x = np.tanh(x)
    return x


def car_action(steering: Array) -> Array:
    """The environment's normalised actions for the policy's STEERING, one a drive: the steering
    clipped to -1..1, and the top speed."""
    steering = np.clip(steering, -1, 1)
    return np.stack([steering, np.ones_like(steering)], -1)


def main() -> None:
    here = os.path.dirname(os.path.abspath(__file__))
    policy = load(sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "policy.npz"))
    course: dict[str, Any] = {}
    for line in sys.stdin:
        message = json.loads(line)
        if message["type"] == "course":
            course = message
        elif message["type"] == "state":
            steering, speed = car_action(act(policy, roadsim.sight(course, message))[0])
            print(json.dumps({"steering": float(steering) * roadsim.MAX_STEERING,
                              "speed": (float(speed) + 1) / 2 * roadsim.TOP_SPEED}), flush=True)
        else:
            break


if __name__ == "__main__":
    main()
