"""The installed package: found by Debian's python3 under the prefix, on the installed data even
after the prefix moved, with the lab's version."""
import os
import subprocess
import sys


def test_installed_package_drives_the_installed_course_after_the_prefix_moved(tmp_path):
    install = subprocess.run([os.environ["CMAKE_COMMAND"], "--install",
                              os.environ["ROADSIM_BUILD_DIR"], "--prefix", tmp_path / "prefix"],
                             capture_output=True, text=True)
    assert install.returncode == 0, install.stderr
    moved = tmp_path / "moved"
    (tmp_path / "prefix").rename(moved)
    site = moved / os.environ["ROADSIM_PYTHON_DIR"]
    code = ("import os, roadsim; d = roadsim.Drive(os.path.join(roadsim.DATA, 'courses.txt')); "
            "d.reset(1); d.step(d.expert()); "
            "print(roadsim.__file__, roadsim.DATA, d.course_name, roadsim.__version__)")
    run = subprocess.run([sys.executable, "-c", code], env={**os.environ, "PYTHONPATH": str(site)},
                         cwd=tmp_path, capture_output=True, text=True)
    assert run.returncode == 0, run.stderr
    lab = subprocess.run([moved / "bin" / "roadsim-lab", "--version"], capture_output=True,
                         text=True, check=True).stdout.split()
    assert lab[0] == "roadsim-lab"
    assert run.stdout.split() == [str(site / "roadsim" / "__init__.py"),
                                  str(moved / "share" / "roadsim"), "meadow_loop", lab[1]]
