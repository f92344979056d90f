// Talking to the controller in JSON Lines, with a deadline on every reply, and saying what went
// wrong when it fails.
#include "Controller.h"

#include "Drive.h"
#include "DriveFrame.h"
#include "DriveRequest.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <utility>

using Json = nlohmann::json;

namespace {

using Clock = std::chrono::steady_clock;

// A reply is a few dozen bytes; a line longer than this is a controller gone wrong, and buffering
// it until the timeout would cost memory without bound.
constexpr size_t maxReplyBytes = 1 << 20;

std::string dump(const Json& message) {
    // The course name is the file's own bytes; anything that is not UTF-8 is replaced.
    return message.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n";
}

std::string stepName(int step) {
    return step == 0 ? "before the first step" : "at step " + std::to_string(step);
}

}  // namespace

Controller::Controller(std::string commandLine, double timeoutSeconds)
    : command(std::move(commandLine)),
      timeoutMs(static_cast<int>(std::lround(timeoutSeconds * 1000))),
      process(),
      pending(),
      failure(LabStatus::done),
      message() {}

Controller::~Controller() {
    stop();
}

bool Controller::start(const Course& course, const std::string& recording) {
    process = std::make_unique<ControllerProcess>();
    std::string why;
    if (!process->start(command, why)) return fail(LabStatus::cannotStart, 0, why);

    Json waypoints = Json::array();
    for (const CourseObject& waypoint : course.getWaypoints())
        waypoints.push_back({{"x", waypoint.x}, {"y", waypoint.y}, {"speed", waypoint.value}});
    Json obstacles = Json::array();
    for (const CourseObject& obstacle : course.getObstacles())
        obstacles.push_back({{"x", obstacle.x}, {"y", obstacle.y}, {"strength", obstacle.value}});
    Json message = {{"type", "course"},
                    {"name", course.getName()},
                    {"step_ms", driverStepMs},
                    {"waypoints", std::move(waypoints)},
                    {"obstacles", std::move(obstacles)}};
    if (!recording.empty()) message["recording"] = recording;
    return send(dump(message), 0);
}

bool Controller::decide(const StepState& state, const std::string& image,
                        ControlCommand& commandOut) {
    Json message = {{"type", "state"}};
    visitStateFields(state, [&](const char* name, const auto& value) { message[name] = value; });
    if (!image.empty()) message["image"] = image;
    std::string line;
    if (!send(dump(message), state.step) || !receive(line, state.step)) return false;

    const Json reply = Json::parse(line, nullptr, false);
    const bool usable = reply.is_object() && reply.contains("steering") &&
                        reply["steering"].is_number() && reply.contains("speed") &&
                        reply["speed"].is_number();
    if (!usable)
        return fail(LabStatus::badReply, state.step,
                    "expected a JSON object with numeric \"steering\" and \"speed\", received: " +
                        line.substr(0, 200));
    commandOut = {reply["steering"].get<double>(), reply["speed"].get<double>()};
    return true;
}

void Controller::finish() {
    if (!process) return;
    // The drive is over: a controller that left without waiting for this has done no harm.
    process->write(dump({{"type", "end"}}), Clock::now());
    process->closeInput();
    process->wait(2000);
    stop();
}

bool Controller::send(const std::string& line, int step) {
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    switch (process->write(line, deadline)) {
        case ControllerProcess::Io::done:
            return true;
        case ControllerProcess::Io::timedOut:
            return fail(LabStatus::tooSlow, step,
                        "it did not read its input within " + std::to_string(timeoutMs) + " ms");
        case ControllerProcess::Io::closed:
            break;
    }
    // No one reads any more; whatever it managed to say on its way out is there already.
    drain();
    return ended(step, "it closed its input");
}

bool Controller::receive(std::string& line, int step) {
    const int waitMs = timeoutMs + (step == 1 ? controllerStartUpMs : 0);
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(waitMs);
    while (true) {
        const size_t end = pending.find('\n');
        if (end != std::string::npos && end <= maxReplyBytes) {
            line = pending.substr(0, end);
            pending.erase(0, end + 1);
            return true;
        }
        if (std::min(end, pending.size()) > maxReplyBytes)
            return fail(LabStatus::badReply, step,
                        "a reply line longer than " + std::to_string(maxReplyBytes) +
                            " bytes, beginning: " + pending.substr(0, 200));
        const ControllerProcess::Io got = process->read(pending, deadline);
        if (got == ControllerProcess::Io::timedOut)
            return fail(LabStatus::tooSlow, step,
                        "no reply within " + std::to_string(waitMs) + " ms" +
                            (pending.empty() ? "" : ", only: " + pending.substr(0, 200)));
        if (got == ControllerProcess::Io::closed) return ended(step, "it closed its output");
    }
}

void Controller::drain() {
    while (pending.size() <= maxReplyBytes &&
           process->read(pending, Clock::now()) == ControllerProcess::Io::done) {
    }
}

bool Controller::ended(int step, const std::string& sign) {
    const ControllerProcess::Exit exit = process->wait(500);
    if (step <= 1 && exit.couldNotRun)
        return fail(LabStatus::cannotStart, step,
                    "the shell could not run it (status " + std::to_string(exit.code) + ")");
    return fail(LabStatus::exited, step,
                (exit.ended ? exit.how : sign) +
                    (pending.empty() ? "" : " after sending: " + pending.substr(0, 200)));
}

bool Controller::fail(LabStatus fault, int step, const std::string& what) {
    failure = fault;
    message = "controller \"" + command + "\" " + stepName(step) + ": " + what;
    stop();
    return false;
}

void Controller::stop() {
    process.reset();
}
