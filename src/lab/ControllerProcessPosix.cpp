// The lab's children on POSIX systems: each in a process group of its own, so that ending the group
// ends whatever it started, with two pipes polled against deadlines.
#include "ControllerProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <mutex>

namespace {

int remainingMs(ControllerProcess::Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - ControllerProcess::Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

void closeFd(int& fd) {
    if (fd >= 0) close(fd);
    fd = -1;
}

// The groups this process started and has not ended yet. Ended by a SIGTERM (the board ending a
// drive that outlasted its deadline), the lab ends them first: a drive goes with its controller,
// which lies in a group of its own.
std::atomic<pid_t> startedGroups[64];

void endGroupsAndExit(int signalNumber) {
    for (std::atomic<pid_t>& group : startedGroups) {
        const pid_t started = group.load();
        if (started > 0) kill(-started, SIGKILL);
    }
    _exit(128 + signalNumber);
}

void installEnding() {
    static std::once_flag installed;
    std::call_once(installed, [] {
        struct sigaction action {};
        action.sa_handler = endGroupsAndExit;
        sigaction(SIGTERM, &action, nullptr);
    });
}

void remember(pid_t group) {
    for (std::atomic<pid_t>& slot : startedGroups) {
        pid_t empty = 0;
        if (slot.compare_exchange_strong(empty, group)) return;
    }
}

void forget(pid_t group) {
    for (std::atomic<pid_t>& slot : startedGroups) {
        pid_t expected = group;
        if (slot.compare_exchange_strong(expected, 0)) return;
    }
}

}  // namespace

struct ControllerProcess::Handles {
    pid_t pid = -1;
    pid_t group = -1;  // outlives pid: the group is ended even after its leader exited
    int toController = -1;
    int fromController = -1;
};

ControllerProcess::ControllerProcess() : handles(std::make_unique<Handles>()) {}

ControllerProcess::~ControllerProcess() {
    stop();
}

bool ControllerProcess::start(const std::string& command, std::string& why) {
    // bash replaces itself by the command's last program, where sh would wait for it holding the
    // pipes: only then does a controller that closes its input, or dies, show at once.
    const char* const shell = access("/bin/bash", X_OK) == 0 ? "/bin/bash" : "/bin/sh";
    return launch({shell, "-c", command}, true, "", why);
}

bool ControllerProcess::start(const std::vector<std::string>& arguments, const std::string& errors,
                              std::string& why) {
    return launch(arguments, false, errors, why);
}

namespace {

// The pipes to and from the child and the file its errors go to (-1: the lab's own), all
// close-on-exec from the start, so that no other child started meanwhile holds an end open and
// hides the controller's exit; false, with why, and nothing left open, when one cannot be made.
bool openEnds(const std::string& errors, int (&input)[2], int (&output)[2], int& errorFd,
              std::string& why) {
    errorFd =
        errors.empty() ? -1 : open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (!errors.empty() && errorFd < 0) {
        why = "cannot write " + errors;
        return false;
    }
    if (pipe2(input, O_CLOEXEC) != 0) {
        closeFd(errorFd);
        why = "no pipe";
        return false;
    }
    if (pipe2(output, O_CLOEXEC) != 0) {
        close(input[0]);
        close(input[1]);
        closeFd(errorFd);
        why = "no pipe";
        return false;
    }
    return true;
}

// The child's side of the fork: only what is safe in a child of a threaded process.
[[noreturn]] void becomeController(std::vector<char*>& argv, bool shell, const int (&input)[2],
                                   const int (&output)[2], int errorFd, const sigset_t& mask) {
    // A group of its own, so that ending it ends whatever it started.
    setpgid(0, 0);
    struct sigaction plain {};
    plain.sa_handler = SIG_DFL;
    sigaction(SIGTERM, &plain, nullptr);
    sigprocmask(SIG_SETMASK, &mask, nullptr);
    dup2(input[0], STDIN_FILENO);
    dup2(output[1], STDOUT_FILENO);
    if (errorFd >= 0) dup2(errorFd, STDERR_FILENO);
    // Only the three standard streams go along: files the lab opened without close-on-exec
    // (its streams cannot ask for it) stay the lab's.
    close_range(STDERR_FILENO + 1, ~0U, 0);
    if (shell)
        execv(argv[0], argv.data());
    else
        execvp(argv[0], argv.data());
    _exit(127);
}

}  // namespace

bool ControllerProcess::launch(const std::vector<std::string>& arguments, bool shell,
                               const std::string& errors, std::string& why) {
    // A controller that dies must not take the lab with it while the lab writes to it.
    signal(SIGPIPE, SIG_IGN);
    // Everything the child needs is made before the fork: the board forks from several threads,
    // and a child of a threaded process may only call what is safe in a signal handler.
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    int input[2], output[2], errorFd = -1;
    if (!openEnds(errors, input, output, errorFd, why)) return false;
    // A SIGTERM before the child's group is remembered would leave the child running: it waits.
    installEnding();
    sigset_t term, mask;
    sigemptyset(&term);
    sigaddset(&term, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &term, &mask);
    const pid_t pid = fork();
    if (pid == 0) becomeController(argv, shell, input, output, errorFd, mask);
    if (errorFd >= 0) close(errorFd);
    // Also from this side, so that the group exists before anything can be sent to it.
    if (pid > 0) {
        setpgid(pid, pid);
        remember(pid);
    }
    pthread_sigmask(SIG_SETMASK, &mask, nullptr);
    handles->pid = handles->group = pid;
    close(input[0]);
    close(output[1]);
    handles->toController = input[1];
    handles->fromController = output[0];
    if (pid < 0) {
        why = "cannot fork";
        stop();
        return false;
    }
    fcntl(handles->toController, F_SETFL, fcntl(handles->toController, F_GETFL) | O_NONBLOCK);
    return true;
}

ControllerProcess::Io ControllerProcess::write(const std::string& data,
                                               Clock::time_point deadline) {
    size_t written = 0;
    while (written < data.size()) {
        const ssize_t n =
            ::write(handles->toController, data.data() + written, data.size() - written);
        if (n > 0) {
            written += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN) return Io::closed;
        pollfd ready{handles->toController, POLLOUT, 0};
        if (poll(&ready, 1, remainingMs(deadline)) == 0) return Io::timedOut;
    }
    return Io::done;
}

ControllerProcess::Io ControllerProcess::read(std::string& into, Clock::time_point deadline) {
    while (true) {
        pollfd ready{handles->fromController, POLLIN, 0};
        const int polled = poll(&ready, 1, remainingMs(deadline));
        if (polled < 0 && errno == EINTR) continue;
        if (polled == 0) return Io::timedOut;
        char buffer[65536];
        const ssize_t n = ::read(handles->fromController, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return Io::closed;
        into.append(buffer, static_cast<size_t>(n));
        return Io::done;
    }
}

void ControllerProcess::closeInput() {
    closeFd(handles->toController);
}

ControllerProcess::Exit ControllerProcess::wait(int waitMs) {
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(waitMs);
    int status = 0;
    while (handles->pid > 0 && waitpid(handles->pid, &status, WNOHANG) != handles->pid) {
        if (Clock::now() >= deadline) return {false, false, 0, ""};
        usleep(5000);
    }
    if (handles->pid <= 0) return {false, false, 0, ""};
    handles->pid = -1;
    if (WIFSIGNALED(status))
        return {true, false, -1, "it was ended by signal " + std::to_string(WTERMSIG(status))};
    const int code = WEXITSTATUS(status);
    // The shell answers 126 and 127 for a command it cannot find or run.
    return {true, code == 126 || code == 127, code,
            "it exited with status " + std::to_string(code)};
}

void ControllerProcess::stop() {
    closeFd(handles->toController);
    closeFd(handles->fromController);
    // The whole group, even when its leader is gone: what it started in the background goes too.
    // A leader still there is asked first, briefly, so that a lab ends its own controller.
    if (handles->group > 0) {
        if (handles->pid > 0 && kill(-handles->group, SIGTERM) == 0) {
            int status = 0;
            pid_t reaped = 0;
            const Clock::time_point until = Clock::now() + std::chrono::milliseconds(500);
            while (Clock::now() < until && (reaped = waitpid(handles->pid, &status, WNOHANG)) == 0)
                usleep(5000);
            if (reaped == handles->pid) handles->pid = -1;
        }
        kill(-handles->group, SIGKILL);
        forget(handles->group);
    }
    handles->group = -1;
    if (handles->pid > 0) {
        kill(handles->pid, SIGKILL);
        int status = 0;
        waitpid(handles->pid, &status, 0);
    }
    handles->pid = -1;
}

std::string thisProgram(const char* argv0) {
    // argv[0] may be a bare name found on the PATH.
    std::error_code code;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", code);
    return code ? argv0 : self.string();
}

bool errorsOnTerminal() {
    return isatty(STDERR_FILENO);
}

unsigned long processId() {
    return static_cast<unsigned long>(getpid());
}
