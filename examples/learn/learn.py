#!/usr/bin/python3
"""The learned driver's whole recipe: record, train, learn from its own mistakes, evaluate.

    learn.py [--model FILE] [--smoke]

Trains on courses made on the spot with the lab's course maker, taught by the pure-pursuit example
controller (see train.py), and evaluates on courses it never saw, the shipped one and the whole
gallery, against the built-in autopilot at its defaults. Every drive but the autopilot's runs in
this process through roadsim.Drive (PYTHONPATH: the build's python folder), its frames taken
straight from the drive; the autopilot's figures come from roadsim-lab itself.
"""
import argparse
import collections
import concurrent.futures
import contextlib
import json
import os
import subprocess
import sys
import tempfile
import time
import typing

from frames import BANNER_ROWS, DATA, FRAME, LAB, SIZE, np, read_log, stage, view
import drive
import net
import numpy.typing as npt
import torch
import train

try:
    from roadsim import _roadsim as roadsim
except ImportError:
    sys.exit("learn.py: no roadsim module: build the target roadsim_python and put the build's "
             "python folder on PYTHONPATH (make learn does both)")

GALLERY = os.path.join(DATA, "gallery")
# The courses it learns on, made here (seed, knobs) from seeds none of the gallery's: the kinds the
# gallery holds, mostly shorter, and four with turns up to 48 degrees, sharper than any in the
# gallery (the shipped course has turns of 51), without which the learner gets lost in a zigzag.
MADE = [(seed, "--length 2500 --sharpness 80 --wobble 1 --speeds 10,40 --obstacles 4")
        for seed in (41, 42, 43, 44)] + [
    (51, "--length 3000 --obstacles 10"),
    (52, "--length 3000 --obstacles 5 --strength 1"),
    (53, "--length 3000 --obstacles 8 --strength 0.3"),
    (54, "--length 3000 --obstacles 6 --strength -1 --wobble 0.8"),
    (55, "--length 4000 --wobble 0.8 --speeds 20,50"),
    (56, "--length 3000 --lobes 2 --wobble 1 --sharpness 50"),
    (57, "--length 3500 --lobes 3 --wobble 1"),
    (58, "--length 4000 --sharpness 30 --wobble 0.4 --speeds 30,55"),
    (59, "--length 1500 --sharpness 60 --wobble 1 --speeds 10,30"),
    (60, "--length 3500 --lobes 4 --wobble 1 --sharpness 55"),
    (61, "--length 4000 --lobes 5 --wobble 1 --sharpness 60")]
HELD_OUT = ["meadow_loop"] + sorted(name[:-4] for name in os.listdir(GALLERY)
                                    if name.endswith(".txt"))
TEACHER_SEEDS = [101, 102]
ROUNDS = 2
EPOCHS = (8, 4)  # the first training, then each round's
EVAL_SEEDS = [1, 2]
EVAL_LAPS = 3
STEPS_PER_DRIVE = 3600  # a learner's drive while it still strays is cut short here
FIELD = {name: i for i, name in enumerate(roadsim.STATE_FIELDS)}


# One drive of the recipe: a course file and the seed of its obstacles.
Job = collections.namedtuple("Job", "course seed")
# One row of the table: a held-out course and seed, and the laps of the learner, the autopilot and
# the teacher on it.
Row = collections.namedtuple("Row", "name seed mine expert teacher")


Array = npt.NDArray[typing.Any]


class Taught(typing.NamedTuple):
    """What drives teach: the views, the speeds and the teacher's choices of every step."""
    views: torch.Tensor
    speeds: torch.Tensor
    targets: torch.Tensor


def course_file(name):
    if name == "meadow_loop":
        return os.path.join(DATA, "courses.txt")
    return os.path.join(GALLERY, name + ".txt")


def make_course(seed, knobs, work):
    """A course made with the lab's course maker, as a file in WORK."""
    path = os.path.join(work, f"made{seed}.txt")
    subprocess.run([LAB, "--make-course", str(seed), path] + knobs.split(), check=True,
                   stdout=subprocess.DEVNULL)
    return path


def network(driver):
    """The learned driver as a choice of commands for many views and speeds at once."""
    def choose(views, speeds):
        with torch.no_grad():
            return driver(torch.from_numpy(views), torch.from_numpy(speeds)).numpy()
    return choose


