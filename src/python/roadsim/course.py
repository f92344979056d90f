"""The shipped courses by name, and where a course's file and bitmaps are."""
import glob
import os

from ._paths import DATA

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
