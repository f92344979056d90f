"""What the learned driver sees: the lab's recorded frames, and courses staged beside the bitmaps.

The frames are read with the system's libpng, which the lab links too. Debian's NumPy and PyTorch
live in the system's Python (/usr/bin/python3), which the scripts here name in their first line.
"""
import csv
import ctypes
import ctypes.util
import os
import shutil

import numpy as np
import numpy.typing as npt

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
LAB = os.environ.get("ROADSIM_LAB", os.path.join(ROOT, "build", "roadsim-lab"))
DATA = os.path.join(ROOT, "data")
# Ten screen pixels to one each way: the path markers still show; a frame reads in under 1 ms.
FRAME = (80, 60)  # width, height: roadsim.Drive's frame_size
SIZE = "%dx%d" % FRAME  # the lab's --record-size
BANNER_ROWS = FRAME[1] // 6  # the banner's 100 of the screen's 600 rows show nothing of the course


class _Image(ctypes.Structure):
    """libpng's simplified reading interface (version 1)."""
    _fields_ = [("opaque", ctypes.c_void_p), ("version", ctypes.c_uint32),
                ("width", ctypes.c_uint32), ("height", ctypes.c_uint32),
                ("format", ctypes.c_uint32), ("flags", ctypes.c_uint32),
                ("colormap_entries", ctypes.c_uint32), ("warning_or_error", ctypes.c_uint32),
                ("message", ctypes.c_char * 64)]


_png = ctypes.CDLL(ctypes.util.find_library("png16") or "libpng16.so.16")
_RGB = 2  # PNG_FORMAT_RGB


def read_png(path: str) -> npt.NDArray[np.uint8]:
    """The frame as an array of rows x columns x RGB bytes."""
    image = _Image(version=1)
    if _png.png_image_begin_read_from_file(ctypes.byref(image), path.encode()):
        image.format = _RGB
        pixels = np.empty((image.height, image.width, 3), np.uint8)
        if _png.png_image_finish_read(ctypes.byref(image), None,
                                      pixels.ctypes.data_as(ctypes.c_void_p), 0, None):
            return pixels
    _png.png_image_free(ctypes.byref(image))
    raise OSError(f"{path}: {image.message.decode(errors='replace')}")


def view(path: str) -> npt.NDArray[np.uint8]:
    """The part of the frame that shows the course and the dashboard."""
    return read_png(path)[BANNER_ROWS:]


def stage(course: str, folder: str) -> str:
    """A copy of COURSE in FOLDER beside the game's bitmaps: the lab takes them from there."""
    for name in os.listdir(DATA):
        if name.endswith(".bmp"):
            os.symlink(os.path.join(DATA, name), os.path.join(folder, name))
    staged = os.path.join(folder, os.path.basename(course))
    shutil.copyfile(course, staged)
    return staged


def read_log(folder: str) -> list[dict[str, str]]:
    """The rows of a recording's driving_log.csv."""
    with open(os.path.join(folder, "driving_log.csv"), newline="") as file:
        return list(csv.DictReader(file))
