"""A drive as a Gymnasium environment: its spaces, and the episode that the C++ batch decides."""
import dataclasses
import glob
import math
import os
from collections.abc import Sequence
from typing import Any

import gymnasium
import numpy as np
import numpy.typing as npt
from gymnasium import spaces

from ._roadsim import (DEFAULT_FRAME_SIZE, DEFAULT_LAP_LIMIT, DEFAULT_LAPS,
                       DEFAULT_MAX_CROSS_TRACK, MAX_STEERING, SEEDS, SIGHT_FIELDS, STATE_FIELDS,
                       STEP_MS, TOP_SPEED, Batch, BatchDrive, check_seed)
from ._paths import DATA
from .course import MadeCourses, StrPath, courses, locate

OBSERVATIONS = ("frame", "state", "both", "sight")
# As OBS says: the frames, the states, the sights, or a dict of frames and states; a row a drive in
# a batch's.
Observation = npt.NDArray[Any] | dict[str, npt.NDArray[Any]]
Info = dict[str, Any]
# A course as an environment takes it: a shipped course's name, a course file, or a set of made
# courses.
Course = StrPath | MadeCourses
# What info says of an episode's figures before its first step.
STARTED: Info = {"hits": 0, "distance": 0.0, "progress": 0.0}


def state_space(fields: Sequence[str] = STATE_FIELDS) -> spaces.Box:
    """The Box of the state's FIELDS (or the sight's): bounded where the car is (speed,
    steering), open elsewhere."""
    bounds = {"t": (0.0, math.inf), "speed": (0.0, TOP_SPEED),
              "steering": (-MAX_STEERING, MAX_STEERING), "waypoint": (0.0, math.inf)}
    low, high = zip(*(bounds.get(name, (-math.inf, math.inf)) for name in fields))
    return spaces.Box(np.array(low, np.float32), np.array(high, np.float32), dtype=np.float32)


def reset_course(options: dict[str, Any] | None) -> StrPath | None:
    """The course a reset's OPTIONS ask for, a name or a file, or None; refuses any other option
    by name."""
    unknown = [name for name in options or {} if name != "course"]
    if unknown:
        raise ValueError(f"unknown reset option{'s' if len(unknown) > 1 else ''}: "
                         f"{', '.join(map(repr, unknown))} (the one there is: 'course')")
    return (options or {}).get("course")


def action_space(normalized: bool) -> spaces.Box:
    """Steering degrees (positive right) and speed mph asked, within the car's limits; NORMALIZED,
    each from -1 to 1 over them."""
    if normalized:
        return spaces.Box(-1.0, 1.0, (2,), np.float32)
    return spaces.Box(np.array([-MAX_STEERING, 0.0], np.float32),
                      np.array([MAX_STEERING, TOP_SPEED], np.float32), dtype=np.float32)


