"""roadsim.make: Gymnasium's checks, the autopilot's drive and frames as the lab's, bad input."""
import math
import os
import subprocess
import sys
import venv
import warnings

import frames
import gymnasium
import numpy as np
import pytest
from gymnasium.utils.env_checker import check_env

import roadsim
from conftest import ROOT

LAP = ("lap {}: {seconds:.2f} s, {hits} obstacles hit, {collision_frames} frames in collision, "
       "cross-track worst {worst_cross_track:.2f} ft rms {rms_cross_track:.2f} ft, "
       "mean speed {mean_speed:.2f} mph")
IDS = sorted(id_ for id_ in gymnasium.registry if id_.startswith("roadsim/"))


def drive_out(env, seed):
    """Drive the episode with the expert: the last info, the return, and whether the expert asked
    past the steering's limit."""
    state, info = env.reset(seed=seed)
    total, beyond, over = 0.0, False, False
    while not over:
        beyond |= abs(info["expert"][0]) > roadsim.MAX_STEERING
        state, reward, terminated, truncated, info = env.step(info["expert"])
        total, over = total + reward, terminated or truncated
    return info, total, beyond


def board_figure(laps):
    """The leaderboard's figure of merit of a drive of LAPS: its mean lap, 10 s a hit a lap and
    its RMS distance from the track."""
    frames = sum(lap["frames"] for lap in laps)
    rms = math.sqrt(sum(lap["rms_cross_track"] ** 2 * lap["frames"] for lap in laps) / frames)
    return sum(lap["seconds"] + 10 * lap["hits"] for lap in laps) / len(laps) + rms


@pytest.mark.parametrize("env_id, obs", [(id_, "both") for id_ in IDS]
                         + [("roadsim/Course-v1", "state"), ("roadsim/Course-v1", "frame"),
                            ("roadsim/trefoil-v1", "normalized"), ("roadsim/trefoil-v1", "sight")])
def test_gymnasium_finds_nothing_wrong(env_id, obs, made_course):
    course = {"course": made_course} if env_id == "roadsim/Course-v1" else {}
    if obs == "normalized":
        obs, course = "state", {"normalized_actions": True}
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        # Advice that the spaces cannot take: the action is in degrees and mph, positions unbounded.
        warnings.filterwarnings("ignore", ".*(infinity|symmetric and normalized)")
        check_env(gymnasium.make(env_id, obs=obs, **course).unwrapped)


@pytest.mark.parametrize("course", sorted(roadsim.courses()))
def test_the_expert_drives_as_the_lab_prints(course, lab):
    env = roadsim.make(course, obs="state")
    for seed in (1, 2, 3):
        info, total, beyond = drive_out(env, seed)
        # Past 45 degrees the autopilot in the lab steers where a controller may not follow.
        if not beyond:
            printed = lab(roadsim.courses()[course], "--seed", seed, "--laps", 3).splitlines()
            ours = [LAP.format(i, **lap) for i, lap in enumerate(info["laps"], 1)]
            assert ours == [line for line in printed if line.startswith("lap ")], seed
        # Three laps' progress at the lap limit's worth, less three times the board's figure.
        hits = sum(lap["hits"] for lap in info["laps"])
        assert total == pytest.approx(3 * (600 - board_figure(info["laps"])))
        assert (info["end"], info["hits"], info["progress"]) == ("finished", hits, 1.0)
        assert info["distance"] == pytest.approx(3 * env.drive.course_length)


@pytest.mark.parametrize("action, end", [([0, 0], "no progress"), ([0, 30], "off the track"),
                                         ([45, 20], "no progress")],
                         ids=["parked", "straight on", "circling"])
def test_ending_early_earns_less_than_the_worst_finish(action, end):
    env = roadsim.make("trefoil", obs="state", laps=1)
    env.reset(seed=1)
    total, over = 0.0, False
    while not over:
        _, reward, terminated, truncated, info = env.step(action)
        total, over = total + reward, terminated or truncated
    assert info["end"] == end
    # The lap's progress, less the whole lap limit, every obstacle hit and 30 ft off the track.
    assert total < 600 - (600 + 10 * len(env.drive.obstacles) + 30)


