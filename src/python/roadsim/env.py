"""A drive as a Gymnasium environment: its spaces, its reward and its episode."""
import glob
import math
import os

import gymnasium
import numpy as np
from gymnasium import spaces

from ._roadsim import MAX_STEERING, STATE_FIELDS, STEP_MS, TOP_SPEED, Drive
from .course import courses, locate

OBSERVATIONS = ("frame", "state", "both")
_CROSS_TRACK = STATE_FIELDS.index("cross_track")
SEEDS = 2**32  # the lab's --seed takes 0 to 4294967295
# The drive's ends that cut an episode short: a lap over the limit, the watch window closed.
CUT_SHORT = ("lap_limit", "closed")

# The reward of a step, its reasons in RoadsimEnv's docstring.
PROGRESS_REWARD = 0.1  # per foot along the course
HIT_PENALTY = 1.0  # per obstacle newly hit
CROSS_TRACK_PENALTY = 0.01  # per foot from the track, every step


def step_reward(progress, new_hits, cross_track):
    """The reward for PROGRESS feet along the course, NEW_HITS obstacles hit and the distance
    CROSS_TRACK from the track after the step; scalars or arrays alike."""
    return progress * PROGRESS_REWARD - new_hits * HIT_PENALTY - CROSS_TRACK_PENALTY * abs(
        cross_track)


def state_space():
    """The state's Box: bounded where the car is (speed, steering), open elsewhere."""
    bounds = {"t": (0.0, math.inf), "speed": (0.0, TOP_SPEED),
              "steering": (-MAX_STEERING, MAX_STEERING), "waypoint": (0.0, math.inf)}
    low, high = zip(*(bounds.get(name, (-math.inf, math.inf)) for name in STATE_FIELDS))
    return spaces.Box(np.array(low, np.float32), np.array(high, np.float32), dtype=np.float32)


def action_space():
    """Steering degrees (positive right) and speed mph asked, within the car's limits."""
    return spaces.Box(np.array([-MAX_STEERING, 0.0], np.float32),
                      np.array([MAX_STEERING, TOP_SPEED], np.float32), dtype=np.float32)


def checked_seed(seed):
    """SEED as a whole number, refused where roadsim-lab --seed would refuse it."""
    if isinstance(seed, bool) or not isinstance(seed, (int, np.integer)) or not 0 <= seed < SEEDS:
        raise ValueError(f"the seed must be a whole number from 0 to {SEEDS - 1}, not {seed!r}")
    return int(seed)


