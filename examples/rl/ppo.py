#!/usr/bin/python3
"""A driver trained by reinforcement learning: PPO on courses made on the spot, then the board.

    ppo.py [--policy FILE] [--steps N] [--seed S] [--courses N] [--smoke]

Proximal policy optimisation as it is usually written (a clipped objective, generalised advantage
estimation, observations and returns normalised as they come), on roadsim.make_vec's drives of
roadsim.MadeCourses, each seeing the next waypoint, the road and the obstacles in its own frame
(obs="sight") and asking for a steering from -1 to 1 at the top speed (drivers that chose their
speed learned to stand still where unsure). Hits cost more than the episode charges, for a driver
that goes round obstacles. It never sees the shipped course or the gallery. The
trained policy is written for NumPy alone (--policy, policy.npz beside this file by default), and
drive.py drives the lab with it; the board then ranks it against the lab's drivers on the shipped
course and the gallery. PYTHONPATH: the build's python folder; ROADSIM_LAB: the lab.
"""
import argparse
import dataclasses
import os
import shlex
import subprocess
import sys
import time
from typing import Any

import numpy as np
import numpy.typing as npt
import roadsim
import torch
from drive import car_action
from torch import nn

Array = npt.NDArray[Any]

HERE = os.path.dirname(os.path.abspath(__file__))
LAB = os.environ.get("ROADSIM_LAB", os.path.join(HERE, "..", "..", "build", "roadsim-lab"))


@dataclasses.dataclass
class Settings:
    """Everything the recipe may be asked to change, in one place."""
    steps: int = 3_000_000        # driver steps of all drives together
    drives: int = 16              # drives stepped together, on every core
    rollout: int = 256            # steps of each drive between two updates
    epochs: int = 8               # passes over a rollout
    minibatches: int = 8
    learning_rate: float = 3e-4   # falling to zero by the last update
    gamma: float = 0.995          # a horizon of about 200 steps, 10 s of driving
    gae_lambda: float = 0.95
    clip: float = 0.2
    value_weight: float = 0.5
    entropy_weight: float = 0.0
    max_grad_norm: float = 0.5
    hidden: int = 64
    first_seed: int = 1000        # the made courses: seeds none of the gallery's
    courses: int = 1000           # made courses in all, shared among the kinds
    laps: int = 1                 # a training episode's laps
    # A hit costs the episode 10 s, as on the board; training charges this much more, for a
    # driver that would rather go round a group of obstacles than through it...
    extra_hit_seconds: float = 20.0
    max_cross_track: float = 60.0  # ...and gives it the room to (feet; the environment's is 30)
    seed: int = 1
    # The board: the shipped course and the gallery, as the README's leaderboard drives them.
    board_seeds: str = "1,2,3"
    board_laps: int = 3


# The kinds of course it trains on, drive by drive: the maker's knobs over the gallery's range.
KINDS: list[dict[str, Any]] = [dict(length=2000, sharpness=60, wobble=1.0, speeds=(10, 40)),
         dict(length=3000), dict(length=3000, obstacles=8), dict(length=3000, strength=1.0),
         dict(length=4000, wobble=0.8, speeds=(20, 50)), dict(length=3500, lobes=3, wobble=1.0),
         dict(length=4000, sharpness=30, speeds=(30, 55)), dict(length=2500, obstacles=6,
                                                                 strength=-1.0)]


class Normalizer:
    """A running mean and variance, updated with every batch it sees."""

    def __init__(self, shape: tuple[int, ...]) -> None:
        self.mean: Array = np.zeros(shape)
        self.var: Array = np.ones(shape)
        self.count = 1e-4

    def update(self, batch: Array) -> None:
        mean, var, count = batch.mean(0), batch.var(0), len(batch)
        delta, total = mean - self.mean, self.count + count
        self.mean = self.mean + delta * count / total
        self.var = (self.var * self.count + var * count
                    + delta**2 * self.count * count / total) / total
        self.count = total

    def __call__(self, batch: Array) -> Array:
        return np.clip((batch - self.mean) / np.sqrt(self.var + 1e-8), -10, 10)


class Agent(nn.Module):
    """A Gaussian policy of the steering and a value, each a small multilayer perceptron over the
    sight."""

    def __init__(self, inputs: int, hidden: int) -> None:
        super().__init__()

        def mlp(outputs: int, scale: float) -> nn.Sequential:
            linears = [nn.Linear(inputs, hidden), nn.Linear(hidden, hidden),
                       nn.Linear(hidden, outputs)]
            for linear in linears:
                gain = scale if linear is linears[-1] else np.sqrt(2)
                nn.init.orthogonal_(linear.weight, gain)
                nn.init.zeros_(linear.bias)
            return nn.Sequential(linears[0], nn.Tanh(), linears[1], nn.Tanh(), linears[2])

        self.actor, self.critic = mlp(1, 0.01), mlp(1, 1.0)
        self.log_std = nn.Parameter(torch.full((1,), -0.5))

    def act(self, obs: torch.Tensor, action: torch.Tensor | None = None
            ) -> tuple[torch.Tensor, torch.Tensor, torch.Tensor, torch.Tensor]:
        """An action (sampled unless given), its log-probability, the entropy and the value."""
        dist = torch.distributions.Normal(self.actor(obs), self.log_std.exp())
        if action is None:
            action = dist.sample()
        return (action, dist.log_prob(action).sum(-1), dist.entropy().sum(-1),
                self.critic(obs).squeeze(-1))


