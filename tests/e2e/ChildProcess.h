// Child processes started with an environment, working directory and output files of our choosing.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

struct ProcessRequest {
    std::string program;                   // path of the executable
    std::vector<std::string> arguments;    // the whole argument vector, argv[0] included
    std::vector<std::string> environment;  // NAME=value entries; nothing else is inherited
    std::string workingDirectory;          // empty: the caller's
    std::string outputPath;                // standard output; empty: /dev/null
    std::string errorPath;                 // standard error; empty: /dev/null
    int inheritedFd = -1;                  // handed to the child as its descriptor 3
};

class ChildProcess {
  public:
    ChildProcess() = default;
    // On failure to start, started() is false.
    explicit ChildProcess(const ProcessRequest& request);
    // A child still running is killed and reaped, so that no test leaves a process behind.
    ~ChildProcess();
    ChildProcess(ChildProcess&& other) noexcept;
    ChildProcess& operator=(ChildProcess&& other) noexcept;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool started() const { return pid > 0; }
    pid_t id() const { return pid; }
    bool running();
    void signal(int number) const;
    // The exit status once the child has ended (128 + the signal number after a fatal signal), or
    // nothing when it still runs at the deadline.
    std::optional<int> waitForExit(std::chrono::milliseconds timeout);

  private:
    void kill();
    bool poll();

    pid_t pid = -1;
    std::optional<int> status;
};

// PATH, HOME and LANG of the test process: all that a child inherits.
std::vector<std::string> baseEnvironment();
// Runs a program to its end within the timeout; nothing when it could not start or did not end.
std::optional<int> runToEnd(const ProcessRequest& request, std::chrono::milliseconds timeout);