@pytest.mark.parametrize("make", [roadsim.make, gymnasium.make])
def test_max_episode_steps_truncates_as_gymnasium_does(make):
    env = make("roadsim/trefoil-v1" if make is gymnasium.make else "trefoil", obs="state",
               max_episode_steps=30)
    assert env.spec.max_episode_steps == 30
    _, info = env.reset(seed=1)
    assert (info["hits"], info["distance"], info["progress"]) == (0, 0.0, 0.0)
    assert "end" not in info
    for step in range(1, 31):
        _, _, terminated, truncated, info = env.step(info["expert"])
        assert (terminated, truncated) == (False, step == 30)
    assert info["progress"] > 0
    if make is roadsim.make:  # gymnasium.make's TimeLimit says nothing of why
        assert info["end"] == "step limit"


# A controller of the lab that writes what roadsim.sight makes of its messages and drives as the
# built-in autopilot.
SEEING = """import argparse, json, sys
sys.path.insert(0, {controllers!r})
import autopilot, roadsim
tuning = argparse.Namespace(heading=0.5, track=0.5, path=0.5, threshold=0.5, avoid=0.5)
with open({out!r}, "w") as out:
    for line in sys.stdin:
        message = json.loads(line)
        if message["type"] == "course":
            course = message
        elif message["type"] == "state":
            out.write(" ".join(map(repr, roadsim.sight(course, message).tolist())) + "\\n")
            steering, speed = autopilot.choose(message, tuning)
            print(json.dumps({{"steering": steering, "speed": speed}}), flush=True)
"""


def test_a_controller_sees_what_the_environment_sees(lab, tmp_path):
    controller, seen = tmp_path / "seeing.py", tmp_path / "seen.txt"
    controller.write_text(SEEING.format(controllers=os.path.join(ROOT, "examples", "controllers"),
                                        out=str(seen)))
    lab(roadsim.courses()["trefoil"], "--seed", 1, "--laps", 1, "--controller",
        f"{sys.executable} {controller}")
    lines = seen.read_text().splitlines()
    env = roadsim.make("trefoil", obs="sight", laps=1)
    observation, info = env.reset(seed=1)
    # At the start the car faces trefoil's first waypoint ahead, 245.4 ft up the y axis.
    assert observation[roadsim.SIGHT_FIELDS.index("waypoint_ahead")] == pytest.approx(245.4)
    near = 0
    for line in lines:
        assert np.array_equal(np.array(line.split(), np.float32), observation)
        near += observation[roadsim.SIGHT_FIELDS.index("obstacle_1_strength")] > 0
        observation, _, _, _, info = env.step(info["expert"])
    assert info["end"] == "finished" and near > 100


def test_made_courses_are_the_labs_and_each_reset_draws_one(lab, tmp_path):
    made = roadsim.MadeCourses(7, 3, length=1500, lobes=3)
    lab("--make-course", 8, tmp_path / "made_8.txt", "--length", 1500, "--lobes", 3)
    assert made.text(8) == (tmp_path / "made_8.txt").read_text()
    env = roadsim.make(made, obs="sight")
    drives = {}
    for seed in range(12):
        observation, _ = env.reset(seed=seed % 4)
        drives.setdefault(seed % 4, (env.drive.course_name, observation.tolist()))
        # The same seed, the same course and the same drive.
        assert (env.drive.course_name, observation.tolist()) == drives[seed % 4]
    assert {name for name, _ in drives.values()} <= {"made_7", "made_8", "made_9"}
    env.reset(options={"course": "trefoil"})
    assert env.drive.course_name == "trefoil"
    env.reset()
    assert env.drive.course_name.startswith("made_")


