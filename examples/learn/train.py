#!/usr/bin/env python3
"""Fits a linear model from the lab's recorded frames to the driver's steering and speed.

    train.py MODEL.npz RECORDING [RECORDING ...]

Each RECORDING is a folder written by roadsim-lab --record. Ridge regression on shrunk grey
frames: one weight per picture pixel and output.
"""
import argparse
import os
import sys

from frames import features, np, read_log


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("model")
    parser.add_argument("recordings", nargs="+")
    parser.add_argument("--ridge", type=float, default=10.0, help="weight penalty (default 10)")
    options = parser.parse_args()
    inputs, targets = [], []
    for folder in options.recordings:
        for row in read_log(folder):
            inputs.append(features(os.path.join(folder, row["image"])))
            targets.append([float(row["steering_cmd"]), float(row["speed_cmd"])])
        print(f"{folder}: {len(inputs)} frames so far", file=sys.stderr)
    x = np.array(inputs, dtype=np.float64)
    y = np.array(targets, dtype=np.float64)
    penalty = options.ridge * np.eye(x.shape[1])
    penalty[-1, -1] = 0  # the constant term is free
    weights = np.linalg.solve(x.T @ x + penalty, x.T @ y)
    error = x @ weights - y
    print(f"fitted {x.shape[0]} frames: RMS error steering {np.sqrt(np.mean(error[:, 0] ** 2)):.2f}"
          f" deg, speed {np.sqrt(np.mean(error[:, 1] ** 2)):.2f} mph", file=sys.stderr)
    np.savez(options.model, weights=weights)


if __name__ == "__main__":
    main()
