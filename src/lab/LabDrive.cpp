// A whole drive: the stepped drive run to its end with its controller, recorder and watcher.
#include "LabDrive.h"

#include <iostream>
#include <utility>

LabDrive::LabDrive(std::string text, const std::string& sourceName, const std::string& imageFolder)
    : stepped(std::move(text), sourceName, imageFolder) {
    if (!stepped.valid()) std::cerr << stepped.error() << std::flush;
}

DriveResult LabDrive::drive(const DriveSettings& settings) {
    DriveResult result;
    Controller* const controller = settings.controller;
    Recorder* const recorder = settings.recorder;
    stepped.onFrame = [&](const TraceRow& row) {
        if (settings.recordTrace) result.trace.push_back(row);
        return settings.watcher == nullptr ||
               settings.watcher->show(const_cast<SDL_Surface*>(stepped.getScreen()),
                                      stepped.simulatedMs());
    };
    stepped.start(settings, settings.watcher != nullptr ? Pixels::everyFrame
                            : recorder != nullptr       ? Pixels::atSteps
                                                        : Pixels::none);
    // The course message holds the obstacles of this drive's seed, read by the start.
    if (controller != nullptr &&
        !controller->start(stepped.getCourse(),
                           recorder != nullptr ? recorder->absoluteFolder() : "")) {
        stepped.onFrame = nullptr;
        DriveResult failed;
        failed.end = DriveEnd::controllerFailed;
        return failed;
    }
    while (!stepped.over()) {
        if (controller == nullptr && recorder == nullptr) {
            stepped.steerByAutopilot();
        } else if (!steerWithCompany(settings)) {
            break;
        }
    }
    stepped.onFrame = nullptr;
    if (controller != nullptr && stepped.end() != DriveEnd::controllerFailed) controller->finish();
    result.laps = stepped.getLaps();
    result.end = stepped.end();
    result.simulatedMs = stepped.simulatedMs();
    return result;
}

bool LabDrive::steerWithCompany(const DriveSettings& settings) {
    Controller* const controller = settings.controller;
    Recorder* const recorder = settings.recorder;
    const auto fail = [this](DriveEnd why) {
        stepped.stop(why);
        return false;
    };
    // At a step the screen still shows the frame composed last: what the driver sees as it
    // decides.
    const StepState& state = stepped.current();
    std::string image;
    if (recorder != nullptr) {
        image = recorder->saveFrame(stepped.getScreen(), state.step);
        // A controller may look at the frame, so it must be on disk first.
        if (controller != nullptr && !recorder->flushFrames())
            return fail(DriveEnd::recordingFailed);
    }
    ControlCommand command{};
    if (controller == nullptr)
        command = autopilotCommand(state.view, settings.tuning);
    else if (!controller->decide(state, image, command))
        return fail(DriveEnd::controllerFailed);
    if (recorder != nullptr &&
        !recorder->log(state, image, command, autopilotCommand(state.view, settings.tuning)))
        return fail(DriveEnd::recordingFailed);
    if (controller == nullptr)
        stepped.steerByAutopilot();
    else
        stepped.steer(command);
    return true;
}