def run(jobs: list[Job], laps: int,
        choose: typing.Callable[[Array, Array], Array] | None = None,
        steps: int | None = None, learn: bool = True) -> tuple[list[roadsim.Drive], Taught | None]:
    """Drives every (course file, seed) of JOBS side by side, stepped together on all cores: by the
    teacher, or by CHOOSE (views, speeds -> commands) when given, each for LAPS laps or at most
    STEPS steps. Returns the drives and, when LEARN, what they teach: the views, speeds and the
    teacher's choices of every step near the track."""
    drives = [roadsim.Drive(job.course, images=DATA, frame_size=FRAME, laps=laps) for job in jobs]
    for each, job in zip(drives, jobs):
        each.reset(job.seed)
    teachers = [train.pursuit(each.waypoints, each.obstacles) for each in drives]
    taught: tuple[list[Array], ...] = ([], [], [])
    live = list(range(len(drives)))
    while live:
        going = [drives[i] for i in live]
        states = roadsim.stack_states(going)
        speeds = states[:, FIELD["speed"]]
        views = roadsim.stack_frames(going)[:, BANNER_ROWS:] if choose or learn else None
        asked = None
        if learn or not choose:
            named = [dict(zip(roadsim.STATE_FIELDS, state)) for state in states]
            asked = np.array([teachers[i](state) for i, state in zip(live, named)], np.float32)
        if learn:
            assert views is not None and asked is not None
            near = np.abs(states[:, FIELD["cross_track"]]) <= train.LOST_FT
            learned: tuple[Array, ...] = (views, speeds, asked)
            for column, data in zip(taught, learned):
                column.append(data[near])
        chosen = choose(views, speeds) if choose and views is not None else asked
        assert chosen is not None
        roadsim.step_many(going, chosen)
        live = [i for i in live if not drives[i].over and (not steps or drives[i].steps < steps)]
    if not learn:
        return drives, None
    return drives, Taught(*(torch.from_numpy(np.concatenate(column)) for column in taught))


def autopilot(course, seed, laps, work):
    """The lab's autopilot at its defaults on COURSE: its figures as the lab's JSON."""
    figures = tempfile.mktemp(suffix=".json", dir=work)
    lab = subprocess.run(["nice", LAB, course, "--seed", str(seed), "--laps", str(laps),
                          "--json", figures], stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                         text=True)
    if not os.path.exists(figures):
        raise RuntimeError(f"roadsim-lab wrote no figures for {course} (status {lab.returncode}): "
                           f"{lab.stderr.strip()}")
    with open(figures) as file:
        return json.load(file)


