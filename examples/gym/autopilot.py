#!/usr/bin/python3
"""The built-in autopilot as a policy: it drives with info["expert"] and prints the figures of
every lap as `roadsim-lab COURSE --seed S --laps N` prints them.

    python examples/gym/autopilot.py [COURSE] [--seed S] [--laps N] [--watch]
"""
import argparse
from collections.abc import Iterable, Mapping

import roadsim


def print_laps(laps: Iterable[Mapping[str, float]]) -> None:
    """The figures of every lap, as roadsim-lab prints them."""
    for number, lap in enumerate(laps, 1):
        print(f"lap {number}: {lap['seconds']:.2f} s, {lap['hits']} obstacles hit, "
              f"{lap['collision_frames']} frames in collision, cross-track worst "
              f"{lap['worst_cross_track']:.2f} ft rms {lap['rms_cross_track']:.2f} ft, "
              f"mean speed {lap['mean_speed']:.2f} mph")


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("course", nargs="?", default="meadow_loop")
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--laps", type=int, default=3)
    parser.add_argument("--watch", action="store_true", help="show the drive in a window")
    options = parser.parse_args()
    env = roadsim.make(options.course, obs="state", laps=options.laps,
                       render_mode="human" if options.watch else None)
    observation, info = env.reset(seed=options.seed)
    terminated = truncated = False
    while not (terminated or truncated):
        observation, reward, terminated, truncated, info = env.step(info["expert"])
    print_laps(info["laps"])
    env.close()


if __name__ == "__main__":
    main()
