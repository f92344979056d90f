// An external driver: a program that receives the course and the car's state as JSON Lines on its
// standard input and answers with steering and speed on its standard output.
#pragma once

#include "Car.h"
#include "Course.h"
#include "DriveFrame.h"

#include "ControllerProcess.h"

#include <memory>
#include <string>

// Why a controller was given up, each with the lab's exit status for it.
enum class ControllerFault {
    none = 0,
    cannotStart = 4,  // the command could not be run
    exited = 5,       // it closed its output or ended before the drive did
    badReply = 6,     // a reply that is not a JSON object with numeric steering and speed
    tooSlow = 7,      // no reply within the timeout
};

class Controller {
  public:
    Controller(std::string command, double timeoutSeconds);
    // Ends a controller that is still running.
    ~Controller();
    Controller(const Controller&) = delete;
    Controller& operator=(const Controller&) = delete;

    // Starts the command and sends it the course; false (see fault()) when that fails.
    // With a recording folder, the course message names it: the states' images lie there.
    bool start(const Course& course, const std::string& recording = "");
    // Sends the state (with the recorded frame's path, when there is one) and reads the reply.
    bool decide(const StepState& state, const std::string& image, ControlCommand& command);
    // Says goodbye, closes the pipe and gives the controller 2 s to end before ending it.
    void finish();

    ControllerFault fault() const { return failure; }
    // The fault in words: at which step, and what the controller sent.
    const std::string& faultMessage() const { return message; }

  private:
    bool send(const std::string& line, int step);
    bool receive(std::string& line, int step);
    // Takes in what the controller has sent already, without waiting for more.
    void drain();
    // Gives it up because it closed a pipe: whether it exited (and how) says which fault.
    bool ended(int step, const std::string& sign);
    bool fail(ControllerFault fault, int step, const std::string& what);
    void stop();

    std::string command;
    int timeoutMs;
    std::unique_ptr<ControllerProcess> process;  // from start until it is given up or finished
    std::string pending;
    ControllerFault failure;
    std::string message;
};