def train(settings: Settings) -> tuple[Agent, Normalizer]:
    """PPO on the made courses; prints its progress every tenth of the way."""
    torch.manual_seed(settings.seed)
    share, more = divmod(settings.courses, len(KINDS))
    counts = [share + (k < more) for k in range(len(KINDS))]
    kinds = [roadsim.MadeCourses(settings.first_seed + 10_000 * k, count, **knobs)
             for k, (knobs, count) in enumerate(zip(KINDS, counts)) if count > 0]
    env = roadsim.make_vec(kinds, settings.drives, obs="sight", normalized_actions=True,
                           laps=settings.laps, max_cross_track=settings.max_cross_track)
    n, size = settings.drives, settings.drives * settings.rollout
    agent = Agent(len(roadsim.SIGHT_FIELDS), settings.hidden)
    optimizer = torch.optim.Adam(agent.parameters(), lr=settings.learning_rate, eps=1e-5)
    obs_norm, return_norm = Normalizer((len(roadsim.SIGHT_FIELDS),)), Normalizer(())
    returns_so_far: Array = np.zeros(n)
    last_hits: Array = np.zeros(n)
    obs: Array = np.asarray(env.reset(seed=settings.seed)[0])  # obs="sight": one array
    # The vector environment's next-step autoreset: the step after an end only restarts a drive.
    restarting: Array = np.zeros(n, bool)
    buffers = {name: np.zeros((settings.rollout, n, *shape), np.float32) for name, shape in
               dict(obs=(len(roadsim.SIGHT_FIELDS),), actions=(1,), logprobs=(), rewards=(),
                    values=(), dones=(), valid=()).items()}
    updates = max(1, settings.steps // size)
    ends: dict[str, int] = {}
    hits: list[int] = []
    for update in range(updates):
        optimizer.param_groups[0]["lr"] = settings.learning_rate * (1 - update / updates)
        for t in range(settings.rollout):
            obs_norm.update(obs)
            normed = obs_norm(obs).astype(np.float32)
            with torch.no_grad():
                action, logprob, _, value = agent.act(torch.from_numpy(normed))
            observation, reward, terminated, truncated, info = env.step(
                car_action(action.numpy()[:, 0]))
            obs = np.asarray(observation)
            hits_now = np.asarray(info["hits"], float)  # a restarted drive's count is nought
            reward = reward - settings.extra_hit_seconds * (hits_now - last_hits) * ~restarting
            last_hits = hits_now
            returns_so_far = returns_so_far * settings.gamma + reward
            return_norm.update(returns_so_far)
            returns_so_far[terminated | truncated] = 0
            for i in np.flatnonzero(info.get("_end", [])):
                ends[info["end"][i]] = ends.get(info["end"][i], 0) + 1
                hits.append(info["hits"][i])
            for name, row in dict(obs=normed, actions=action.numpy(), logprobs=logprob.numpy(),
                                  values=value.numpy(), valid=~restarting,
                                  rewards=reward / np.sqrt(return_norm.var + 1e-8)).items():
                buffers[name][t] = row
            # Any end cuts the sum: a truncated episode's penalty is all that follows it.
            restarting = terminated | truncated
            buffers["dones"][t] = restarting
        with torch.no_grad():
            last_value = agent.act(torch.from_numpy(obs_norm(obs).astype(np.float32)))[3].numpy()
        advantages = gae(buffers, last_value, restarting, settings)
        learn(agent, optimizer, buffers, advantages, settings)
        if (update + 1) % max(1, updates // 10) == 0 or update + 1 == updates:
            report((update + 1) * size, ends, hits)
            ends, hits = {}, []
    env.close()
    return agent, obs_norm


def report(steps: int, ends: dict[str, int], hits: list[int]) -> None:
    """Training's progress: how the episodes since the last report ended, and their hits."""
    print(f"  {steps:>10,} steps; episodes ended: "
          + ", ".join(f"{count} {end}" for end, count in sorted(ends.items()))
          + f"; {np.mean(hits or [0]):.1f} hits an episode", flush=True)


def gae(buffers: dict[str, Array], last_value: Array, last_done: Array,
        settings: Settings) -> Array:
    """Generalised advantage estimates of the rollout, an episode's end cutting the sum."""
    advantages = np.zeros_like(buffers["rewards"])
    running: Array = np.zeros(len(last_value), np.float32)
    for t in reversed(range(settings.rollout)):
        next_value = last_value if t == settings.rollout - 1 else buffers["values"][t + 1]
        going_on = 1.0 - buffers["dones"][t]
        delta = (buffers["rewards"][t] + settings.gamma * next_value * going_on
                 - buffers["values"][t])
        running = delta + settings.gamma * settings.gae_lambda * going_on * running
        # A drive's restart step is no step of its own: it passes nothing back.
        running *= buffers["valid"][t]
        advantages[t] = running
    return advantages


def learn(agent: Agent, optimizer: torch.optim.Optimizer, buffers: dict[str, Array],
          advantages: Array, settings: Settings) -> None:
    """The clipped surrogate objective and the value's error, over minibatches of the rollout."""
    valid = buffers["valid"].reshape(-1) > 0
    flat = {name: torch.from_numpy(buffer.reshape(-1, *buffer.shape[2:])[valid])
            for name, buffer in buffers.items()}
    flat_advantages = torch.from_numpy(advantages.reshape(-1)[valid])
    targets = flat_advantages + flat["values"]
    count = len(flat_advantages)
    for _ in range(settings.epochs):
        for batch in torch.randperm(count).chunk(settings.minibatches):
            _, logprob, entropy, value = agent.act(flat["obs"][batch], flat["actions"][batch])
            ratio = (logprob - flat["logprobs"][batch]).exp()
            adv = flat_advantages[batch]
            adv = (adv - adv.mean()) / (adv.std() + 1e-8)
            policy_loss = torch.max(-adv * ratio,
                                    -adv * ratio.clamp(1 - settings.clip, 1 + settings.clip)).mean()
            value_loss = 0.5 * ((value - targets[batch]) ** 2).mean()
            loss = (policy_loss + settings.value_weight * value_loss
                    - settings.entropy_weight * entropy.mean())
            optimizer.zero_grad()
            loss.backward()
            nn.utils.clip_grad_norm_(agent.parameters(), settings.max_grad_norm)
            optimizer.step()


def export(agent: Agent, obs_norm: Normalizer, path: str) -> None:
    """The policy's mean steering for NumPy alone: the normaliser and the actor's layers."""
    layers = [layer for layer in agent.actor if isinstance(layer, nn.Linear)]
    # Any: NumPy's hints would take a keyword's array for savez's allow_pickle.
    arrays: dict[str, Any] = dict(fields=np.array(roadsim.SIGHT_FIELDS), mean=obs_norm.mean,
                                  var=obs_norm.var)
    for i, layer in enumerate(layers):
        arrays[f"w{i}"], arrays[f"b{i}"] = (layer.weight.detach().numpy(),
                                            layer.bias.detach().numpy())
    np.savez_compressed(path, **arrays)


def board(policy: str, settings: Settings, courses: list[str]) -> str:
    """The board's ranking of the policy, the lab's drivers and the autopilot on COURSES."""
    controllers = os.path.join(HERE, "..", "controllers")
    # drive.py with this Python, which has roadsim.
    ppo = shlex.join([sys.executable, os.path.join(HERE, "drive.py"), policy])
    command = [LAB, "--board", *courses, "--driver", f"ppo={ppo}",
               "--driver", f"pure_pursuit={os.path.join(controllers, 'pure_pursuit.py')}",
               "--seeds", settings.board_seeds, "--laps", str(settings.board_laps)]
    return subprocess.run(command, capture_output=True, text=True, check=True).stdout


def count(text: str) -> int:
    """A whole number from 1, for the command line."""
    value = int(text)
    if value < 1:
        raise argparse.ArgumentTypeError(f"must be 1 or more, not {value}")
    return value


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--policy", default=os.path.join(HERE, "policy.npz"))
    parser.add_argument("--steps", type=count, default=Settings.steps)
    parser.add_argument("--seed", type=int, default=Settings.seed)
    parser.add_argument("--courses", type=count, default=Settings.courses,
                        help="made courses to train on (the README's generalisation table)")
    parser.add_argument("--smoke", action="store_true",
                        help="a few thousand steps and one course of the board: proof that it runs")
    arguments = parser.parse_args()
    settings = Settings(steps=arguments.steps, seed=arguments.seed, courses=arguments.courses)
    if arguments.smoke:
        settings = Settings(steps=4096, drives=4, rollout=128, epochs=2, courses=3,
                            board_seeds="1", board_laps=1)
    torch.set_num_threads(1)  # the drives take the cores; the network is small
    clock = time.perf_counter()
    print(f"training on made courses, {settings.steps:,} steps:", flush=True)
    try:
        agent, obs_norm = train(settings)
    except ValueError as error:  # a course seed out of range, or one the maker cannot make
        parser.error(str(error))
    export(agent, obs_norm, arguments.policy)
    print(f"trained in {time.perf_counter() - clock:.0f} s; the policy in {arguments.policy} "
          f"({os.path.getsize(arguments.policy) / 1024:.0f} KB)", flush=True)
    clock = time.perf_counter()
    courses = [roadsim.courses()["meadow_loop"]]
    if not arguments.smoke:
        courses.append(os.path.join(roadsim.DATA, "gallery"))
    print(board(arguments.policy, settings, courses), end="")
    print(f"the board in {time.perf_counter() - clock:.0f} s", flush=True)


if __name__ == "__main__":
    main()
