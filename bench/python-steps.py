#!/usr/bin/python3
"""Steps a second from Python, side by side in one run: the environment with the state only and
with 80 x 60 frames on one core, the vector environment with one and eight drives on one core and
on all cores, and the same drive through the lab's recording and a controller that reads every
frame from its PNG.

    python-steps.py BUILD [--seconds S]

The drive is the shipped course by the autopilot's choices (info["expert"]), three laps, started
again as often as the time allows.
"""
import argparse
import json
import os
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "examples", "controllers"))
sys.path.insert(0, os.path.join(ROOT, "examples", "learn"))
FRAME = (80, 60)


def env_rate(seconds, obs):
    """Steps a second of one environment."""
    import roadsim
    env = roadsim.make("meadow_loop", obs=obs, frame_size=FRAME)
    _, info = env.reset(seed=1)
    steps, start = 0, time.perf_counter()
    while time.perf_counter() - start < seconds:
        for _ in range(100):
            _, _, terminated, truncated, info = env.step(info["expert"])
            if terminated or truncated:
                _, info = env.reset(seed=1)
        steps += 100
    return steps / (time.perf_counter() - start)


def vector_rate(seconds, obs, num_envs):
    """Steps a second of all the drives of a vector environment together, on the cores it may
    use."""
    import roadsim
    env = roadsim.make_vec("meadow_loop", num_envs, obs=obs, frame_size=FRAME,
                           threads=min(num_envs, len(os.sched_getaffinity(0))))
    _, info = env.reset(seed=1)
    steps, start = 0, time.perf_counter()
    while time.perf_counter() - start < seconds:
        for _ in range(20):
            _, _, _, _, info = env.step(info["expert"])
        steps += 20 * num_envs
    return steps / (time.perf_counter() - start)


def controller():
    """A protocol controller that reads each step's frame, as a learner must, and answers as the
    built-in autopilot."""
    import autopilot
    from frames import read_png
    tuning = argparse.Namespace(heading=0.5, track=0.5, path=0.5, threshold=0.5, avoid=0.5)
    folder = ""
    for line in sys.stdin:
        message = json.loads(line)
        if message["type"] == "course":
            folder = message["recording"]
        elif message["type"] == "state":
            read_png(os.path.join(folder, message["image"]))
            steering, speed = autopilot.choose(message, tuning)
            print(json.dumps({"steering": steering, "speed": speed}), flush=True)
        else:
            break


def recorded_rate(build):
    """Steps a second of a drive recorded at 80 x 60 with a controller reading every frame."""
    lab = os.path.join(build, "roadsim-lab")
    with tempfile.TemporaryDirectory() as work:
        record = os.path.join(work, "drive")
        start = time.perf_counter()
        subprocess.run([lab, os.path.join(ROOT, "data", "courses.txt"), "--laps", "3",
                        "--record", record, "--record-size", "x".join(map(str, FRAME)),
                        "--controller", f"{sys.executable} {os.path.abspath(__file__)} --controller"],
                       check=True, stdout=subprocess.DEVNULL)
        elapsed = time.perf_counter() - start
        with open(os.path.join(record, "driving_log.csv")) as log:
            steps = sum(1 for _ in log) - 1
    return steps / elapsed


def measure(arguments):
    """One figure, in a process of its own so that the core it is pinned to holds for it alone."""
    kind, seconds = arguments.measure, arguments.seconds
    if kind in ("state", "frame"):
        rate = env_rate(seconds, kind)
    elif kind.startswith("vector-"):
        _, obs, drives = kind.split("-")
        rate = vector_rate(seconds, obs, int(drives))
    else:
        rate = recorded_rate(arguments.build)
    print(rate)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("build", nargs="?", default=os.path.join(ROOT, "build"))
    parser.add_argument("--seconds", type=float, default=3)
    parser.add_argument("--measure", help=argparse.SUPPRESS)
    parser.add_argument("--controller", action="store_true", help=argparse.SUPPRESS)
    arguments = parser.parse_args()
    if arguments.controller:
        return controller()
    if arguments.measure:
        return measure(arguments)

    cores = os.cpu_count()
    one_core = ["taskset", "-c", "0"]
    rows = [("environment, state only", "state", one_core),
            ("environment, 80 x 60 frames", "frame", one_core),
            ("vector environment, state only, 1 drive on 1 core", "vector-state-1", one_core),
            ("vector environment, state only, 8 drives on 1 core", "vector-state-8", one_core),
            (f"vector environment, state only, {cores} drives on {cores} cores",
             f"vector-state-{cores}", []),
            (f"vector environment, state only, 8 drives on {cores} cores", "vector-state-8x", []),
            (f"vector environment, 80 x 60 frames, {cores} drives on {cores} cores",
             f"vector-frame-{cores}", []),
            (f"vector environment, 80 x 60 frames, 8 drives on {cores} cores", "vector-frame-8x",
             []),
            ("lab recording 80 x 60 + Python controller reading each PNG", "recorded", one_core)]
    rates = {}
    print(f"{'steps a second':>16}  way")
    for title, kind, pinned in rows:
        out = subprocess.run(pinned + [sys.executable, os.path.abspath(__file__),
                                       arguments.build, "--seconds", str(arguments.seconds),
                                       "--measure", kind.rstrip("x")],
                             check=True, capture_output=True, text=True).stdout
        rates[kind] = float(out.split()[-1])
        print(f"{rates[kind]:16,.0f}  {title}", flush=True)
    print(f"frames on one core: {rates['frame'] / rates['recorded']:.1f} times the recorded way")
    state, frame = rates["state"], rates["frame"]
    print("against one environment: the vector environment on one core, "
          f"{rates['vector-state-1'] / state:.2f} with 1 drive, "
          f"{rates['vector-state-8'] / state:.2f} with 8; on {cores} cores, state only "
          f"{rates[f'vector-state-{cores}'] / state:.2f} with {cores} drives, "
          f"{rates['vector-state-8x'] / state:.2f} with 8; frames "
          f"{rates[f'vector-frame-{cores}'] / frame:.2f} with {cores} drives, "
          f"{rates['vector-frame-8x'] / frame:.2f} with 8")
    return 0


if __name__ == "__main__":
    sys.exit(main())
