#!/usr/bin/python3
"""Trains the learned driver on the lab's recordings, to do what its teacher would have done.

    train.py MODEL.pt RECORDING [RECORDING ...] [--init MODEL.pt] [--epochs N]

Each RECORDING is a folder written by roadsim-lab --record --record-size 80x60, whoever drove,
with that drive's --json beside it as RECORDING.json. The teacher is the pure-pursuit example
controller: the course and its obstacles are in the JSON, and its answer to each logged state is
the target. The log's expert columns (the built-in autopilot) would teach fewer obstacles missed:
the autopilot turns away from one only in its last few feet.
"""
import argparse
import json
import os
import sys
from collections.abc import Callable, Iterable, Mapping, Sequence
from typing import Any

from frames import ROOT, np, read_log, view
import net
import torch

sys.path.insert(0, os.path.join(ROOT, "examples", "controllers"))
import pure_pursuit  # noqa: E402

LOST_FT = 15  # beyond this the view shows too little of the course to learn from
# The speed learned is this quantile of the teacher's in views alike: the target speeds are not in
# the picture, and where it cannot tell, a cautious driver takes the slower guess.
SPEED_QUANTILE = 0.3
# Pure pursuit's options as teacher: 9 ft of room beside a solid obstacle rather than its default 7
# hit 118 obstacles instead of 134 on the training courses (the autopilot 165), 15 courses, 3 seeds.
TEACHER_OPTIONS = ["--clearance", "9"]


# A teacher: pure pursuit's steering and speed for a state.
Teacher = Callable[[Mapping[str, Any]], tuple[float, float]]


def pursuit(waypoints: Iterable[Sequence[float]], obstacles: Iterable[Sequence[float]]) -> Teacher:
    """Pure pursuit with TEACHER_OPTIONS on a course: its answer, steering and speed, to a state (a
    mapping with x, y, heading, speed and waypoint). WAYPOINTS: rows of x, y, target speed;
    OBSTACLES: rows of x, y, strength, as that drive's seed placed them."""
    course = pure_pursuit.Course({
        "waypoints": [{"x": x, "y": y, "speed": speed} for x, y, speed in waypoints],
        "obstacles": [{"x": x, "y": y, "strength": strength} for x, y, strength in obstacles]})
    options = pure_pursuit.parse_options(TEACHER_OPTIONS)
    return lambda state: pure_pursuit.choose(
        course, {"x": float(state["x"]), "y": float(state["y"]),
                 "heading": float(state["heading"]), "speed": float(state["speed"]),
                 "waypoint": int(state["waypoint"])}, options)


def teacher(folder: str) -> Teacher:
    """Pure pursuit's answer to a state of the recording in FOLDER, from the JSON beside it."""
    with open(folder + ".json") as file:
        drive = json.load(file)
    return pursuit(drive["waypoints"], drive["obstacles"])


def load(folders: Sequence[str],
         every: int = 1) -> tuple[torch.Tensor, torch.Tensor, torch.Tensor]:
    """Views, speeds and the teacher's choices of every EVERY-th step near the track."""
    views, speeds, targets = [], [], []
    for folder in folders:
        choose = teacher(folder)
        for row in read_log(folder)[::every]:
            if abs(float(row["cross_track"])) > LOST_FT:
                continue
            views.append(view(os.path.join(folder, row["image"])))
            speeds.append(float(row["speed"]))
            targets.append(choose(row))
    return (torch.from_numpy(np.array(views)), torch.tensor(speeds),
            torch.tensor(targets, dtype=torch.float32))


def fit(driver: net.Driver, views: torch.Tensor, speeds: torch.Tensor, targets: torch.Tensor,
        epochs: int, seed: int = 0) -> list[float]:
    """Adam on the scaled absolute error of the steering and the quantile loss of the speed; returns
    the RMS errors of both. The absolute error learns the teacher's median steering: where, in views
    alike, it passes an obstacle now on one side and now on the other, the mean drives into it."""
    torch.manual_seed(seed)
    if not driver.background.any():
        sample = views[torch.randperm(len(views))[:1000]]
        driver.background.copy_(sample.float().median(0).values.permute(2, 0, 1))
    scale = torch.tensor([net.STEERING_SCALE, net.SPEED_SCALE])
    optimiser = torch.optim.Adam(driver.parameters(), lr=1e-3)
    batches = max(1, len(views) // 128)
    schedule = torch.optim.lr_scheduler.OneCycleLR(optimiser, 2e-3, total_steps=epochs * batches)
    driver.train()
    for _ in range(epochs):
        for batch in torch.randperm(len(views)).chunk(batches):
            asked = driver(views[batch], speeds[batch])
            error = (asked - targets[batch]) / scale
            loss = (error[:, 0].abs() + torch.maximum(SPEED_QUANTILE * -error[:, 1],
                                                     (1 - SPEED_QUANTILE) * error[:, 1])).mean()
            optimiser.zero_grad()
            loss.backward()
            optimiser.step()
            schedule.step()
    driver.eval()
    with torch.no_grad():
        columns = (data.split(1024) for data in (views, speeds, targets))
        error = torch.cat([driver(*batch[:2]) - batch[2] for batch in zip(*columns)])
    return error.pow(2).mean(0).sqrt().tolist()


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("model")
    parser.add_argument("recordings", nargs="+")
    parser.add_argument("--init", help="start from this model rather than afresh")
    parser.add_argument("--epochs", type=int, default=8)
    parser.add_argument("--every", type=int, default=1, help="learn from every N-th step only")
    options = parser.parse_args()
    driver = net.load(options.init) if options.init else net.Driver()
    data = load(options.recordings, options.every)
    steering, speed = fit(driver, *data, options.epochs)
    print(f"trained on {len(data[0])} frames: RMS error steering {steering:.2f} deg, "
          f"speed {speed:.2f} mph", file=sys.stderr)
    torch.save(driver.state_dict(), options.model)


if __name__ == "__main__":
    main()
