// The 0.05 grid of the tuning keys: one step up or down, clamped to 0..1 only once it passes a
// bound.
#pragma once

inline double tuningStepUp(double value) {
    const double raised = value + 0.05;
    return raised > 1 ? 1.0 : raised;
}

inline double tuningStepDown(double value) {
    const double lowered = value - 0.05;
    return lowered < 0 ? 0.0 : lowered;
}
