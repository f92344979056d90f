#!/usr/bin/env python3
"""A pure-pursuit controller for roadsim-lab --controller.

It steers the car's 12 ft wheelbase onto the arc through a point a lookahead distance ahead along
the course, and drives at the target speed of the current waypoint, slowing early for a slower
one ahead. Obstacles strong enough to hit (strength 0.5 and above) that lie near its line ahead
shift the pursued point sideways, so that the car passes them with room. Standard library only.
"""
# The hints stay unevaluated, for whichever Python 3 runs the controller.
from __future__ import annotations

import argparse
import json
import math
import sys
from collections.abc import Mapping, Sequence
from typing import Any

WHEELBASE = 12.0  # feet, as the lab's car model
FEET_PER_SECOND_PER_MPH = 1.46667
SOLID = 0.5  # weaker obstacles are driven over without a collision


class Course:
    def __init__(self, message: Mapping[str, Any]) -> None:
        self.points = [(w["x"], w["y"]) for w in message["waypoints"]]
        self.speeds = [w["speed"] for w in message["waypoints"]]
        self.obstacles = [(o["x"], o["y"]) for o in message["obstacles"] if o["strength"] >= SOLID]

    def lookahead_point(self, segment: int, x: float, y: float,
                        distance: float) -> tuple[float, float]:
        """The point `distance` feet along the course beyond the car's foot on `segment`."""
        last = len(self.points) - 1
        i = min(segment, last - 1)
        (x0, y0), (x1, y1) = self.points[i], self.points[i + 1]
        length = math.hypot(x1 - x0, y1 - y0) or 1e-9
        along = ((x - x0) * (x1 - x0) + (y - y0) * (y1 - y0)) / length
        along = max(0.0, along) + distance
        while along > length and i + 1 < last:
            along -= length
            i += 1
            (x0, y0), (x1, y1) = self.points[i], self.points[i + 1]
            length = math.hypot(x1 - x0, y1 - y0) or 1e-9
        share = min(along / length, 1.0)
        return x0 + share * (x1 - x0), y0 + share * (y1 - y0)

    def speed_ahead(self, segment: int, x: float, y: float, feet: float) -> float:
        """The lowest target speed among the waypoints within `feet` of the car, and the current."""
        speed = self.speeds[min(segment, len(self.speeds) - 1)]
        for i in range(segment + 1, len(self.points)):
            px, py = self.points[i]
            if math.hypot(px - x, py - y) > feet:
                break
            speed = min(speed, self.speeds[i])
        return speed


def to_car(dx: float, dy: float, heading: float) -> tuple[float, float]:
    """A world offset as (right of the car, ahead of it); heading 0 looks along +y."""
    return (dx * math.cos(heading) - dy * math.sin(heading),
            dx * math.sin(heading) + dy * math.cos(heading))


def dodge(course: Course, x: float, y: float, heading: float, right: float, ahead: float,
          options: argparse.Namespace) -> float:
    """How far to move the pursued point sideways to keep clear of the obstacles ahead."""
    shift = 0.0
    for ox, oy in course.obstacles:
        o_right, o_ahead = to_car(ox - x, oy - y, heading)
        if not 0 < o_ahead < options.sight:
            continue
        # The obstacle's distance from the line towards the pursued point, positive to its right.
        along = o_ahead / max(ahead, 1e-6)
        gap = o_right - right * along
        if abs(gap) < options.clearance:
            needed = (options.clearance - abs(gap)) * (-1 if gap > 0 else 1)
            if abs(needed) > abs(shift):
                shift = needed
    return shift


def choose(course: Course, state: Mapping[str, Any],
           options: argparse.Namespace) -> tuple[float, float]:
    x, y, heading = state["x"], state["y"], state["heading"]
    speed = max(state["speed"], 1.0)
    lookahead = options.lookahead + options.lookahead_time * speed * FEET_PER_SECOND_PER_MPH
    tx, ty = course.lookahead_point(state["waypoint"], x, y, lookahead)
    right, ahead = to_car(tx - x, ty - y, heading)
    right += dodge(course, x, y, heading, right, ahead, options)
    alpha = math.atan2(right, ahead)
    distance = max(math.hypot(right, ahead), 1e-6)
    steering = math.degrees(math.atan(2 * WHEELBASE * math.sin(alpha) / distance))
    target = course.speed_ahead(state["waypoint"], x, y, options.brake_distance)
    return steering, target


def parse_options(arguments: Sequence[str] | None = None) -> argparse.Namespace:
    """The controller's options from ARGUMENTS (the command line when None); [] gives the defaults."""
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--lookahead", type=float, default=10.0,
                        help="feet ahead of the car's foot on the course, at rest (default 10)")
    parser.add_argument("--lookahead-time", type=float, default=0.3,
                        help="seconds of travel added to the lookahead (default 0.3)")
    parser.add_argument("--brake-distance", type=float, default=60.0,
                        help="feet within which a slower waypoint sets the speed (default 60)")
    parser.add_argument("--clearance", type=float, default=7.0,
                        help="feet to keep between the car's line and a solid obstacle (default 7)")
    parser.add_argument("--sight", type=float, default=45.0,
                        help="feet ahead within which obstacles are avoided (default 45)")
    return parser.parse_args(arguments)


def main() -> None:
    options = parse_options()
    course = None
    for line in sys.stdin:
        message = json.loads(line)
        if message["type"] == "course":
            course = Course(message)
        elif message["type"] == "state":
            assert course is not None, "the lab sends the course before any state"
            steering, speed = choose(course, message, options)
            print(json.dumps({"steering": steering, "speed": speed}), flush=True)
        elif message["type"] == "end":
            break


if __name__ == "__main__":
    main()
