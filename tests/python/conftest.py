"""What the Python tests share: the lab, a short course of one's own, and a display for windows."""
import os
import subprocess
import sys

import pytest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
LAB = os.environ.get("ROADSIM_LAB", os.path.join(ROOT, "build", "roadsim-lab"))
# The learned driver's helpers read the lab's PNG frames and stage courses beside the bitmaps.
sys.path.insert(0, os.path.join(ROOT, "examples", "learn"))
# render_mode="human" opens its window on SDL's display without a screen.
os.environ.setdefault("SDL_VIDEODRIVER", "dummy")


@pytest.fixture(scope="session")
def lab():
    """roadsim-lab's standard output for the arguments given."""
    def run(*args):
        return subprocess.run([LAB, *map(str, args)], capture_output=True, text=True,
                              check=True).stdout
    return run


@pytest.fixture(scope="session")
def made_course(lab, tmp_path_factory):
    """A course from --make-course, short and with strong obstacles, beside the shipped bitmaps."""
    import frames
    work = tmp_path_factory.mktemp("made")
    lab("--make-course", 7, work / "made.txt", "--length", 800, "--obstacles", 10,
        "--strength", 0.8)
    folder = work / "course"
    folder.mkdir()
    return frames.stage(str(work / "made.txt"), str(folder))
