// Starting, signalling and reaping child processes.
#include "ChildProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <thread>
#include <utility>

namespace {

std::vector<char*> pointers(const std::vector<std::string>& strings) {
    std::vector<char*> result;
    result.reserve(strings.size() + 1);
    for (const std::string& s : strings) result.push_back(const_cast<char*>(s.c_str()));
    result.push_back(nullptr);
    return result;
}

int decode(int rawStatus) {
    if (WIFEXITED(rawStatus)) return WEXITSTATUS(rawStatus);
    if (WIFSIGNALED(rawStatus)) return 128 + WTERMSIG(rawStatus);
    return -1;
}

}  // namespace

ChildProcess::ChildProcess(const ProcessRequest& request) {
    // Everything the child needs is prepared before the fork: after it only async-signal-safe
    // calls.
    std::vector<char*> argv = pointers(request.arguments);
    std::vector<char*> envp = pointers(request.environment);
    const char* const devNull = "/dev/null";
    const char* const out = request.outputPath.empty() ? devNull : request.outputPath.c_str();
    const char* const err = request.errorPath.empty() ? devNull : request.errorPath.c_str();
    const char* const directory =
        request.workingDirectory.empty() ? nullptr : request.workingDirectory.c_str();
    const pid_t parent = getpid();

    const pid_t child = fork();
    if (child == 0) {
        // A test runner that dies (a crash, a timeout's kill) takes its servers and programs along.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) _exit(127);
        const int in = open(devNull, O_RDONLY);
        const int outFd = open(out, O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int errFd = open(err, O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (in < 0 || outFd < 0 || errFd < 0) _exit(127);
        if (dup2(in, 0) < 0 || dup2(outFd, 1) < 0 || dup2(errFd, 2) < 0) _exit(127);
        if (request.inheritedFd == 3) {
            fcntl(3, F_SETFD, 0);
        } else if (request.inheritedFd >= 0 && dup2(request.inheritedFd, 3) < 0) {
            _exit(127);
        }
        if (directory != nullptr && chdir(directory) != 0) _exit(127);
        execve(request.program.c_str(), argv.data(), envp.data());
        _exit(127);
    }
    pid = child;
}

ChildProcess::~ChildProcess() {
    kill();
}

ChildProcess::ChildProcess(ChildProcess&& other) noexcept
    : pid(std::exchange(other.pid, -1)), status(std::exchange(other.status, std::nullopt)) {}

ChildProcess& ChildProcess::operator=(ChildProcess&& other) noexcept {
    if (this != &other) {
        kill();
        pid = std::exchange(other.pid, -1);
        status = std::exchange(other.status, std::nullopt);
    }
    return *this;
}

void ChildProcess::kill() {
    if (pid <= 0 || status) return;
    if (poll()) return;
    ::kill(pid, SIGKILL);
    int raw = 0;
    if (waitpid(pid, &raw, 0) == pid) status = decode(raw);
}

bool ChildProcess::poll() {
    if (status) return true;
    if (pid <= 0) return false;
    int raw = 0;
    if (waitpid(pid, &raw, WNOHANG) != pid) return false;
    status = decode(raw);
    return true;
}

bool ChildProcess::running() {
    return pid > 0 && !poll();
}

void ChildProcess::signal(int number) const {
    if (pid > 0 && !status) ::kill(pid, number);
}

std::optional<int> ChildProcess::waitForExit(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!poll()) {
        if (pid <= 0 || std::chrono::steady_clock::now() >= deadline) return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return status;
}

std::vector<std::string> baseEnvironment() {
    std::vector<std::string> environment;
    for (const char* name : {"PATH", "HOME", "LANG", "LD_LIBRARY_PATH"}) {
        if (const char* value = std::getenv(name))
            environment.push_back(std::string(name) + "=" + value);
    }
    return environment;
}

std::optional<int> runToEnd(const ProcessRequest& request, std::chrono::milliseconds timeout) {
    ChildProcess child(request);
    if (!child.started()) return std::nullopt;
    return child.waitForExit(timeout);
}
