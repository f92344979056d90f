"""The learned driver answers the lab's states within the protocol, from the frame and the speed alone."""
import json
import os
import subprocess
import sys
import tempfile

SKIPPED = 77
source, lab = sys.argv[1:3]
learn = os.path.join(source, "examples", "learn")
if subprocess.run(["/usr/bin/python3", "-c", "import numpy, torch"], capture_output=True).returncode:
    print("skipped: the learned driver needs python3-torch and python3-numpy (make learn installs them)")
    sys.exit(SKIPPED)
sys.path.insert(0, learn)
from frames import SIZE, stage  # noqa: E402

failures = []
with tempfile.TemporaryDirectory() as work:
    record = os.path.join(work, "record")
    drive = [os.path.join(learn, "drive.py"), os.path.join(learn, "model.pt"), record]
    # Through the lab: thirty good replies, then the controller leaves (5), neither a bad nor a slow reply.
    run = subprocess.run([lab, stage(os.path.join(source, "data", "courses.txt"), work),
                          "--record", record, "--record-size", SIZE,
                          "--controller", " ".join(drive + ["--steps", "30"])], capture_output=True, text=True)
    with open(os.path.join(record, "driving_log.csv")) as log:
        steps = len(log.readlines()) - 1
    if run.returncode != 5 or steps != 30:
        failures.append(f"the lab ended with {run.returncode} after {steps} steps: {run.stderr.strip()}")

    def state(image, speed, **numbers):
        return {"type": "state", "t": 1.0, "x": 0.0, "y": 0.0, "heading": 0.0, "speed": speed,
                "steering": 0.0, "waypoint": 0, "target_speed": 25.0, "cross_track": 0.0,
                "heading_error": 0.0, "obstacle_sum": 0.0, "image": image, **numbers}

    def answers(state):
        """The replies of a fresh controller to a course, one state and the end."""
        lines = [{"type": "course", "name": "meadow_loop", "step_ms": 50, "waypoints": [], "obstacles": []},
                 state, {"type": "end"}]
        run = subprocess.run(drive, input="".join(json.dumps(m) + "\n" for m in lines),
                             capture_output=True, text=True, timeout=60)
        replies = [json.loads(line) for line in run.stdout.splitlines()]
        if run.returncode != 0 or len(replies) != 1 or not all(
                isinstance(r.get(key), float) for r in replies for key in ("steering", "speed")):
            failures.append(f"not one reply of numbers to one state: {run.stdout!r} {run.stderr!r}")
        return replies

    seen = answers(state("frames/000030.png", 10.0))
    if answers(state("frames/000030.png", 10.0, x=300.0, heading=2.0, steering=20.0, cross_track=-9.0,
                     waypoint=5, heading_error=30.0, obstacle_sum=4.0)) != seen:
        failures.append("the state's numbers besides the speed changed the reply")
    if answers(state("frames/000005.png", 10.0)) == seen:
        failures.append(f"another frame left the reply as it was: {seen}")
    if answers(state("frames/000030.png", 30.0)) == seen:
        failures.append(f"another speed left the reply as it was: {seen}")

print("\n".join(failures) or "the learned driver keeps to the protocol")
sys.exit(1 if failures else 0)
