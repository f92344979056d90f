// The end-to-end fixture: set-up and clean-up, typing through xdotool, bounded polling.
#include "E2eTest.h"

#include <filesystem>
#include <iostream>
#include <thread>

namespace fs = std::filesystem;

void E2eTest::SetUp() {
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    workDir = std::string(E2E_WORK_ROOT) + "/" + info->test_suite_name() + "." + info->name();
    std::error_code ignored;
    fs::remove_all(workDir, ignored);
    fs::create_directories(workDir);
    ASSERT_TRUE(writeData(courses::straight)) << "cannot write the data set into " << workDir;
    server = std::make_unique<XServer>(depth, workDir + "/xvfb.log", patience(10s));
    ASSERT_TRUE(server->ready()) << "Xvfb did not come up; see " << workDir << "/xvfb.log";
}

void E2eTest::TearDown() {
    for (size_t i = 0; i < runs.size(); ++i) {
        Roadsim& run = *runs[i];
        if (run.running()) run.terminate(patience(10s));
        const std::string reports = run.sanitizerReports();
        if (!reports.empty()) {
            const bool ownCode = reports.find("/src/") != std::string::npos;
            ADD_FAILURE() << "sanitizer report for run " << i + 1
                          << (ownCode ? " (in the program's own code)" : " (in a library)") << ":\n"
                          << reports.substr(0, 20000);
        }
    }
    if (HasFailure()) {
        if (!shot.empty()) shot.savePng(workDir + "/last-screenshot.png");
        std::cout << "kept for inspection: " << workDir << std::endl;
        return;
    }
    runs.clear();
    server.reset();
    std::error_code ignored;
    fs::remove_all(workDir, ignored);
}

bool E2eTest::writeData(const std::string& course, const std::vector<std::string>& omitted) {
    return writeDataSet(workDir, course, omitted);
}

Roadsim& E2eTest::launch(const LaunchOptions& options) {
    // A window of the previous run could otherwise be mistaken for this run's.
    if (!runs.empty()) {
        EXPECT_TRUE(waitFor(patience(5s), screens::blank)) << "the previous window stays open";
    }
    runs.push_back(std::make_unique<Roadsim>(
        workDir, "run" + std::to_string(runs.size() + 1),
        options.display.empty() ? server->display() : options.display, options));
    EXPECT_TRUE(runs.back()->started()) << "cannot start " << ROADSIM_PROGRAM;
    return *runs.back();
}

bool E2eTest::waitFor(std::chrono::milliseconds timeout,
                      const std::function<bool(const Screenshot&)>& condition) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        shot = capture();
        if (!shot.empty() && condition(shot)) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(20ms);
    }
}

bool E2eTest::waitUntil(std::chrono::milliseconds timeout, const std::function<bool()>& condition) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (condition()) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(10ms);
    }
}

ChildProcess E2eTest::startTyping(const std::vector<std::string>& keys, int delayMs) const {
    ProcessRequest request;
    request.program = "/usr/bin/xdotool";
    request.arguments = {"xdotool", "key", "--delay", std::to_string(delayMs)};
    request.arguments.insert(request.arguments.end(), keys.begin(), keys.end());
    request.environment = baseEnvironment();
    request.environment.push_back("DISPLAY=" + server->display());
    request.errorPath = workDir + "/xdotool.err";
    return ChildProcess(request);
}

void E2eTest::type(const std::vector<std::string>& keys, int delayMs) {
    ChildProcess typing = startTyping(keys, delayMs);
    ASSERT_TRUE(typing.started()) << "cannot start xdotool";
    EXPECT_EQ(typing.waitForExit(patience(60s)), std::optional<int>(0)) << "xdotool failed";
}

int E2eTest::terminate() {
    return program().terminate(patience(10s)).value_or(-1);
}

int E2eTest::slowdown() {
    if (builtWith("thread")) return 5;
    if (builtWith("address")) return 3;
    return 1;
}

std::chrono::milliseconds E2eTest::patience(std::chrono::milliseconds timeout) {
    return timeout * slowdown();
}

std::vector<std::string> repeat(const std::string& key, int times) {
    return std::vector<std::string>(static_cast<size_t>(times), key);
}

std::vector<std::string> join(std::initializer_list<std::vector<std::string>> parts) {
    std::vector<std::string> keys;
    for (const auto& part : parts) keys.insert(keys.end(), part.begin(), part.end());
    return keys;
}
