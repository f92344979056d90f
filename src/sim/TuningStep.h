// The autopilot's five tuning values in the order of the control screen's sliders, and the 0.05
// grid of the keys that change them.
#pragma once

struct Tuning {
    double headingGain = 0.5;
    double trackGain = 0.5;
    double pathWeight = 0.5;
    double obstacleThreshold = 0.5;
    double avoidGain = 0.5;
};

inline double tuningStepUp(double value) {
    const double raised = value + 0.05;
    return raised > 1 ? 1.0 : raised;
}

inline double tuningStepDown(double value) {
    const double lowered = value - 0.05;
    return lowered < 0 ? 0.0 : lowered;
}
