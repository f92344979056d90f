// An external driver: a program that receives the course and the car's state as JSON Lines on its
// standard input and answers with steering and speed on its standard output.
#pragma once

#include "Car.h"
#include "Course.h"
#include "DriveFrame.h"

#include "ControllerProcess.h"
#include "LabStatus.h"

#include <memory>
#include <string>

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

    // Why it was given up, as the lab's exit status for it: done while it was not.
    LabStatus fault() const { return failure; }
    // The fault in words: at which step, and what the controller sent.
    const std::string& faultMessage() const { return message; }

  private:
    bool send(const std::string& line, int step);
    bool receive(std::string& line, int step);
    // Takes in what the controller has sent already, without waiting for more.
    void drain();
    // Gives it up because it closed a pipe: whether it exited (and how) says which fault.
    bool ended(int step, const std::string& sign);
    bool fail(LabStatus fault, int step, const std::string& what);
    void stop();

    std::string command;
    int timeoutMs;
    std::unique_ptr<ControllerProcess> process;  // from start until it is given up or finished
    std::string pending;
    LabStatus failure;
    std::string message;
};
