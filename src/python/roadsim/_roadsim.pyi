"""roadsim's drives, stepped from Python."""
import os
from collections.abc import Callable, Sequence
from typing import Any, Final, NotRequired, TypedDict

import numpy as np
import numpy.typing as npt

_Path = str | bytes | os.PathLike[str] | os.PathLike[bytes]
# NumPy's whole numbers are seeds too; True and False are refused.
_Seed = int | np.integer[Any]

__version__: Final[str]
"""roadsim's version, the same for the package, the lab and the programs."""
SIGHT_FIELDS: Final[tuple[str, ...]]
"""The names of the sight's numbers, in the order sight() and obs="sight" give them."""
END_WORDS: Final[tuple[str, ...]]
"""Why a drive or an episode ended, in the lab's words; the first, "running", while it goes on."""
STATE_FIELDS: Final[tuple[str, ...]]
"""The names of the state's numbers, in the order state() gives them."""
MAX_STEERING: Final[float]
"""The steering's limit either way, degrees."""
TOP_SPEED: Final[float]
"""The car's top speed, mph."""
STEERING_STEP: Final[float]
"""How far the steering moves towards the asked angle in a step, at most, degrees."""
SPEED_STEP: Final[float]
"""How far the speed moves towards the asked speed in a step, at most, mph."""
STEP_MS: Final[int]
"""Simulated milliseconds from one driver step to the next."""
FRAME_MS: Final[int]
"""Simulated milliseconds a frame, by default."""
SEEDS: Final[int]
"""How many seeds there are: a seed is a whole number from 0 to SEEDS - 1."""
DEFAULT_LAPS: Final[int]
"""The laps of an environment's episode, by default."""
DEFAULT_LAP_LIMIT: Final[float]
"""The seconds a lap may take before the drive is cut short, by default."""
DEFAULT_MAX_CROSS_TRACK: Final[float]
"""The feet from the track beyond which a batch's episode ends, by default."""
DEFAULT_FRAME_SIZE: Final[tuple[int, int]]
"""The (width, height) of an environment's frames, by default."""

def make_course(
    seed: _Seed,
    name: str,
    *,
    length: float = 3000.0,
    sharpness: float = 45.0,
    speeds: tuple[int, int] = (15, 40),
    obstacles: float = 3.0,
    strength: float | None = None,
    wobble: float = 0.5,
    lobes: int = 0,
) -> str:
    """The text of the course made from SEED and named NAME, byte for byte what roadsim-lab
    --make-course SEED NAME.txt writes with the same knobs: LENGTH (ft), SHARPNESS (the sharpest
    turn, degrees), SPEEDS (min, max mph), OBSTACLES (groups per 1000 ft), STRENGTH (every
    obstacle's, -1 a random one each; None each group's own), WOBBLE (0 round to 1 irregular),
    LOBES (0 a mix of bulges, 2 to 8 a figure of so many). ValueError when a knob is out of range
    or no course is found."""

def sight(course: dict[str, Any], state: dict[str, Any]) -> npt.NDArray[np.float32]:
    """The sight of the road ahead and the nearest obstacles in the car's frame, SIGHT_FIELDS in
    order, from a controller's course and state messages: the numbers an environment with
    obs="sight" gives at the same step."""

class _BoundType(type):
    """The type of the extension's classes."""

class _LapFigures(TypedDict):
    """The lab's figures of one finished lap."""

    seconds: float
    hits: int
    collision_frames: int
    worst_cross_track: float
    rms_cross_track: float
    mean_speed: float
    frames: int

class _Views(TypedDict):
    """A batch's arrays of the last round, a row a drive."""

    states: npt.NDArray[np.float32]
    experts: npt.NDArray[np.float32]
    rewards: npt.NDArray[np.float64]
    terminated: npt.NDArray[np.bool_]
    truncated: npt.NDArray[np.bool_]
    frames: NotRequired[npt.NDArray[np.uint8]]
    sights: NotRequired[npt.NDArray[np.float32]]

class _Readouts(metaclass=_BoundType):
    """What may be read of a drive, whether stepped by hand or in a batch."""

    def state(self) -> npt.NDArray[np.float32]:
        """The state at this step, in STATE_FIELDS order."""
    def expert(self) -> npt.NDArray[np.float32]:
        """What the built-in autopilot at the lab's defaults would ask now."""
    def laps(self) -> list[_LapFigures]:
        """The figures of every finished lap."""
    @property
    def over(self) -> bool:
        """Whether the drive ended."""
    @property
    def end(self) -> str:
        """How the drive stands, in the lab's words: running, finished, strayed, ..."""
    @property
    def steps(self) -> int:
        """The driver steps so far."""
    @property
    def distance(self) -> float:
        """Feet along the course so far: every finished lap whole, and the current one's."""
    @property
    def hits(self) -> int:
        """Obstacles hit so far, each once a lap."""
    @property
    def lap_count(self) -> int:
        """Laps finished."""
    @property
    def course_length(self) -> float:
        """Feet from the first waypoint to the last."""
    @property
    def course_name(self) -> str:
        """The course's name, as its file gives it."""
    @property
    def waypoints(self) -> npt.NDArray[np.float64]:
        """Rows of x and y (feet) and target speed (mph)."""
    @property
    def obstacles(self) -> npt.NDArray[np.float64]:
        """Rows of x and y (feet) and strength, as the seed placed them."""
    @property
    def frame_size(self) -> tuple[int, int] | None:
        """(width, height) of the frame the driver sees; None without one."""

