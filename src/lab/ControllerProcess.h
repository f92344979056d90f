// The controller's process: started through the system's shell with pipes to its standard input
// and output, read and written against deadlines, and ended together with everything it started.
// One implementation for POSIX systems (the shell, a process group), one for Windows (cmd.exe, a
// job object).
#pragma once

#include <chrono>
#include <memory>
#include <string>

class ControllerProcess {
  public:
    using Clock = std::chrono::steady_clock;
    enum class Io { done, timedOut, closed };
    struct Exit {
        bool ended;        // within the wait
        bool couldNotRun;  // the shell could not find or run the command
        long code;         // its exit status, when it ended
        std::string how;   // "it exited with status 3", in words for the fault message
    };

    ControllerProcess();
    // Ends it, with everything it started, when it still runs.
    ~ControllerProcess();
    ControllerProcess(const ControllerProcess&) = delete;
    ControllerProcess& operator=(const ControllerProcess&) = delete;

    // Starts COMMAND; false, with the reason, when no process could be made.
    bool start(const std::string& command, std::string& why);
    // Writes all of data unless the deadline passes or the controller closes its input first.
    Io write(const std::string& data, Clock::time_point deadline);
    // Appends what the controller sent, waiting until the deadline for at least one byte; closed at
    // the end of its output.
    Io read(std::string& into, Clock::time_point deadline);
    // Sends end of file on the controller's input.
    void closeInput();
    // Waits up to waitMs for it to end.
    Exit wait(int waitMs);
    // Ends it and everything it started, and closes the pipes.
    void stop();

  private:
    struct Handles;
    std::unique_ptr<Handles> handles;
};
