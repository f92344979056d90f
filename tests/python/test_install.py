"""The installed package: found by Debian's python3 under the prefix, on the installed data even
after the prefix moved, with the lab's version; and the advice of a Python without Gymnasium."""
import os
import subprocess
import sys
import venv

import pytest


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


@pytest.mark.parametrize("where", ["system", "venv"])
def test_without_gymnasium_make_says_how_to_install_it_here(tmp_path, where):
    # A Gymnasium that fails to import stands for one that is not there.
    (tmp_path / "gymnasium").mkdir()
    (tmp_path / "gymnasium" / "__init__.py").write_text("raise ImportError('not here')\n")
    python = sys.executable
    if where == "venv":
        venv.create(tmp_path / "env", system_site_packages=True)
        python = str(tmp_path / "env" / "bin" / "python")
    path = f"{tmp_path}:{os.environ['PYTHONPATH'].split(':')[0]}"
    run = subprocess.run([python, "-c", "import roadsim; roadsim.make('trefoil')"],
                         env={**os.environ, "PYTHONPATH": path}, capture_output=True, text=True)
    error = run.stderr.splitlines()[-1]
    assert error.startswith("ImportError: roadsim.make and roadsim.make_vec need Gymnasium 1.1 or "
                            "later, which is not installed: ")
    # Debian's own Python refuses pip outside a virtual environment.
    wanted = ("`python3 -m venv --system-site-packages ~/rl`" if where == "system"
              else f"`{python} -m pip install 'gymnasium>=1.1'`")
    assert wanted in error
