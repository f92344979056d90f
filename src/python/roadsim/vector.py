"""Many drives at once as a Gymnasium vector environment, stepped together on all cores."""
import os

import numpy as np
from gymnasium.vector import AutoresetMode, VectorEnv
from gymnasium.vector.utils import batch_space

from ._roadsim import END_NAMES, stack_experts, stack_frames, stack_progress, stack_states, step_many
from .env import _CROSS_TRACK, CUT_SHORT, RoadsimEnv, checked_seed, step_reward

_FINISHED = END_NAMES.index("finished")
_CUT_SHORT = [END_NAMES.index(end) for end in CUT_SHORT]


class RoadsimVectorEnv(VectorEnv):
    """NUM_ENVS drives, each a RoadsimEnv, stepped at once by roadsim's own threads.

    COURSE: one course (a shipped course's name or a course file) for every drive, or a list of
    courses taken in turn (drive i drives COURSE[i % len(COURSE)]; NUM_ENVS defaults to its
    length). OPTIONS: as for roadsim.make, but render_mode only None or "rgb_array".

    The observations, rewards, terminations, truncations and infos are exactly those of the same
    drives one by one in gymnasium.vector.SyncVectorEnv: the arrays stacked, infos as dicts of
    arrays with their "_key" masks, and a drive whose episode ended is reset at the next step
    (next-step autoreset: that step ignores its action and gives its first observation, reward 0).
    reset(seed=S) resets drive i with seed S + i, as SyncVectorEnv does.
    """

    metadata = {"render_modes": ["rgb_array"],
                "render_fps": RoadsimEnv.metadata["render_fps"],
                "autoreset_mode": AutoresetMode.NEXT_STEP}

    def __init__(self, course, num_envs=None, **options):
        names = [course] if isinstance(course, (str, os.PathLike)) else list(course)
        if not names:
            raise ValueError("make_vec needs at least one course")
        num_envs = len(names) if num_envs is None else num_envs
        if isinstance(num_envs, bool) or not isinstance(num_envs, int) or num_envs < 1:
            raise ValueError(f"num_envs must be a whole number of drives from 1, not {num_envs!r}")
        if options.get("render_mode") == "human":
            raise ValueError("a vector environment cannot watch its drives: watch one with "
                             "roadsim.make(course, render_mode='human')")
        self._envs = [RoadsimEnv(names[i % len(names)], **options) for i in range(num_envs)]
        self._drives = [env.drive for env in self._envs]
        first = self._envs[0]
        self.num_envs = num_envs
        self.render_mode = first.render_mode
        self.single_observation_space = first.observation_space
        self.single_action_space = first.action_space
        self.observation_space = batch_space(self.single_observation_space, num_envs)
        self.action_space = batch_space(self.single_action_space, num_envs)
        self._obs = first._obs
        self._max_cross_track = first._max_cross_track
        self._distance = np.zeros(num_envs)
        self._hits = np.zeros(num_envs)
        self._lap_counts = np.zeros(num_envs)
        self._laps = np.empty(num_envs, object)
        self._autoreset = np.zeros(num_envs, bool)
        self._stopped = "step() before reset(): reset() starts the drives"

    def reset(self, *, seed=None, options=None):
        """Reset every drive: SEED None (each from its own random numbers), a whole number S
        (drive i from S + i) or a list of one seed (or None) per drive."""
        if self.closed:
            raise RuntimeError("the environment is closed")
        if seed is None or isinstance(seed, (int, np.integer)):
            seeds = [seed if seed is None else seed + i for i in range(self.num_envs)]
        else:
            seeds = list(seed)
            if len(seeds) != self.num_envs:
                raise ValueError(f"reset() needs one seed for each of the {self.num_envs} drives, "
                                 f"not {len(seeds)}")
        # Every seed checked before any drive starts again, so that a bad one changes nothing.
        seeds = [single if single is None else checked_seed(single) for single in seeds]
        for env, single in zip(self._envs, seeds):
            env.reset(seed=single, options=options)
        states = stack_states(self._drives)
        self._distance, self._hits, self._lap_counts, _ = stack_progress(self._drives).T
        for i in range(self.num_envs):
            self._laps[i] = []
        self._autoreset[:] = False
        self._stopped = None
        return self._observe(states), self._info()

    def step(self, actions):
        if self._stopped:
            raise RuntimeError(self._stopped)
        actions = np.asarray(actions, np.float64)
        if actions.shape != (self.num_envs, 2):
            raise ValueError(f"actions must be {self.num_envs} rows of steering and speed, "
                             f"shape ({self.num_envs}, 2), not {actions.shape}")
        drives, resetting = self._drives, self._autoreset
        if resetting.any():
            moving = ~resetting
            step_many([drive for drive, move in zip(drives, moving) if move], actions[moving])
            for i in np.flatnonzero(resetting):
                self._envs[i].reset()
        else:
            step_many(drives, actions)
        states = stack_states(drives)
        distance, hits, lap_counts, ends = stack_progress(drives).T
        cross_track = states[:, _CROSS_TRACK].astype(np.float64)
        rewards = step_reward(distance - self._distance, hits - self._hits, cross_track)
        truncated = (ends == _CUT_SHORT[0]) | (ends == _CUT_SHORT[1])
        terminated = (ends == _FINISHED) | (np.abs(cross_track) > self._max_cross_track)
        rewards[resetting] = 0.0
        terminated[resetting] = truncated[resetting] = False
        self._autoreset = terminated | truncated
        for i in np.flatnonzero(lap_counts != self._lap_counts):
            self._laps[i] = drives[i].laps()
        self._distance, self._hits, self._lap_counts = distance, hits, lap_counts
        return self._observe(states), rewards, terminated, truncated, self._info()

    def render(self):
        """Each drive's full 800x600 frame (render_mode "rgb_array"), as SyncVectorEnv has them."""
        return tuple(env.render() for env in self._envs)

    def close_extras(self, **kwargs):
        # Also when __init__ failed half-way: Gymnasium closes the environment as it goes.
        for env in getattr(self, "_envs", ()):
            env.close()
        self._envs, self._drives = [], []
        self._stopped = "the environment is closed"

    def _observe(self, states):
        if self._obs == "state":
            return states
        if self._obs == "frame":
            return stack_frames(self._drives)
        return {"frame": stack_frames(self._drives), "state": states}

    def _info(self):
        """The infos as SyncVectorEnv gathers them."""
        return {"expert": stack_experts(self._drives), "_expert": np.ones(self.num_envs, bool),
                "laps": self._laps.copy(), "_laps": np.ones(self.num_envs, bool)}


def make_vec(course, num_envs=None, **options):
    """NUM_ENVS drives of COURSE (one course, or a list taken in turn) as a Gymnasium vector
    environment whose drives step together on all cores; see RoadsimVectorEnv."""
    return RoadsimVectorEnv(course, num_envs, **options)
