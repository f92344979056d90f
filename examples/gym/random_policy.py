#!/usr/bin/python3
"""A driver that asks for random steering and speed: the environment's bare loop.

    python examples/gym/random_policy.py [COURSE] [--seed S]
"""
import argparse

import roadsim


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("course", nargs="?", default="meadow_loop")
    parser.add_argument("--seed", type=int, default=1)
    options = parser.parse_args()
    env = roadsim.make(options.course, obs="state")
    env.action_space.seed(options.seed)
    observation, info = env.reset(seed=options.seed)
    total, terminated, truncated = 0.0, False, False
    while not (terminated or truncated):
        observation, reward, terminated, truncated, info = env.step(env.action_space.sample())
        total += reward
    print(f"{env.drive.steps} steps, {env.drive.distance:.0f} ft, return {total:.2f}, "
          f"{len(info['laps'])} laps, {info['end']}")


if __name__ == "__main__":
    main()
