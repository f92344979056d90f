"""The reinforcement-learning recipe in small: it trains, exports a policy for NumPy alone, and
the policy drives the lab through the protocol; a missing policy is said plainly."""
import json
import os
import subprocess
import sys

import numpy as np
import pytest
from conftest import LAB, ROOT

RL = os.path.join(ROOT, "examples", "rl")


def test_the_recipe_trains_and_its_policy_drives_the_lab(tmp_path):
    policy = tmp_path / "policy.npz"
    run = subprocess.run([sys.executable, os.path.join(RL, "ppo.py"), "--smoke", "--policy",
                          policy], capture_output=True, text=True, timeout=300)
    assert run.returncode == 0, run.stderr
    assert policy.stat().st_size < 200 * 1024
    assert any(line.split()[1:2] == ["ppo"] for line in run.stdout.splitlines()), run.stdout
    drive = f"{sys.executable} {os.path.join(RL, 'drive.py')} {policy}"
    subprocess.run([LAB, os.path.join(ROOT, "data", "gallery", "trefoil.txt"), "--laps", "1",
                    "--controller", drive, "--json", tmp_path / "drive.json"],
                   capture_output=True, text=True, timeout=300)
    report = json.loads((tmp_path / "drive.json").read_text())
    # Finished or too slow, as an untrained driver may be, but never a failed controller.
    assert report["end"] in ("finished", "strayed"), report.get("message")


@pytest.mark.parametrize("script, arguments, content, said", [
    ("drive.py", [], None, "cannot read the policy"),
    ("drive.py", [], b"", "cannot read the policy"),
    ("drive.py", [], {"mean": [0.0]}, "is not a policy ppo.py made"),
    ("ppo.py", ["--courses", str(10**11), "--policy"], None, "error: the seed must be")])
def test_bad_input_is_said_plainly(tmp_path, script, arguments, content, said):
    policy = tmp_path / "policy.npz"
    if isinstance(content, bytes):
        policy.write_bytes(content)
    elif content is not None:
        np.savez(policy, **content)
    run = subprocess.run([sys.executable, os.path.join(RL, script), *arguments, policy],
                         input="", capture_output=True, text=True)
    assert run.returncode != 0 and "Traceback" not in run.stderr
    assert f"{script}: " in run.stderr and said in run.stderr, run.stderr
