// A child process of the lab (a controller, or one of the board's drives): started through the
// system's shell or from an argument list, with pipes to its standard input and output, read and
// written against deadlines, and ended together with everything it started. One implementation for
// POSIX systems (the shell, a process group), one for Windows (cmd.exe, a job object).
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

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

    // Starts COMMAND through the shell; false, with the reason, when no process could be made.
    bool start(const std::string& command, std::string& why);
    // Starts the program ARGUMENTS[0] (looked up on the PATH) with the rest as its arguments, no
    // shell between; its standard error goes to the file ERRORS, made anew.
    bool start(const std::vector<std::string>& arguments, const std::string& errors,
               std::string& why);
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
    // Starts the child that LINE (Windows) or ARGUMENTS (POSIX) name, its errors to ERRORS, or to
    // the lab's own when empty.
    bool launch(const std::vector<std::string>& arguments, bool shell, const std::string& errors,
                std::string& why);
    std::unique_ptr<Handles> handles;
};

// The facts about this process that the board needs: its program's path (argv0 when the system
// cannot say), whether its standard error is a terminal (where progress is redrawn in place), and
// its number (to name its scratch folder).
std::string thisProgram(const char* argv0);
bool errorsOnTerminal();
unsigned long processId();