class Drive(_Readouts):
    """One drive of a course, stepped every 50 ms of simulated time."""

    def __init__(
        self,
        course: _Path,
        *,
        images: _Path | None = None,
        frame_size: tuple[int, int] | None = None,
        draw: bool = False,
        laps: int = 1,
        lap_limit: float = 600.0,
        frame_ms: int = 20,
    ) -> None:
        """A drive of the course file COURSE for LAPS laps, each within LAP_LIMIT seconds,
        FRAME_MS of simulated time a frame; reset() starts it. IMAGES: the bitmaps' folder (None:
        no sprites); FRAME_SIZE: (width, height) of the frame the driver sees (None: no frame);
        DRAW: the whole screen too, for screen()."""
    def reset(self, seed: _Seed = 1) -> None:
        """Reads the course again with the seed's obstacles and runs to the first step."""
    def step(self, action: npt.ArrayLike) -> None:
        """Asks for [steering degrees, speed mph] and runs to the next step."""
    def frame(self) -> npt.NDArray[np.uint8]:
        """The frame the driver sees, (H, W, 3) uint8."""
    def screen(self) -> npt.NDArray[np.uint8]:
        """The whole 800 x 600 frame, (600, 800, 3) uint8."""
    def watch(self, speed_up: float = 1.0) -> None:
        """Shows every later frame in a window, SPEED_UP times real time."""

class BatchDrive(_Readouts):
    """One drive of a Batch, for reading."""

    def __init__(self, *args: Any, **kwargs: Any) -> None:
        """Refused with TypeError: a batch's drive() gives its drives."""
    def screen(self) -> npt.NDArray[np.uint8]:
        """The whole 800 x 600 frame, (600, 800, 3) uint8."""

class Batch(metaclass=_BoundType):
    """Episodes of drives stepped together on threads of their own."""

    def __init__(
        self,
        courses: Sequence[_Path],
        *,
        images: _Path | Sequence[_Path | None] | None = None,
        frame_size: tuple[int, int] | None = None,
        draw: bool = False,
        laps: int = 3,
        lap_limit: float = 600.0,
        max_cross_track: float = 30.0,
        max_episode_steps: int | None = None,
        normalized_actions: bool = False,
        sight: bool = False,
        frame_ms: int = 20,
        threads: int = 0,
        autoreset: bool = False,
    ) -> None:
        """A drive of each course file of COURSES, all with the keywords of Drive; an episode also
        ends with the car more than MAX_CROSS_TRACK feet from the track, after MAX_EPISODE_STEPS
        steps (None: no limit), or when the car gets on less than 10 ft along the course in 30 s.
        With NORMALIZED_ACTIONS, actions and experts run from -1 to 1 over the car's steering and
        speed; with SIGHT, each step's sight (see sight()) is in views()["sights"]. IMAGES: one
        folder for
        all, or one (or None) for each course. THREADS step the drives (0: one a core, at most one
        a drive); with AUTORESET an ended episode starts again at the next step."""
    def reset(self, seeds: Sequence[_Seed]) -> None:
        """Starts drive i again from seeds[i], for every i."""
    def step(
        self, actions: npt.ArrayLike, seed_for: Callable[[int], _Seed] | None = None
    ) -> tuple[
        npt.NDArray[np.float32],
        npt.NDArray[np.float64],
        npt.NDArray[np.bool_],
        npt.NDArray[np.bool_],
        npt.NDArray[np.float32],
        npt.NDArray[np.int64],
        npt.NDArray[np.float64],
        list[int],
        dict[int, str],
    ]:
        """Steps drive i with actions[i]; with autoreset, a drive whose episode ended starts again
        instead, from the seed seed_for(i) gives. Returns copies of the round's states, rewards,
        terminated, truncated, experts and hits, the figures (a row a drive: distance, progress),
        the drives whose count of finished laps changed, and the words of each drive whose episode
        ended, by its index."""
    def set_course(
        self, index: int, text: bytes, source: str, images: _Path | None = None
    ) -> None:
        """Drive INDEX takes the course of TEXT (named SOURCE in messages, its bitmaps from IMAGES)
        from its next start: reset(), or with autoreset its next step."""
    def watch(self, speed_up: float = 1.0) -> None:
        """Shows every later frame of a batch of one in a window, SPEED_UP times real time."""
    def drive(self, index: int) -> BatchDrive:
        """Drive INDEX, for reading its course and figures."""
    @property
    def size(self) -> int:
        """How many drives."""
    @property
    def threads(self) -> int:
        """How many threads step the drives, the caller's among them."""
    def views(self) -> _Views:
        """Read-only arrays of the last round, a row a drive, which change as the batch steps:
        states, experts, rewards, terminated, truncated and, with a frame_size, frames, with
        sight, sights."""

def check_seed(seed: _Seed) -> int:
    """SEED as a whole number, refused where roadsim-lab --seed would."""

def step_many(drives: Sequence[Drive], actions: npt.ArrayLike) -> None:
    """Steps drive i with actions[i] for every i, on all cores; each drive once."""

def stack_states(drives: Sequence[Drive]) -> npt.NDArray[np.float32]:
    """The state of every drive, a row each in STATE_FIELDS order."""

def stack_frames(drives: Sequence[Drive]) -> npt.NDArray[np.uint8]:
    """The frame of every drive, (N, H, W, 3) uint8: the drives' frames of one size."""

def stack_experts(drives: Sequence[Drive]) -> npt.NDArray[np.float32]:
    """What the built-in autopilot would ask of every drive, (N, 2)."""