class Episodes:
    """The batch of one or more drives behind an environment, with its spaces and the arrays of
    its last round; what RoadsimEnv and RoadsimVectorEnv share."""

    def __init__(self, courses: Sequence[Course], obs: str, frame_size: tuple[int, int],
                 laps: int, images: StrPath | None, render_mode: str | None, autoreset: bool,
                 threads: int = 0, **options: Any) -> None:
        if obs not in OBSERVATIONS:
            raise ValueError(f"obs must be one of {', '.join(OBSERVATIONS)}, not {obs!r}")
        self.courses, self.images = list(courses), images
        # Made courses start on the shipped one, which their first reset replaces.
        located = [locate("meadow_loop" if isinstance(course, MadeCourses) else course, images)
                   for course in courses]
        # What each drive drives now: a course file, or a made course's seed.
        self.driving: list[str | int] = [path for path, _ in located]
        frames = obs in ("frame", "both")
        # Sprites cost only where frames are drawn, as the lab loads them only to record or watch.
        self.seen = seen = frames or render_mode is not None
        self.batch = Batch([path for path, _ in located],
                           images=[folder if seen else None for _, folder in located],
                           frame_size=frame_size if frames else None,
                           draw=render_mode is not None, laps=laps, threads=threads,
                           autoreset=autoreset, sight=obs == "sight", **options)
        for _, folder in located if seen else ():
            if not glob.glob(os.path.join(glob.escape(folder), "*.bmp")):
                gymnasium.logger.warn(f"no bitmaps in {folder}: the frames are black, as "
                                      "roadsim-lab's are there without --images "
                                      "(images=roadsim.DATA takes the shipped ones)")
        self.obs = obs
        self.observation_space: spaces.Space[Any] = state_space(
            SIGHT_FIELDS if obs == "sight" else STATE_FIELDS)
        if frames:
            width, height = frame_size
            picture = spaces.Box(0, 255, (height, width, 3), np.uint8)
            self.observation_space = picture if obs == "frame" else spaces.Dict(
                {"frame": picture, "state": self.observation_space})
        self.action_space = action_space(options.get("normalized_actions", False))
        views = self.batch.views()
        self.states, self.experts, self.frames, self.sights = (
            views["states"], views["experts"], views.get("frames"), views.get("sights"))

    def choose(self, i: int, random: np.random.Generator, course: StrPath | None = None) -> None:
        """Gives drive I its course for its next episode: COURSE, a name or a file, when given,
        else its own, a made course drawn with RANDOM from its set."""
        own = self.courses[i] if course is None else course
        if isinstance(own, MadeCourses):
            seed = own.first_seed + int(random.integers(own.count))
            if self.driving[i] != seed:
                self.batch.set_course(i, own.text(seed).encode(), f"made_{seed}",
                                      self.images or DATA if self.seen else None)
                self.driving[i] = seed
            return
        path, folder = locate(own, self.images)
        if self.driving[i] != path:
            with open(path, "rb") as file:
                self.batch.set_course(i, file.read(), path, folder if self.seen else None)
            self.driving[i] = path

    def observe(self, states: npt.NDArray[np.float32]) -> Observation:
        """The observation of every drive with STATES, a copy of theirs: the frames copied so that
        the next round leaves them be."""
        if self.sights is not None:
            return self.sights.copy()
        if self.frames is None:  # obs "state"
            return states
        frames: npt.NDArray[Any] = self.frames.copy()
        both: dict[str, npt.NDArray[Any]] = {"frame": frames, "state": states}
        return frames if self.obs == "frame" else both


