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


def test_made_courses_out_of_range_are_said_plainly():
    run = subprocess.run([sys.executable, os.path.join(RL, "ppo.py"), "--courses", str(10**11)],
                         capture_output=True, text=True)
    assert run.returncode == 2 and "Traceback" not in run.stderr
    assert "ppo.py: error: the seed must be a whole number" in run.stderr, run.stderr


@pytest.mark.parametrize("content, said", [(None, "cannot read the policy"),
                                            (b"", "cannot read the policy"),
                                            ({"mean": [0.0]}, "is not a policy ppo.py made")])
def test_a_missing_or_foreign_policy_is_said_plainly(tmp_path, content, said):
    policy = tmp_path / "policy.npz"
    if isinstance(content, bytes):
        policy.write_bytes(content)
    elif content is not None:
        np.savez(policy, **content)
    run = subprocess.run([sys.executable, os.path.join(RL, "drive.py"), policy],
                         input="", capture_output=True, text=True)
    assert run.returncode != 0
    assert said in run.stderr and str(policy) in run.stderr, run.stderr
    assert "Traceback" not in run.stderr