class RoadsimEnv(gymnasium.Env):
    """A drive of a roadsim course, one driver step (50 ms) a step, with the lab's car and course.

    Action: Box([-45, 0], [45, 60], float32): the steering angle asked, degrees, positive to the
    right, and the speed asked, mph. As for roadsim-lab's controllers, each step the steering moves
    towards the asked angle by at most 7.5 degrees and the speed by at most 1 mph, and both are
    held within the box; an action outside it is clamped, not refused.

    Observation, as OBS says: "frame", the game's own frame averaged down to FRAME_SIZE (width,
    height) as roadsim-lab --record-size does, uint8 (height, width, 3); "state", float32 in
    roadsim.STATE_FIELDS order (the lab's controller protocol's state); "both", a Dict of the two.

    Reward per step: the feet along the course driven in the step / 10, minus 1 per obstacle hit
    (each counted once per lap, as the lab counts them), minus 0.01 per foot the car is from the
    track. A finished drive earns laps x course length / 10 from progress whoever drives, so the
    return ranks drivers by their hits and their distance from the track, as the lab's figures do,
    and discounting rewards the quicker; a hit costs as much as 10 ft of progress, so a swerve
    round an obstacle pays; the distance term is an eighth of the progress at 25 mph and 2.3 ft
    off the track (the autopilot's usual), and equals it 18 ft off.

    Terminated: every lap finished, or the car more than MAX_CROSS_TRACK feet (default 30) from
    the track: the course maker keeps a course only when the autopilot stays within 30 ft on every
    lap, and a car beyond that has lost the course (the lab would let it circle until the lap
    limit). Ending loses the progress still to come, which is the penalty for straying.
    Truncated: a lap took longer than LAP_LIMIT seconds (default 600, the lab's limit), or the
    watch window (render_mode "human") was closed.

    info, after reset and every step: "expert", what the built-in autopilot at the lab's defaults
    would ask from this state (an array like the action); "laps", the finished laps as dicts with
    the lab's per-lap figures (seconds, hits, worst_cross_track, rms_cross_track, mean_speed,
    collision_frames, frames).

    render(): with render_mode "rgb_array" the full 800x600 frame (uint8 (600, 800, 3)); with
    "human" a window shows the drive at real-time pace from the start.
    """

    metadata = {"render_modes": ["human", "rgb_array"], "render_fps": 1000 // STEP_MS}

    def __init__(self, course, obs="both", frame_size=(80, 60), laps=3, images=None,
                 render_mode=None, lap_limit=600.0, max_cross_track=30.0):
        if obs not in OBSERVATIONS:
            raise ValueError(f"obs must be one of {', '.join(OBSERVATIONS)}, not {obs!r}")
        if render_mode is not None and render_mode not in self.metadata["render_modes"]:
            raise ValueError("render_mode must be None, 'human' or 'rgb_array', "
                             f"not {render_mode!r}")
        if not max_cross_track > 0:
            raise ValueError("max_cross_track must be a positive number of feet, "
                             f"not {max_cross_track!r}")
        path, images = locate(course, images)
        frames = obs != "state"
        # Sprites cost only where frames are drawn, as the lab loads them only to record or watch.
        seen = frames or render_mode is not None
        self._drive = Drive(path, images=images if seen else None,
                            frame_size=tuple(frame_size) if frames else None,
                            draw=render_mode is not None, laps=laps, lap_limit=lap_limit)
        if seen and not glob.glob(os.path.join(glob.escape(images), "*.bmp")):
            gymnasium.logger.warn(f"no bitmaps in {images}: the frames are black, as roadsim-lab's "
                                  "are there without --images (images=roadsim.DATA takes the "
                                  "shipped ones)")
        if render_mode == "human":
            self._drive.watch()
        self.render_mode = render_mode
        self._obs = obs
        self._max_cross_track = float(max_cross_track)
        self.action_space = action_space()
        self.observation_space = state_space()
        if frames:
            width, height = frame_size
            picture = spaces.Box(0, 255, (height, width, 3), np.uint8)
            self.observation_space = picture if obs == "frame" else spaces.Dict(
                {"frame": picture, "state": self.observation_space})
        # Why step() cannot go on, None while the episode runs.
        self._stopped = "step() before reset(): reset() starts the drive"
        self._distance = self._hits = 0
        self._laps = []

    @property
    def drive(self):
        """The roadsim.Drive behind the environment (the course, its obstacles, its figures)."""
        return self._open()

    def reset(self, *, seed=None, options=None):
        """Start the drive again, obstacles scattered from SEED as roadsim-lab --seed SEED does
        (None: a seed from the environment's random numbers)."""
        if seed is not None:
            seed = checked_seed(seed)
        super().reset(seed=seed)
        drive = self._open()
        drive.reset(int(self.np_random.integers(SEEDS)) if seed is None else seed)
        state = drive.state()
        self._distance, self._hits = drive.distance, drive.hits
        self._laps = []
        self._stopped = None
        return self._observe(state), {"expert": drive.expert(), "laps": self._laps}

    def step(self, action):
        if self._stopped:
            raise RuntimeError(self._stopped)
        drive = self._drive
        drive.step(action)
        state = drive.state()
        distance, hits = drive.distance, drive.hits
        cross_track = float(state[_CROSS_TRACK])
        reward = step_reward(distance - self._distance, hits - self._hits, cross_track)
        self._distance, self._hits = distance, hits
        end = drive.end
        truncated = end in CUT_SHORT
        terminated = end == "finished" or abs(cross_track) > self._max_cross_track
        if drive.lap_count != len(self._laps):
            self._laps = drive.laps()
        if terminated or truncated:
            self._stopped = "step() after the episode ended: reset() starts a new one"
        info = {"expert": drive.expert(), "laps": self._laps}
        return self._observe(state), reward, terminated, truncated, info

    def render(self):
        if self.render_mode == "rgb_array":
            return self._open().screen()
        if self.render_mode is None:
            gymnasium.logger.warn("render() draws nothing without a render_mode: make the "
                                  "environment with render_mode='rgb_array' or 'human'")
        return None

    def close(self):
        # Letting the drive go closes its window, if it has one.
        self._drive = None
        self._stopped = "the environment is closed"

    def _open(self):
        if self._drive is None:
            raise RuntimeError("the environment is closed")
        return self._drive

    def _observe(self, state):
        if self._obs == "state":
            return state
        if self._obs == "frame":
            return self._drive.frame()
        return {"frame": self._drive.frame(), "state": state}


def make(course, obs="both", frame_size=(80, 60), laps=3, images=None, render_mode=None,
         **options):
    """A drive of COURSE (a shipped course's name or a course file) as a gymnasium.Env.

    See RoadsimEnv for the spaces, the reward and the episode; OPTIONS: lap_limit (seconds, 600),
    max_cross_track (feet, 30).
    """
    name = f"roadsim/{course}-v0" if isinstance(course, str) and course in courses() else None
    kwargs = dict(obs=obs, frame_size=frame_size, laps=laps, images=images,
                  render_mode=render_mode, **options)
    if name is None:
        name, kwargs["course"] = "roadsim/Course-v0", course
    # The bare environment, as registered: Gymnasium's checking wrappers cost on every step.
    return gymnasium.make(name, disable_env_checker=True, **kwargs).unwrapped
