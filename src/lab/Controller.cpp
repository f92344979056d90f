// Running the controller under the shell and talking to it through two pipes, with a deadline on
// every reply.
#include "Controller.h"

#include "DriveFrame.h"

#include <nlohmann/json.hpp>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <utility>

using Json = nlohmann::json;

namespace {

using Clock = std::chrono::steady_clock;

constexpr int startUpMs = 10000;
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

int remainingMs(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

// Whether the child has ended, waiting for it up to waitMs.
bool reaped(pid_t pid, int waitMs, int& status) {
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(waitMs);
    while (true) {
        if (waitpid(pid, &status, WNOHANG) == pid) return true;
        if (Clock::now() >= deadline) return false;
        usleep(5000);
    }
}

}  // namespace

Controller::Controller(std::string commandLine, double timeoutSeconds)
    : command(std::move(commandLine)),
      timeoutMs(static_cast<int>(std::lround(timeoutSeconds * 1000))),
      pid(-1),
      group(-1),
      toController(-1),
      fromController(-1),
      pending(),
      failure(ControllerFault::none),
      message() {}

Controller::~Controller() {
    stop();
}

bool Controller::start(const Course& course) {
    // A controller that dies must not take the lab with it while the lab writes to it.
    signal(SIGPIPE, SIG_IGN);
    // Close-on-exec from the start, so that no other child started meanwhile holds an end open
    // and hides the controller's exit.
    int input[2], output[2];
    if (pipe2(input, O_CLOEXEC) != 0) return fail(ControllerFault::cannotStart, 0, "no pipe");
    if (pipe2(output, O_CLOEXEC) != 0) {
        close(input[0]);
        close(input[1]);
        return fail(ControllerFault::cannotStart, 0, "no pipe");
    }
    pid = fork();
    if (pid == 0) {
        // A group of its own, so that ending it ends whatever the shell started.
        setpgid(0, 0);
        dup2(input[0], STDIN_FILENO);
        dup2(output[1], STDOUT_FILENO);
        // Only the three standard streams go along: files the lab opened without close-on-exec
        // (its streams cannot ask for it) stay the lab's.
        close_range(STDERR_FILENO + 1, ~0U, 0);
        // bash replaces itself by the command's last program, where sh would wait for it holding
        // the pipes: only then does a controller that closes its input, or dies, show at once.
        const char* const shell = access("/bin/bash", X_OK) == 0 ? "/bin/bash" : "/bin/sh";
        execl(shell, shell, "-c", command.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    // Also from this side, so that the group exists before anything can be sent to it.
    if (pid > 0) setpgid(pid, pid);
    group = pid;
    close(input[0]);
    close(output[1]);
    toController = input[1];
    fromController = output[0];
    if (pid < 0) return fail(ControllerFault::cannotStart, 0, "cannot fork");
    fcntl(toController, F_SETFL, fcntl(toController, F_GETFL) | O_NONBLOCK);

    Json waypoints = Json::array();
    for (const CourseObject& waypoint : course.getWaypoints())
        waypoints.push_back({{"x", waypoint.x}, {"y", waypoint.y}, {"speed", waypoint.value}});
    Json obstacles = Json::array();
    for (const CourseObject& obstacle : course.getObstacles())
        obstacles.push_back({{"x", obstacle.x}, {"y", obstacle.y}, {"strength", obstacle.value}});
    return send(dump({{"type", "course"},
                      {"name", course.getName()},
                      {"step_ms", driverStepMs},
                      {"waypoints", std::move(waypoints)},
                      {"obstacles", std::move(obstacles)}}),
                0);
}

bool Controller::decide(const StepState& state, const std::string& image,
                        ControlCommand& commandOut) {
    const DriverView& view = state.view;
    Json message = {{"type", "state"},
                    {"t", state.seconds},
                    {"x", view.state.x},
                    {"y", view.state.y},
                    {"heading", view.state.heading},
                    {"speed", view.state.speed},
                    {"steering", view.state.steering},
                    {"waypoint", view.state.waypointIndex},
                    {"target_speed", view.targetSpeed},
                    {"cross_track", view.crossTrack},
                    {"heading_error", view.headingError},
                    {"obstacle_sum", view.obstacleSum}};
    if (!image.empty()) message["image"] = image;
    std::string line;
    if (!send(dump(message), state.step) || !receive(line, state.step)) return false;

    const Json reply = Json::parse(line, nullptr, false);
    const bool usable = reply.is_object() && reply.contains("steering") &&
                        reply["steering"].is_number() && reply.contains("speed") &&
                        reply["speed"].is_number();
    if (!usable)
        return fail(ControllerFault::badReply, state.step,
                    "expected a JSON object with numeric \"steering\" and \"speed\", received: " +
                        line.substr(0, 200));
    commandOut = {reply["steering"].get<double>(), reply["speed"].get<double>()};
    return true;
}

void Controller::finish() {
    if (pid <= 0) return;
    // The drive is over: a controller that left without waiting for this has done no harm.
    const std::string goodbye = dump({{"type", "end"}});
    [[maybe_unused]] const ssize_t sent = write(toController, goodbye.data(), goodbye.size());
    close(toController);
    toController = -1;
    int status = 0;
    if (reaped(pid, 2000, status)) pid = -1;
    stop();
}

bool Controller::send(const std::string& line, int step) {
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    size_t written = 0;
    while (written < line.size()) {
        const ssize_t n = write(toController, line.data() + written, line.size() - written);
        if (n > 0) {
            written += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN) {
            // No one reads any more; whatever it managed to say on its way out is there already.
            drain();
            return ended(step, "it closed its input");
        }
        pollfd ready{toController, POLLOUT, 0};
        if (poll(&ready, 1, remainingMs(deadline)) == 0)
            return fail(ControllerFault::tooSlow, step,
                        "it did not read its input within " + std::to_string(timeoutMs) + " ms");
    }
    return true;
}

bool Controller::receive(std::string& line, int step) {
    // The first reply may also wait for the controller to start up (an interpreter, a model).
    const int waitMs = timeoutMs + (step == 1 ? startUpMs : 0);
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(waitMs);
    while (true) {
        const size_t end = pending.find('\n');
        if (end != std::string::npos && end <= maxReplyBytes) {
            line = pending.substr(0, end);
            pending.erase(0, end + 1);
            return true;
        }
        if (std::min(end, pending.size()) > maxReplyBytes)
            return fail(ControllerFault::badReply, step,
                        "a reply line longer than " + std::to_string(maxReplyBytes) +
                            " bytes, beginning: " + pending.substr(0, 200));
        pollfd ready{fromController, POLLIN, 0};
        const int polled = poll(&ready, 1, remainingMs(deadline));
        if (polled < 0 && errno == EINTR) continue;
        if (polled == 0)
            return fail(ControllerFault::tooSlow, step,
                        "no reply within " + std::to_string(waitMs) + " ms" +
                            (pending.empty() ? "" : ", only: " + pending.substr(0, 200)));
        if (readSome() <= 0) return ended(step, "it closed its output");
    }
}

ssize_t Controller::readSome() {
    char buffer[65536];
    ssize_t n;
    do {
        n = read(fromController, buffer, sizeof buffer);
    } while (n < 0 && errno == EINTR);
    if (n > 0) pending.append(buffer, static_cast<size_t>(n));
    return n;
}

void Controller::drain() {
    pollfd ready{fromController, POLLIN, 0};
    while (pending.size() <= maxReplyBytes && poll(&ready, 1, 0) > 0 && readSome() > 0) {
    }
}

bool Controller::ended(int step, const std::string& sign) {
    int status = 0;
    const bool exited = reaped(pid, 500, status);
    if (exited) pid = -1;
    const int code = exited && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    // The shell answers 126 and 127 for a command it cannot find or run.
    if (step <= 1 && (code == 126 || code == 127))
        return fail(ControllerFault::cannotStart, step,
                    "the shell could not run it (status " + std::to_string(code) + ")");
    std::string how = sign;
    if (code >= 0) how = "it exited with status " + std::to_string(code);
    if (exited && WIFSIGNALED(status))
        how = "it was ended by signal " + std::to_string(WTERMSIG(status));
    return fail(ControllerFault::exited, step,
                how + (pending.empty() ? "" : " after sending: " + pending.substr(0, 200)));
}

bool Controller::fail(ControllerFault fault, int step, const std::string& what) {
    failure = fault;
    message = "controller \"" + command + "\" " + stepName(step) + ": " + what;
    stop();
    return false;
}

void Controller::stop() {
    if (toController >= 0) close(toController);
    if (fromController >= 0) close(fromController);
    toController = fromController = -1;
    // The whole group, even when its leader is gone: what it started in the background goes too.
    if (group > 0) kill(-group, SIGKILL);
    group = -1;
    if (pid > 0) {
        kill(pid, SIGKILL);
        int status = 0;
        waitpid(pid, &status, 0);
    }
    pid = -1;
}
