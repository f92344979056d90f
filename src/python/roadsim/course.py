"""The shipped courses, where a course's file and bitmaps are, and courses made on the spot."""
import glob
import os
from typing import Any

from ._paths import DATA
from ._roadsim import check_seed, make_course

# A path as text or as a path object; where a course is asked for, a shipped course's name too.
StrPath = str | os.PathLike[str]


def courses() -> dict[str, str]:
    """The shipped courses by name, as {name: course file}: meadow_loop and the gallery's."""
    shipped = {"meadow_loop": os.path.join(DATA, "courses.txt")}
    for path in sorted(glob.glob(os.path.join(DATA, "gallery", "*.txt"))):
        shipped[os.path.splitext(os.path.basename(path))[0]] = path
    return shipped


def locate(course: StrPath, images: StrPath | None = None) -> tuple[str, str]:
    """The course file and the bitmaps' folder for COURSE, a shipped course's name or a file's path.

    A shipped course takes the shipped bitmaps; a course file its own folder's, as roadsim-lab
    does; IMAGES, when given, overrides either.
    """
    shipped = courses().get(course) if isinstance(course, str) else None
    path = shipped or os.fspath(course)
    if not os.path.isfile(path):
        raise FileNotFoundError(
            f"no course {os.fspath(course)!r}: neither a file nor a shipped course "
            f"({', '.join(courses())})")
    if images is None:
        images = DATA if shipped else os.path.dirname(os.path.abspath(path))
    return path, os.fspath(images)


class MadeCourses:
    """The courses the course maker makes from the seeds FIRST_SEED to FIRST_SEED + COUNT - 1,
    with its knobs (as roadsim-lab --make-course's options: LENGTH ft, SHARPNESS degrees, SPEEDS
    (min, max) mph, OBSTACLES groups per 1000 ft, STRENGTH, WOBBLE, LOBES; None: the maker's
    default). Each is made in the process when first needed and kept; the course of seed S is
    named made_S and is byte for byte what roadsim-lab --make-course S made_S.txt writes."""

    def __init__(self, first_seed: int = 1, count: int = 1000, *, length: float | None = None,
                 sharpness: float | None = None, speeds: tuple[int, int] | None = None,
                 obstacles: float | None = None, strength: float | None = None,
                 wobble: float | None = None, lobes: int | None = None) -> None:
        if isinstance(count, bool) or not isinstance(count, int) or count < 1:
            raise ValueError(f"count must be a whole number of courses from 1, not {count!r}")
        self.first_seed = check_seed(first_seed)
        check_seed(first_seed + count - 1)
        self.count = count
        given = dict(length=length, sharpness=sharpness, speeds=speeds, obstacles=obstacles,
                     strength=strength, wobble=wobble, lobes=lobes)
        self._knobs: dict[str, Any] = {name: value for name, value in given.items()
                                       if value is not None}
        self._texts: dict[int, str] = {}
        # The first course now, so that a knob out of range is said at once.
        self.text(self.first_seed)

    def text(self, seed: int) -> str:
        """The text of the course of SEED, one of the set's."""
        if not self.first_seed <= seed < self.first_seed + self.count:
            raise ValueError(f"seed {seed} is not one of the set's, {self.first_seed} to "
                             f"{self.first_seed + self.count - 1}")
        if seed not in self._texts:
            self._texts[seed] = make_course(seed, f"made_{seed}", **self._knobs)
        return self._texts[seed]