def test_normalized_actions_drive_as_degrees_and_mph():
    envs = [roadsim.make("trefoil", obs="state", normalized_actions=normalized)
            for normalized in (False, True)]
    (ours, info), (theirs, normalized) = (env.reset(seed=2) for env in envs)
    assert envs[1].action_space == gymnasium.spaces.Box(-1, 1, (2,), np.float32)
    over, step = (False, False), 0
    while not any(over):
        assert np.array_equal(ours, theirs)
        assert normalized["expert"] == pytest.approx(info["expert"] / [45, 30] - [0, 1], abs=1e-6)
        action = np.array([[0.125, 0.5], [-0.125, 0.0]][step // 20 % 2])  # exact in both units
        ours, _, *ended, info = envs[0].step(action * [45, 30] + [0, 30])
        theirs, _, *also, normalized = envs[1].step(action)
        over, step = (any(ended), any(also)), step + 1
    assert all(over) and step > 50


@pytest.mark.parametrize("course, size, by_name", [("hairpin_hollow", (80, 60), True),
                                                   (None, (100, 30), False)],
                         ids=["shipped course by name", "own course by path"])
def test_frames_are_the_recorded_ones(course, size, by_name, made_course, lab, tmp_path):
    # By name the shipped bitmaps; by path those beside the course file, as the lab takes them.
    path = roadsim.courses()[course] if by_name else made_course
    lab(path, "--seed", 2, "--laps", 1, "--record", tmp_path, "--record-size", "%dx%d" % size,
        *(["--images", roadsim.DATA] if by_name else []))
    recorded = sorted(os.listdir(tmp_path / "frames"))
    env = roadsim.make(course if by_name else path, obs="frame", frame_size=size, laps=1)
    frame, info = env.reset(seed=2)
    for name in recorded:
        np.testing.assert_array_equal(frame, frames.read_png(str(tmp_path / "frames" / name)),
                                      err_msg=name)
        frame, _, terminated, truncated, info = env.step(info["expert"])
    assert terminated and not truncated


def _reset(env):
    env.reset(seed=1)
    return env


def _ended(made):
    env = roadsim.make(made, obs="state", laps=1)
    drive_out(env, 1)
    return env


def _closed(made):
    env = _reset(roadsim.make(made, obs="state"))
    env.close()
    return env


def _course(folder, text):
    (folder / "bad.txt").write_text(text)
    return folder / "bad.txt"


BAD = [pytest.param(*case, id=case[0]) for case in [  # the exception and what its message names
    ("missing course", lambda made, tmp: roadsim.make("no_such_course"),
     FileNotFoundError, "no_such_course"),
    ("malformed course", lambda made, tmp: roadsim.make(
        _course(tmp, "1 broken 2\n0 0 0 25\n1 0 x 30\n")), ValueError, "bad.txt"),
    ("one waypoint", lambda made, tmp: roadsim.make(_course(tmp, "1 lonely 1\n0 0 0 25\n0\n")),
     ValueError, "two waypoints"),
    ("frame size of zero", lambda made, tmp: roadsim.make(made, frame_size=(0, 60)),
     ValueError, "frame"),
    ("unknown observation", lambda made, tmp: roadsim.make(made, obs="pixels"), ValueError, "obs"),
    ("no laps", lambda made, tmp: roadsim.make(made, laps=0), ValueError, "lap"),
    ("seed beyond the lab's", lambda made, tmp: roadsim.make(made).reset(seed=2**32),
     ValueError, "seed"),
    ("step before reset", lambda made, tmp: roadsim.make(made).step([0, 10]),
     RuntimeError, "reset"),
    ("NaN action", lambda made, tmp: _reset(roadsim.make(made)).step([np.nan, 10]), ValueError, "(?i)nan"),
    ("three numbers", lambda made, tmp: _reset(roadsim.make(made)).step([0, 10, 5]),
     ValueError, "two numbers"),
    ("step after the end", lambda made, tmp: _ended(made).step([0, 10]), RuntimeError, "ended"),
    ("step after close", lambda made, tmp: _closed(made).step([0, 10]), RuntimeError, "closed"),
    ("vector of no drives", lambda made, tmp: roadsim.make_vec(made, 0), ValueError, "num_envs"),
    ("vector step before reset", lambda made, tmp: roadsim.make_vec(made, 2).step(
        np.zeros((2, 2))), RuntimeError, "reset"),
    ("vector of three actions", lambda made, tmp: _reset(roadsim.make_vec(made, 2)).step(
        np.zeros((3, 2))), ValueError, "shape"),
    ("a drive given twice", lambda made, tmp: roadsim._roadsim.step_many(
        [_reset(roadsim.Drive(made))] * 2, np.zeros((2, 2))), ValueError, "once"),
    ("vector NaN action", lambda made, tmp: _reset(roadsim.make_vec(made, 2)).step(
        [[0, 10], [np.nan, 10]]), ValueError, "(?i)nan"),
    ("unknown keyword", lambda made, tmp: roadsim.make(made, max_steps=9), TypeError, "max_steps"),
    ("vector unknown keyword", lambda made, tmp: roadsim.make_vec(made, 2, lap_limt=9),
     TypeError, "lap_limt"),
    ("no steps", lambda made, tmp: roadsim.make(made, max_episode_steps=0), ValueError,
     "max_episode_steps"),
    ("unknown reset option", lambda made, tmp: roadsim.make(made).reset(options={"map": 1}),
     ValueError, "'map'"),
    ("missing reset course", lambda made, tmp: roadsim.make(made).reset(
        options={"course": "nowhere"}), FileNotFoundError, "nowhere"),
    ("made-course knob out of range", lambda made, tmp: roadsim.MadeCourses(1, 5, length=10),
     ValueError, "length"),
    ("unknown made-course knob", lambda made, tmp: roadsim.MadeCourses(1, 5, lenght=900),
     TypeError, "lenght"),
    ("made-course seed out of range", lambda made, tmp: roadsim.MadeCourses(2**32 - 2, 5),
     ValueError, "seed"),
    ("no made courses", lambda made, tmp: roadsim.MadeCourses(1, 0), ValueError, "count"),
    ("vector unknown reset option", lambda made, tmp: roadsim.make_vec(made, 2).reset(
        options={"map": 1}), ValueError, "'map'"),
]]


@pytest.mark.parametrize("case, do, error, message", BAD)
def test_bad_input_is_refused_with_a_reason(case, do, error, message, made_course, tmp_path):
    with pytest.raises(error, match=message):
        do(made_course, tmp_path)


def test_watch_windows_close_one_by_one_and_need_a_display(made_course, monkeypatch, capfd):
    first, second = (roadsim.make(made_course, obs="state", render_mode="human") for _ in "12")
    for env in (first, second):
        env.reset(seed=1)
    first.close()
    for _ in range(10):
        _, _, terminated, truncated, _ = second.step([0, 20])
        assert not (terminated or truncated)
    second.close()
    for name in ("DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER"):
        monkeypatch.delenv(name, raising=False)
    with pytest.raises(RuntimeError, match="no display"):
        roadsim.make(made_course, render_mode="human")
    assert capfd.readouterr().out == ""


@pytest.mark.parametrize("where", ["system", "venv"])
def test_without_gymnasium_make_says_how_to_get_it_here(where, tmp_path):
    python = sys.executable
    if where == "venv":
        venv.create(tmp_path, system_site_packages=True)
        python = str(tmp_path / "bin" / "python")
    code = ("import sys; sys.modules['gymnasium'] = None; import roadsim; "
            "roadsim.Drive(roadsim.courses()['meadow_loop']); roadsim.make('meadow_loop')")
    result = subprocess.run([python, "-c", code], capture_output=True, text=True)
    assert result.returncode == 1
    assert ("ImportError: roadsim.make and roadsim.make_vec need Gymnasium 1.1 or later, which is "
            "not installed: ") in result.stderr
    # Debian's own Python refuses pip outside a virtual environment.
    assert (f"`{python} -m pip install 'gymnasium>=1.1'`" if where == "venv" else
            "`python3 -m venv --system-site-packages ~/rl`") in result.stderr
