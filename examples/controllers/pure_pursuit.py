#!/usr/bin/env python3
"""A pure-pursuit controller for roadsim-lab --controller.

It steers the car's 12 ft wheelbase onto the arc through a point a lookahead distance ahead along
the course, and drives at the target speed of the current waypoint, slowing early for a slower
one ahead. Standard library only.
"""
import argparse
import json
import math
import sys

WHEELBASE = 12.0  # feet, as the lab's car model
FEET_PER_SECOND_PER_MPH = 1.46667


class Course:
    def __init__(self, message):
        self.points = [(w["x"], w["y"]) for w in message["waypoints"]]
        self.speeds = [w["speed"] for w in message["waypoints"]]

    def lookahead_point(self, segment, x, y, distance):
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

    def speed_ahead(self, segment, x, y, feet):
        """The lowest target speed among the waypoints within `feet` of the car, and the current."""
        speed = self.speeds[min(segment, len(self.speeds) - 1)]
        for i in range(segment + 1, len(self.points)):
            px, py = self.points[i]
            if math.hypot(px - x, py - y) > feet:
                break
            speed = min(speed, self.speeds[i])
        return speed


def choose(course, state, options):
    x, y, heading = state["x"], state["y"], state["heading"]
    speed = max(state["speed"], 1.0)
    lookahead = options.lookahead + options.lookahead_time * speed * FEET_PER_SECOND_PER_MPH
    tx, ty = course.lookahead_point(state["waypoint"], x, y, lookahead)
    dx, dy = tx - x, ty - y
    # Into the car's frame: right of the car and ahead of it (heading 0 looks along +y).
    right = dx * math.cos(heading) - dy * math.sin(heading)
    ahead = dx * math.sin(heading) + dy * math.cos(heading)
    alpha = math.atan2(right, ahead)
    distance = max(math.hypot(dx, dy), 1e-6)
    steering = math.degrees(math.atan(2 * WHEELBASE * math.sin(alpha) / distance))
    target = course.speed_ahead(state["waypoint"], x, y, options.brake_distance)
    return steering, target


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--lookahead", type=float, default=10.0,
                        help="feet ahead of the car's foot on the course, at rest (default 10)")
    parser.add_argument("--lookahead-time", type=float, default=0.3,
                        help="seconds of travel added to the lookahead (default 0.3)")
    parser.add_argument("--brake-distance", type=float, default=60.0,
                        help="feet within which a slower waypoint sets the speed (default 60)")
    options = parser.parse_args()
    course = None
    for line in sys.stdin:
        message = json.loads(line)
        if message["type"] == "course":
            course = Course(message)
        elif message["type"] == "state":
            steering, speed = choose(course, message, options)
            print(json.dumps({"steering": steering, "speed": speed}), flush=True)
        elif message["type"] == "end":
            break


if __name__ == "__main__":
    main()
