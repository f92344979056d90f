"""Many drives at once as a Gymnasium vector environment, stepped together by the C++ batch."""
import os
from collections.abc import Sequence
from typing import Any

import numpy as np
import numpy.typing as npt
from gymnasium.utils import seeding
from gymnasium.vector import AutoresetMode, VectorEnv
from gymnasium.vector.utils import batch_space

from ._roadsim import (DEFAULT_FRAME_SIZE, DEFAULT_LAP_LIMIT, DEFAULT_LAPS,
                       DEFAULT_MAX_CROSS_TRACK, SEEDS, BatchDrive, check_seed)
from .course import StrPath
from .course import MadeCourses
from .env import Course, Episodes, Info, Observation, RoadsimEnv, reset_course


class RoadsimVectorEnv(VectorEnv[Observation, npt.ArrayLike, npt.NDArray[Any]]):
    """NUM_ENVS drives, each as a RoadsimEnv, stepped at once by roadsim's own threads.

    COURSE: one course (a shipped course's name, a course file or roadsim.MadeCourses, of which
    each drive draws its own course at every reset) for every drive, or a list of courses taken in
    turn (drive i drives COURSE[i % len(COURSE)]; NUM_ENVS defaults to its length). THREADS: how
    many threads step the drives (0, the default: one a core, at most one a drive). The other
    keywords: as for roadsim.make, but render_mode only None or "rgb_array".

    The observations, rewards, terminations, truncations and infos are exactly those of the same
    drives one by one in gymnasium.vector.SyncVectorEnv: the arrays stacked, infos as dicts of
    arrays with their "_key" masks, and a drive whose episode ended is reset at the next step
    (next-step autoreset: that step ignores its action and gives its first observation, reward 0).
    reset(seed=S) resets drive i with seed S + i, as SyncVectorEnv does.
    """

    metadata = {"render_modes": ["rgb_array"],
                "render_fps": RoadsimEnv.metadata["render_fps"],
                "autoreset_mode": AutoresetMode.NEXT_STEP}

    def __init__(self, course: Course | Sequence[Course], num_envs: int | None = None,
                 obs: str = "both", frame_size: tuple[int, int] = DEFAULT_FRAME_SIZE,
                 laps: int = DEFAULT_LAPS, images: StrPath | None = None,
                 render_mode: str | None = None, threads: int = 0,
                 lap_limit: float = DEFAULT_LAP_LIMIT,
                 max_cross_track: float = DEFAULT_MAX_CROSS_TRACK,
                 max_episode_steps: int | None = None, normalized_actions: bool = False) -> None:
        names = ([course] if isinstance(course, (str, os.PathLike, MadeCourses))
                 else list(course))
        if not names:
            raise ValueError("make_vec needs at least one course")
        num_envs = len(names) if num_envs is None else num_envs
        if isinstance(num_envs, bool) or not isinstance(num_envs, int) or num_envs < 1:
            raise ValueError(f"num_envs must be a whole number of drives from 1, not {num_envs!r}")
        if render_mode == "human":
            raise ValueError("a vector environment cannot watch its drives: watch one with "
                             "roadsim.make(course, render_mode='human')")
        if render_mode not in (None, "rgb_array"):
            raise ValueError(f"render_mode must be None or 'rgb_array', not {render_mode!r}")
        # Until the batch is made: closing a half-made one is harmless.
        self._episodes: Episodes | None = None
        self._episodes = Episodes([names[i % len(names)] for i in range(num_envs)], obs,
                                  frame_size, laps, images, render_mode, True, threads,
                                  lap_limit=lap_limit, max_cross_track=max_cross_track,
                                  max_episode_steps=max_episode_steps,
                                  normalized_actions=normalized_actions)
        self.num_envs = num_envs
        self.render_mode = render_mode
        self.single_observation_space = self._episodes.observation_space
        self.single_action_space = self._episodes.action_space
        self.observation_space = batch_space(self.single_observation_space, num_envs)
        self.action_space = batch_space(self.single_action_space, num_envs)
        self._drives: list[BatchDrive] = [self._episodes.batch.drive(i) for i in range(num_envs)]
        # Each drive's own random numbers, as each environment of SyncVectorEnv has them.
        self._random: list[np.random.Generator | None] = [None] * num_envs
        self._laps = np.empty(num_envs, object)
        # Every drive has every key of info at every step: one mask serves all, read-only.
        self._everyone = np.ones(num_envs, bool)
        self._everyone.flags.writeable = False
        # The drives whose episodes ended at the last step, which draw their made course anew.
        self._made = any(isinstance(name, MadeCourses) for name in names)
        self._ended: npt.NDArray[np.bool_] = np.zeros(num_envs, bool)

    def reset(self, *, seed: int | Sequence[int | None] | None = None,
              options: dict[str, Any] | None = None) -> tuple[Observation, Info]:
        """Reset every drive: SEED None (each from its own random numbers), a whole number S
        (drive i from S + i) or a list of one seed (or None) per drive; a drive of made courses
        draws its course with its random numbers; OPTIONS: {"course": C} drives C, a shipped
        course's name or a course file, in every drive's next episode."""
        course = reset_course(options)
        episodes = self._open()
        if seed is None or isinstance(seed, (int, np.integer)):
            seeds = [seed if seed is None else seed + i for i in range(self.num_envs)]
        else:
            seeds = list(seed)
            if len(seeds) != self.num_envs:
                raise ValueError(f"reset() needs one seed for each of the {self.num_envs} drives, "
                                 f"not {len(seeds)}")
        # Every seed checked before any drive starts again, so that a bad one changes nothing.
        seeds = [single if single is None else check_seed(single) for single in seeds]
        for i, single in enumerate(seeds):
            if single is not None:
                self._random[i] = seeding.np_random(single)[0]
        for i in range(self.num_envs):
            episodes.choose(i, self._generator(i), course)
        episodes.batch.reset([self._seed_for(i) if single is None else single
                              for i, single in enumerate(seeds)])
        self._ended[:] = False
        self._laps = np.empty(self.num_envs, object)
        self._laps[:] = [[] for _ in range(self.num_envs)]
        self._laps.flags.writeable = False
        started = np.zeros(self.num_envs, np.int64), np.zeros((self.num_envs, 2))
        return episodes.observe(episodes.states.copy()), self._info(episodes.experts.copy(),
                                                                    *started, {})

    def step(self, actions: npt.ArrayLike) -> tuple[Observation, npt.NDArray[Any],
                                                      npt.NDArray[Any], npt.NDArray[Any], Info]:
        """Step drive i with ACTIONS[i], or start it again where its episode ended: the
        observations, rewards, terminations, truncations and infos, a row a drive."""
        episodes = self._open()
        if self._made:
            for i in np.flatnonzero(self._ended):
                episodes.choose(int(i), self._generator(int(i)))
        states, rewards, terminated, truncated, experts, hits, figures, changed, ended = (
            episodes.batch.step(actions, self._seed_for))
        if self._made:
            self._ended = terminated | truncated
        if changed:
            # A new array: the infos handed out before keep their laps.
            self._laps = self._laps.copy()
            for i in changed:
                self._laps[i] = self._drives[i].laps()
            self._laps.flags.writeable = False
        observation = states if episodes.obs == "state" else episodes.observe(states)
        return (observation, rewards, terminated, truncated,
                self._info(experts, hits, figures, ended))

    # Without a render_mode, a None for each drive, as SyncVectorEnv gives, which Gymnasium's type
    # does not allow for.
    def render(self) -> tuple[npt.NDArray[np.uint8] | None, ...]:  # type: ignore[override]
        """Each drive's full 800x600 frame (render_mode "rgb_array"), as SyncVectorEnv has them."""
        if self.render_mode is None:
            return tuple(None for _ in self._drives)
        return tuple(drive.screen() for drive in self._drives)

    def close_extras(self, **kwargs: Any) -> None:
        self._episodes, self._drives = None, []

    def _info(self, experts: npt.NDArray[np.float32], hits: npt.NDArray[np.int64],
              figures: npt.NDArray[np.float64], ended: dict[int, str]) -> Info:
        """The infos of a round as SyncVectorEnv gathers them, a row a drive and a mask a key,
        from FIGURES (distance, progress a row): "end" only where an episode ended, from ENDED,
        its words by drive."""
        everyone = self._everyone
        info: Info = {"expert": experts, "_expert": everyone, "laps": self._laps,
                      "_laps": everyone, "hits": hits, "_hits": everyone,
                      "distance": figures[:, 0], "_distance": everyone,
                      "progress": figures[:, 1], "_progress": everyone}
        if ended:
            info["end"] = np.full(self.num_envs, None, object)
            info["_end"] = np.zeros(self.num_envs, bool)
            for i, words in ended.items():
                info["end"][i], info["_end"][i] = words, True
        return info

    def _open(self) -> Episodes:
        if self._episodes is None:
            raise RuntimeError("the environment is closed")
        return self._episodes

    def _generator(self, i: int) -> np.random.Generator:
        """Drive I's own random numbers, as its environment's np_random."""
        random = self._random[i]
        if random is None:
            random = self._random[i] = seeding.np_random()[0]
        return random

    def _seed_for(self, i: int) -> int:
        """A seed for drive I from its own random numbers, as its environment's reset() draws."""
        return int(self._generator(i).integers(SEEDS))


def make_vec(course: Course | Sequence[Course], num_envs: int | None = None,
             **options: Any) -> RoadsimVectorEnv:
    """NUM_ENVS drives of COURSE (one course, or a list taken in turn) as a Gymnasium vector
    environment whose drives step together on all cores; see RoadsimVectorEnv."""
    return RoadsimVectorEnv(course, num_envs, **options)


def made_courses_vector(num_envs: int, first_seed: int = 1, count: int = 1000,
                        knobs: dict[str, Any] | None = None, **options: Any) -> RoadsimVectorEnv:
    """roadsim/MadeCourses-v1 as a vector environment: each drive draws its own courses from
    roadsim.MadeCourses(FIRST_SEED, COUNT, **KNOBS)."""
    return RoadsimVectorEnv(MadeCourses(first_seed, count, **(knobs or {})), num_envs, **options)
