#!/usr/bin/python3
"""Trains the learned driver on the lab's recordings, to do what the expert would have done.

    train.py MODEL.pt RECORDING [RECORDING ...] [--init MODEL.pt] [--epochs N]

Each RECORDING is a folder written by roadsim-lab --record --record-size 80x60, whoever drove:
the targets are its log's expert_steering and expert_speed.
"""
import argparse
import os
import sys

from frames import np, read_log, view
import net
import torch

LOST_FT = 15  # beyond this the view shows too little of the course to learn from


def load(folders, every=1):
    """Views, speeds, steerings and the expert's choices of every EVERY-th step near the track."""
    views, speeds, steerings, targets = [], [], [], []
    for folder in folders:
        for row in read_log(folder)[::every]:
            if abs(float(row["cross_track"])) > LOST_FT:
                continue
            views.append(view(os.path.join(folder, row["image"])))
            speeds.append(float(row["speed"]))
            steerings.append(float(row["steering"]))
            targets.append([float(row["expert_steering"]), float(row["expert_speed"])])
    return (torch.from_numpy(np.array(views)), torch.tensor(speeds), torch.tensor(steerings),
            torch.tensor(targets, dtype=torch.float32))


def fit(driver, views, speeds, steerings, targets, epochs, seed=0):
    """Adam on the scaled squared error; returns the RMS errors of steering and speed."""
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
            asked = driver(views[batch], speeds[batch], steerings[batch])
            loss = (((asked - targets[batch]) / scale) ** 2).mean()
            optimiser.zero_grad()
            loss.backward()
            optimiser.step()
            schedule.step()
    driver.eval()
    with torch.no_grad():
        columns = (data.split(1024) for data in (views, speeds, steerings, targets))
        error = torch.cat([driver(*batch[:3]) - batch[3] for batch in zip(*columns)])
    return error.pow(2).mean(0).sqrt().tolist()


def main():
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
