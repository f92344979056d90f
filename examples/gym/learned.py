#!/usr/bin/python3
"""The learned driver (examples/learn/model.pt, PyTorch) as a policy: it sees the 80 x 60 frame
without its banner, and the speed, as under roadsim-lab, and drives as examples/learn/drive-course
does: the same figures for every lap.

    python examples/gym/learned.py [COURSE] [--seed S] [--laps N] [--watch]
"""
import argparse
import os
import sys

from autopilot import print_laps

LEARN = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "learn")
sys.path.insert(0, LEARN)

from frames import BANNER_ROWS  # noqa: E402 (examples/learn, found above)
import net  # noqa: E402
import roadsim  # noqa: E402
import torch  # noqa: E402

SPEED = roadsim.STATE_FIELDS.index("speed")


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("course", nargs="?", default="meadow_loop")
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--laps", type=int, default=3)
    parser.add_argument("--watch", action="store_true", help="show the drive in a window")
    options = parser.parse_args()
    torch.set_num_threads(1)
    driver = net.load(os.path.join(LEARN, "model.pt"))
    env = roadsim.make(options.course, obs="both", frame_size=(80, 60), laps=options.laps,
                       render_mode="human" if options.watch else None)
    observation, info = env.reset(seed=options.seed)
    terminated = truncated = False
    while not (terminated or truncated):
        action = driver.act(observation["frame"][BANNER_ROWS:], observation["state"][SPEED])
        observation, reward, terminated, truncated, info = env.step(action)
    print_laps(info["laps"])
    env.close()


if __name__ == "__main__":
    main()