def protocol_check(model, work, steps):
    """Drives the shipped course through the lab with drive.py for STEPS steps, as --board runs it,
    and again in this process: a list of what differs (the commands, once the frames are the
    same bytes) and the controller's milliseconds a step on one core."""
    record = os.path.join(work, "protocol")
    course = stage(course_file("meadow_loop"), tempfile.mkdtemp(dir=work))
    controller = [sys.executable, os.path.abspath(drive.__file__), model, record,
                  "--steps", str(steps)]
    subprocess.run(["nice", LAB, course, "--seed", "1", "--record", record, "--record-size", SIZE,
                    "--controller", " ".join(controller), "--controller-timeout", "5"],
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    rows = read_log(record) if os.path.exists(os.path.join(record, "driving_log.csv")) else []
    if len(rows) < steps:
        return [f"the lab drove only {len(rows)} steps with drive.py"], float("nan")
    torch.set_num_threads(1)
    driver = net.load(model)
    problems = []
    same = roadsim.Drive(course, images=DATA, frame_size=FRAME)
    same.reset(1)
    for row in rows[:steps]:
        seen = same.frame()[BANNER_ROWS:]
        if not np.array_equal(seen, view(os.path.join(record, row["image"]))):
            problems.append(f"step {same.steps}: the recorded frame differs from Drive.frame()")
            break
        steering, speed = driver.act(seen, float(same.state()[FIELD["speed"]]))
        if abs(steering - float(row["steering_cmd"])) > 1e-3 or \
                abs(speed - float(row["speed_cmd"])) > 1e-3:
            problems.append(f"step {same.steps}: drive.py asked {row['steering_cmd']}, "
                            f"{row['speed_cmd']}; the network here {steering}, {speed}")
            break
        same.step([float(row["steering_cmd"]), float(row["speed_cmd"])])
    messages = [{"type": "state", "speed": float(row["speed"]), "image": row["image"]}
                for row in rows[:steps]]
    start = time.perf_counter()
    for message in messages:
        drive.reply(driver, record, message)
    torch.set_num_threads(2)
    return problems, (time.perf_counter() - start) * 1000 / len(messages)


def figures(laps):
    """RMS cross-track over LAPS, each lap weighted by its frames as the leaderboard weighs them,
    and obstacles hit."""
    frames = sum(lap["frames"] for lap in laps)
    rms = (sum(lap["rms_cross_track"] ** 2 * lap["frames"] for lap in laps) / frames) ** 0.5 \
        if frames else float("nan")
    return rms, sum(lap["hits"] for lap in laps)


def table(rows):
    """The course-by-course table of ROWS (Row)."""
    print("| Course | Seed | Laps | RMS (ft) | Autopilot RMS (ft) | Ratio | Hits | Autopilot hits "
          "| Teacher hits | Aim met |")
    print("|---|---|---|---|---|---|---|---|---|---|")
    met = 0
    totals = np.zeros(3, int)
    seconds: list[list[float]] = [[], []]
    for name, seed, mine, expert, teacher in rows:
        (rms, hits), (expert_rms, expert_hits) = figures(mine), figures(expert)
        ok = len(mine) == EVAL_LAPS and rms <= 2 * expert_rms and hits <= expert_hits
        met += ok
        totals += (hits, expert_hits, figures(teacher)[1])
        seconds[0] += [lap["seconds"] for lap in mine]
        seconds[1] += [lap["seconds"] for lap in expert]
        print(f"| {name} | {seed} | {len(mine)} | {rms:.2f} | {expert_rms:.2f} "
              f"| {rms / expert_rms:.2f} | {hits} | {expert_hits} | {figures(teacher)[1]} "
              f"| {'yes' if ok else 'no'} |")
    finished = sum(len(row.mine) == EVAL_LAPS for row in rows)
    print(f"\nAim met in {met} of {len(rows)} drives; every lap finished in {finished}; obstacles "
          f"hit {totals[0]} (autopilot {totals[1]}, teacher {totals[2]}); mean lap "
          f"{np.mean(seconds[0]):.2f} s (autopilot {np.mean(seconds[1]):.2f} s)")


STARTED = time.time()


def say(text):
    """TEXT on standard error after the seconds since the recipe started."""
    print(f"[{time.time() - STARTED:6.0f} s] {text}", file=sys.stderr, flush=True)


@contextlib.contextmanager
def timed(name):
    """Says how long the block took, as the stage NAME."""
    begun = time.time()
    yield
    say(f"{name}: {time.time() - begun:.1f} s")


def teach(courses, seeds, rounds, epochs, steps, smoke):
    """A network trained on the teacher's drives of COURSES, then ROUNDS times on its own drives
    labelled by the teacher as well, each time on all the frames so far."""
    with timed("the teacher's drives"):
        _, data = run([Job(course, seed) for course in courses for seed in seeds], 1,
                      steps=steps if smoke else None)
    assert data is not None
    driver = net.Driver()
    with timed(f"training on {len(data[0])} frames"):
        say("RMS error steering {:.2f} deg, speed {:.2f} mph".format(
            *train.fit(driver, *data, epochs[0])))
    for round in range(1, rounds + 1):
        with timed(f"round {round}: its own drives"):
            _, more = run([Job(course, 200 + 10 * round + i) for i, course in enumerate(courses)],
                          1, network(driver), steps)
        assert more is not None
        data = Taught(*(torch.cat(pair) for pair in zip(data, more)))
        with timed(f"round {round}: training on {len(more[0])} frames of its own driving, "
                   f"{len(data[0])} in all"):
            say("RMS error steering {:.2f} deg, speed {:.2f} mph".format(
                *train.fit(driver, *data, epochs[1], round)))
    return driver


def evaluate(driver, model, step_ms, work):
    """The learned driver, the teacher and the autopilot on the courses it never saw, as a
    table."""
    held = [(name, Job(course_file(name), seed)) for name in HELD_OUT for seed in EVAL_SEEDS]
    jobs = [job for _, job in held]
    say(f"evaluating on {', '.join(HELD_OUT)}, seeds {EVAL_SEEDS}, {EVAL_LAPS} laps")
    with timed(f"the learned driver's {len(jobs)} drives"):
        mine, _ = run(jobs, EVAL_LAPS, network(driver), learn=False)
    with timed(f"the teacher's {len(jobs)} drives"):
        teacher, _ = run(jobs, EVAL_LAPS, learn=False)
    with timed(f"the autopilot's {len(jobs)} drives (roadsim-lab)"):
        with concurrent.futures.ThreadPoolExecutor(2) as pool:
            experts = list(pool.map(lambda job: autopilot(job.course, job.seed, EVAL_LAPS,
                                                          work), jobs))
    say(f"model {os.path.getsize(model) / 1024:.0f} KB; drive.py takes "
        f"{step_ms:.2f} ms a step on one core")
    table([Row(name, job.seed, m.laps(), e["laps"], t.laps())
           for (name, job), m, e, t in zip(held, mine, experts, teacher)])


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--model", default=os.path.join(os.path.dirname(__file__), "model.pt"))
    parser.add_argument("--smoke", action="store_true",
                        help="one course, a few hundred frames, one round: the pieces fit")
    options = parser.parse_args()
    torch.set_num_threads(2)
    made, seeds, rounds, epochs, steps = MADE, TEACHER_SEEDS, ROUNDS, EPOCHS, STEPS_PER_DRIVE
    if options.smoke:
        made, seeds, rounds, epochs, steps = made[:1], seeds[:1], 1, (1, 1), 300
    with tempfile.TemporaryDirectory(prefix="roadsim-learn-") as work:
        with timed("making the courses"):
            courses = [make_course(seed, knobs, work) for seed, knobs in made]
        driver = teach(courses, seeds, rounds, epochs, steps, options.smoke)
        torch.save(driver.state_dict(), options.model)
        with timed("drive.py through the lab against the network here"):
            problems, step_ms = protocol_check(options.model, work, 40 if options.smoke else 1000)
        for problem in problems:
            say(f"drive.py: {problem}")
        if options.smoke:
            if not problems:
                say("smoke: drive.py drove through the lab as the network does here")
            return 1 if problems else 0
        evaluate(driver, options.model, step_ms, work)
    say("done")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
