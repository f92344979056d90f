"""roadsim from Python: the lab's drives step by step as NumPy arrays and as Gymnasium environments.

roadsim.Drive drives a course with the game's own car and course code and needs only NumPy. With
Gymnasium (1.1 or later) present, roadsim.make gives a drive as a gymnasium.Env, roadsim.make_vec
many drives as a vector environment stepped on all cores, and importing roadsim registers
"roadsim/<course>-v1" for every shipped course (roadsim.courses()), "roadsim/Course-v1"
(course=PATH) and "roadsim/MadeCourses-v1" (courses made on the spot: first_seed=S, count=N,
knobs={...}; see roadsim.MadeCourses) for gymnasium.make.
"""
import os
import sys
import sysconfig
from typing import Any, NoReturn

from ._paths import DATA
from ._roadsim import (END_WORDS, MAX_STEERING, SIGHT_FIELDS, SPEED_STEP, STATE_FIELDS,
                       STEERING_STEP, STEP_MS, TOP_SPEED, Drive, __version__, sight)
from .course import MadeCourses, courses

__all__ = ["__version__", "DATA", "Drive", "END_WORDS", "MAX_STEERING", "SIGHT_FIELDS",
           "SPEED_STEP", "STATE_FIELDS", "STEERING_STEP", "STEP_MS", "TOP_SPEED", "courses", "make",
           "make_vec", "sight", "MadeCourses"]

try:
    import gymnasium
    from gymnasium.vector import AutoresetMode  # noqa: F401 (new in 1.1, which the vector needs)
except ImportError:
    _has_gymnasium = False
else:
    _has_gymnasium = True


def _gymnasium_advice() -> str:
    """How this Python gets Gymnasium: pip where it may install, a virtual environment where the
    system manages its Python (Debian's refuses pip, and no Debian release packages Gymnasium)."""
    pip = "-m pip install 'gymnasium>=1.1'"
    if sys.prefix == sys.base_prefix and os.path.isfile(
            os.path.join(sysconfig.get_path("stdlib"), "EXTERNALLY-MANAGED")):
        return ("make a virtual environment that keeps the system's NumPy, install roadsim there "
                "and Gymnasium with it: `python3 -m venv --system-site-packages ~/rl`, then "
                f"`~/rl/bin/pip install .` in roadsim's folder and `~/rl/bin/python {pip}`")
    return f"`{sys.executable} {pip}`"


def _needs_gymnasium(*args: Any, **kwargs: Any) -> NoReturn:
    found = getattr(sys.modules.get("gymnasium"), "__version__", None)
    raise ImportError("roadsim.make and roadsim.make_vec need Gymnasium 1.1 or later"
                      + (f" (found {found})" if found else ", which is not installed")
                      + ": " + _gymnasium_advice())


def _register() -> None:
    """The shipped courses' ids, roadsim/Course-v1 (course=PATH) and roadsim/MadeCourses-v1
    (first_seed=S, count=N, knobs={...}), each once."""
    ids = [(f"roadsim/{name}-v1", {"course": name}) for name in courses()]
    for id_, kwargs in ids + [("roadsim/Course-v1", {})]:
        if id_ not in gymnasium.registry:
            gymnasium.register(id_, entry_point="roadsim.env:RoadsimEnv",
                               vector_entry_point="roadsim.vector:RoadsimVectorEnv", kwargs=kwargs)
    if "roadsim/MadeCourses-v1" not in gymnasium.registry:
        gymnasium.register("roadsim/MadeCourses-v1", entry_point="roadsim.env:made_courses",
                           vector_entry_point="roadsim.vector:made_courses_vector")


# Where Gymnasium is found first: a type checker takes the first definition of make and make_vec.
if _has_gymnasium:
    from .env import RoadsimEnv, make
    from .vector import RoadsimVectorEnv, make_vec

    __all__ += ["RoadsimEnv", "RoadsimVectorEnv"]
    _register()
else:
    make = make_vec = _needs_gymnasium