class RoadsimEnv(gymnasium.Env[Observation, npt.ArrayLike]):
    """A drive of a roadsim course, one driver step (50 ms) a step, with the lab's car and course.

    Action: Box([-45, 0], [45, 60], float32): the steering angle asked, degrees, positive to the
    right, and the speed asked, mph. As for roadsim-lab's controllers, each step the steering moves
    towards the asked angle by at most 7.5 degrees and the speed by at most 1 mph, and both are
    held within the box; an action outside it is clamped, not refused. With NORMALIZED_ACTIONS,
    Box(-1, 1, (2,), float32): -1 to 1 over the steering's -45 to 45 degrees and the speed's 0 to
    60 mph, and info["expert"] in the same terms.

    Observation, as OBS says: "frame", the game's own frame averaged down to FRAME_SIZE (width,
    height) as roadsim-lab --record-size does, uint8 (height, width, 3); "state", float32 in
    roadsim.STATE_FIELDS order (the lab's controller protocol's state); "both", a Dict of the two;
    "sight", float32 in roadsim.SIGHT_FIELDS order, what carries over from course to course: the
    car's speed, steering, target speed, cross-track distance and heading error, the road's points
    10 to 200 ft ahead along the course and the six nearest obstacles ahead within 150 ft (a missing
    one straight ahead at 150 ft with no strength), in feet to the right and ahead of the car; a
    controller of the lab gets the same from roadsim.sight(course, state) on its messages.

    Reward per step, in seconds of the leaderboard's figure of merit (a lap's seconds, 10 s a hit,
    1 s a foot of RMS distance from the track): LAP_LIMIT seconds for a lap's progress along the
    course, in proportion to the progress made in the step, less the step's seconds, 10 for each
    obstacle newly hit (each once a lap, as the lab counts them) and laps x the change of the RMS
    distance from the track so far. A finished episode's return is laps x (LAP_LIMIT - its figure
    of merit), so of two finished drives the one better on the board has the higher return. An
    episode that the driver ends early ("off the track", "no progress", "strayed") is charged
    besides the worst that finishing could cost: every lap taking the whole limit, hitting every
    obstacle and MAX_CROSS_TRACK feet from the track; so no early end earns more than finishing.

    Terminated: every lap finished ("finished"), or the car more than MAX_CROSS_TRACK feet
    (default 30) from the track ("off the track"): the course maker keeps a course only when the
    autopilot stays within 30 ft on every lap, and a car beyond that has lost the course (the lab
    would let it circle until the lap limit).
    Truncated: a lap took longer than LAP_LIMIT seconds (default 600, the lab's limit;
    "strayed", as the lab says), the car got on less than 10 ft along the course in 30 s ("no
    progress": parked or circling), MAX_EPISODE_STEPS steps were taken ("step limit"; None, the
    default, sets none), or the watch window (render_mode "human") was closed ("watcher closed").

    info, after reset and every step: "expert", what the built-in autopilot at the lab's defaults
    would ask from this state (an array like the action); "laps", the finished laps as dicts with
    the lab's per-lap figures (seconds, hits, worst_cross_track, rms_cross_track, mean_speed,
    collision_frames, frames); "hits", the obstacles hit in the episode; "distance", its feet
    along the course; "progress", the part of its laps driven (0 to 1); and, at the step that
    ends it, "end": why, in the words above (roadsim.END_WORDS, the lab's report's).

    render(): with render_mode "rgb_array" the full 800x600 frame (uint8 (600, 800, 3)); with
    "human" a window shows the drive at real-time pace from the start.
    """

    metadata = {"render_modes": ["human", "rgb_array"], "render_fps": 1000 // STEP_MS}

    def __init__(self, course: Course, obs: str = "both",
                 frame_size: tuple[int, int] = DEFAULT_FRAME_SIZE, laps: int = DEFAULT_LAPS,
                 images: StrPath | None = None, render_mode: str | None = None,
                 lap_limit: float = DEFAULT_LAP_LIMIT,
                 max_cross_track: float = DEFAULT_MAX_CROSS_TRACK,
                 max_episode_steps: int | None = None, normalized_actions: bool = False) -> None:
        """A drive of COURSE, a shipped course's name, a course file or a set of made courses,
        with the keywords of roadsim.make."""
        if render_mode is not None and render_mode not in self.metadata["render_modes"]:
            raise ValueError("render_mode must be None, 'human' or 'rgb_array', "
                             f"not {render_mode!r}")
        self._episodes: Episodes | None = Episodes(
            [course], obs, frame_size, laps, images, render_mode, False, lap_limit=lap_limit,
            max_cross_track=max_cross_track, max_episode_steps=max_episode_steps,
            normalized_actions=normalized_actions)
        if render_mode == "human":
            self._episodes.batch.watch()
        self.render_mode = render_mode
        self.observation_space = self._episodes.observation_space
        self.action_space = self._episodes.action_space
        self._drive: BatchDrive | None = self._episodes.batch.drive(0)
        self._laps: list[Any] = []

    @property
    def drive(self) -> BatchDrive:
        """The drive behind the environment (the course, its obstacles, its figures)."""
        return self._open()[1]

    def reset(self, *, seed: int | None = None,
              options: dict[str, Any] | None = None) -> tuple[Observation, Info]:
        """Start the drive again, obstacles scattered from SEED as roadsim-lab --seed SEED does
        (None: a seed from the environment's random numbers), on a course drawn from the made
        courses (if the environment has them) with its random numbers; OPTIONS: {"course": C}
        drives C, a shipped course's name or a course file, in this episode."""
        course = reset_course(options)
        if seed is not None:
            seed = check_seed(seed)
        super().reset(seed=seed)
        episodes, _ = self._open()
        episodes.choose(0, self.np_random, course)
        episodes.batch.reset([int(self.np_random.integers(SEEDS)) if seed is None else seed])
        self._laps = []
        return self._first(episodes.observe(episodes.states.copy())), {
            "expert": episodes.experts[0].copy(), "laps": self._laps, **STARTED}

    def step(self, action: npt.ArrayLike) -> tuple[Observation, float, bool, bool, Info]:
        """Drive one step asking for ACTION, [steering degrees, speed mph]: the observation, the
        reward, whether the episode terminated or was truncated, and info."""
        episodes, drive = self._open()
        states, rewards, terminated, truncated, experts, hits, figures, changed, ended = (
            episodes.batch.step(action))
        if changed:
            self._laps = drive.laps()
        distance, progress = figures[0].tolist()
        info = {"expert": experts[0], "laps": self._laps, "hits": int(hits[0]),
                "distance": distance, "progress": progress}
        if ended:
            info["end"] = ended[0]
        return (self._first(episodes.observe(states)), float(rewards[0]), bool(terminated[0]),
                bool(truncated[0]), info)

    def render(self) -> npt.NDArray[np.uint8] | None:
        """With render_mode "rgb_array" the whole 800x600 frame, (600, 800, 3) uint8; None
        otherwise ("human" draws the window at every step)."""
        if self.render_mode == "rgb_array":
            return self.drive.screen()
        if self.render_mode is None:
            gymnasium.logger.warn("render() draws nothing without a render_mode: make the "
                                  "environment with render_mode='rgb_array' or 'human'")
        return None

    def close(self) -> None:
        """Let the drive go; the environment refuses any later call."""
        # Letting the batch go closes its window, if it has one.
        self._episodes = self._drive = None

    @staticmethod
    def _first(observation: Observation) -> Observation:
        """The one drive's observation of a batch's."""
        if isinstance(observation, dict):
            return {key: value[0] for key, value in observation.items()}
        return observation[0]

    def _open(self) -> tuple[Episodes, BatchDrive]:
        """The episodes and the drive, while the environment is open."""
        if self._episodes is None or self._drive is None:
            raise RuntimeError("the environment is closed")
        return self._episodes, self._drive


def make(course: Course, obs: str = "both", frame_size: tuple[int, int] = DEFAULT_FRAME_SIZE,
         laps: int = DEFAULT_LAPS, images: StrPath | None = None, render_mode: str | None = None,
         max_episode_steps: int | None = None, **options: Any) -> RoadsimEnv:
    """A drive of COURSE (a shipped course's name, a course file, or roadsim.MadeCourses) as a
    gymnasium.Env.

    See RoadsimEnv for the spaces, the reward and the episode; MAX_EPISODE_STEPS truncates an
    episode after so many steps, as gymnasium.make's does; OPTIONS: lap_limit (seconds, 600),
    max_cross_track (feet, 30), normalized_actions (False: degrees and mph; True: -1 to 1).
    """
    name = f"roadsim/{course}-v1" if isinstance(course, str) and course in courses() else None
    kwargs: dict[str, Any] = dict(obs=obs, frame_size=frame_size, laps=laps, images=images,
                                  render_mode=render_mode, **options)
    if name is None:
        name, kwargs["course"] = "roadsim/Course-v1", course
    registered = gymnasium.registry[name]
    kwargs = {**registered.kwargs, **kwargs}
    # The bare environment, which keeps the step limit itself: Gymnasium's wrappers cost on every
    # step. Its registration record says what gymnasium.make's would.
    env = RoadsimEnv(**kwargs, max_episode_steps=max_episode_steps)
    env.spec = dataclasses.replace(registered, kwargs=kwargs, max_episode_steps=max_episode_steps,
                                   disable_env_checker=True)
    return env


def made_courses(first_seed: int = 1, count: int = 1000, knobs: dict[str, Any] | None = None,
                 **options: Any) -> RoadsimEnv:
    """roadsim/MadeCourses-v1: a RoadsimEnv on roadsim.MadeCourses(FIRST_SEED, COUNT, **KNOBS),
    with the OPTIONS of roadsim.make."""
    return RoadsimEnv(MadeCourses(first_seed, count, **(knobs or {})), **options)
