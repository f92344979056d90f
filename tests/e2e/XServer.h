// An Xvfb server of a test's own, with a connection that reads its screen back.
#pragma once

#include "ChildProcess.h"
#include "Screenshot.h"

#include <chrono>
#include <memory>
#include <string>

// Xlib's display, declared here so that its macros stay out of the tests.
struct _XDisplay;

class XServer {
  public:
    // Starts Xvfb with one 800 x 600 screen of the given depth on a display number that Xvfb
    // finds free itself; its messages go to logPath.
    XServer(int depth, const std::string& logPath, std::chrono::milliseconds timeout);

    // The server accepted our connection: it is ready for the program.
    bool ready() const { return connection != nullptr; }
    // ":N"
    const std::string& display() const { return name; }
    int depth() const { return screenDepth; }
    // The whole root window; empty when the server cannot be read.
    Screenshot capture() const;
    // Asks every top-level window that accepts it to close, as a window manager's close button
    // does; false when no window was asked.
    bool closeWindows() const;

  private:
    struct Closer {
        void operator()(_XDisplay* display) const;
    };

    int screenDepth;
    ChildProcess server;
    std::string name;
    // Declared last: the connection closes before the server is stopped.
    std::unique_ptr<_XDisplay, Closer> connection;
};

// A display number on which no server runs, for the start-up failure.
std::string unusedDisplay();
