// The fixture of every end-to-end test: work directory, data set, X server, runs, typing, polling.
#pragma once

#include "Roadsim.h"
#include "Screens.h"
#include "TestDataSet.h"
#include "XServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

using namespace std::chrono_literals;

class E2eTest : public ::testing::Test {
  protected:
    explicit E2eTest(int depth = 16) : depth(depth) {}
    void SetUp() override;
    void TearDown() override;

    // Rewrites the data set in the work directory with this course and without the named files.
    bool writeData(const std::string& course, const std::vector<std::string>& omitted = {});
    // Starts another run of the program once the window of the previous one has gone.
    Roadsim& launch(const LaunchOptions& options = {});
    Roadsim& program() { return *runs.back(); }

    Screenshot capture() const { return server->capture(); }
    // Polls the screen until the condition holds; the last screenshot stays in `shot`.
    bool waitFor(std::chrono::milliseconds timeout,
                 const std::function<bool(const Screenshot&)>& condition);
    // Polls anything else until it holds.
    static bool waitUntil(std::chrono::milliseconds timeout,
                          const std::function<bool()>& condition);
    // Types the keys (xdotool key names) into the window and returns once all are sent.
    void type(const std::vector<std::string>& keys, int delayMs = 20);
    // The same without waiting: the caller watches the program meanwhile.
    ChildProcess startTyping(const std::vector<std::string>& keys, int delayMs) const;
    // SIGTERM to the last run; its exit status, or -1 when it did not end in time.
    int terminate();

    // How many times slower the sanitizer builds run, and a timeout stretched by as much.
    static int slowdown();
    static std::chrono::milliseconds patience(std::chrono::milliseconds timeout);

    const int depth;
    std::string workDir;
    std::unique_ptr<XServer> server;
    std::vector<std::unique_ptr<Roadsim>> runs;
    Screenshot shot;
};

// The key repeated `times` times.
std::vector<std::string> repeat(const std::string& key, int times);
// The key lists one after the other.
std::vector<std::string> join(std::initializer_list<std::vector<std::string>> parts);
