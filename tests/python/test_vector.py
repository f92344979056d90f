"""roadsim.make_vec: exactly what the same drives give one by one in Gymnasium's SyncVectorEnv."""
import functools

import gymnasium
import numpy as np
import pytest
from gymnasium.utils.env_checker import data_equivalence

import roadsim


@pytest.mark.parametrize("obs, by_id", [("state", False), ("both", False), ("state", True),
                                        ("sight", "made")])
def test_many_drives_at_once_are_the_drives_one_by_one(obs, by_id, made_course):
    courses = ["meadow_loop", "trefoil", made_course]
    # Episodes end within the run in every way: a lap finished on the short course, the lap limit
    # on the long ones, and the random drivers stray; so the autoresets are compared too.
    options = dict(obs=obs, laps=1, lap_limit=25.0, max_cross_track=12.0)
    if by_id:  # Gymnasium's own make_vec finds the vector environment by the id
        vector = gymnasium.make_vec("roadsim/meadow_loop-v1", 6, **options)
        courses = ["meadow_loop"]
    elif by_id == "made":  # each drive draws its own course at every reset, the same one by one
        courses = [roadsim.MadeCourses(3, 4, length=900, speeds=(20, 50))]
        vector = roadsim.make_vec(courses[0], 6, **options)
    else:
        vector = roadsim.make_vec(courses, 6, **options)
    one_by_one = gymnasium.vector.SyncVectorEnv(
        [functools.partial(roadsim.make, courses[i % len(courses)], **options) for i in range(6)])
    assert isinstance(vector, roadsim.RoadsimVectorEnv)
    assert vector.observation_space == one_by_one.observation_space
    assert vector.action_space == one_by_one.action_space
    assert vector.metadata["autoreset_mode"] == one_by_one.metadata["autoreset_mode"]
    expert = np.arange(6) % 2 == 0
    vector.action_space.seed(3)
    ours, theirs = vector.reset(seed=11), one_by_one.reset(seed=11)
    ends = np.zeros(2, int)
    for _ in range(800):
        assert data_equivalence(ours, theirs, exact=True)
        actions = np.where(expert[:, None], ours[-1]["expert"], vector.action_space.sample())
        ours, theirs = vector.step(actions), one_by_one.step(actions)
        ends += ours[2].sum(), ours[3].sum()
    assert ends.all(), "no episode ended as terminated or truncated"
