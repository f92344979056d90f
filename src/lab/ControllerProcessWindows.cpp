// The lab's children on Windows: each in a job object, so that ending the job ends every process
// it started, with pipes that the lab reads and writes overlapped, against deadlines.
#include "ControllerProcess.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>

#include <io.h>

namespace {

// cmd.exe answers 9009 for a command it cannot find.
constexpr DWORD notFound = 9009;
constexpr DWORD pipeBuffer = 65536;

DWORD remainingMs(ControllerProcess::Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - ControllerProcess::Clock::now());
    return static_cast<DWORD>(std::max<long long>(left.count(), 0));
}

void closeHandle(HANDLE& handle) {
    if (handle != nullptr && handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    handle = nullptr;
}

// Waits for an overlapped operation until the deadline; a late one is cancelled, keeping whatever
// it completed meanwhile. False when the pipe broke.
bool finish(HANDLE pipe, OVERLAPPED& pending, ControllerProcess::Clock::time_point deadline,
            DWORD& done, bool& timedOut) {
    timedOut = WaitForSingleObject(pending.hEvent, remainingMs(deadline)) == WAIT_TIMEOUT;
    if (timedOut) CancelIoEx(pipe, &pending);
    if (GetOverlappedResult(pipe, &pending, &done, TRUE)) return true;
    return GetLastError() == ERROR_OPERATION_ABORTED;
}

// ARGUMENT as one word of a command line, as programs' argument parsing reads them.
std::string quoted(const std::string& argument) {
    std::string out = "\"";
    size_t backslashes = 0;
    for (const char c : argument) {
        // Backslashes count only before a quote: doubled there, and the quote escaped.
        if (c == '"') out.append(backslashes + 1, '\\');
        backslashes = c == '\\' ? backslashes + 1 : 0;
        out += c;
    }
    return out.append(backslashes, '\\') + "\"";
}

}  // namespace

// The lab's ends of the pipes are named pipes, which alone can wait with a timeout; the
// controller's ends are plain handles, as anonymous pipes would give it.
struct ControllerProcess::Handles {
    HANDLE job = nullptr;
    HANDLE process = nullptr;
    HANDLE toController = nullptr;
    HANDLE fromController = nullptr;
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);

    ~Handles() {
        for (HANDLE* handle : {&toController, &fromController, &process, &job, &event})
            closeHandle(*handle);
    }
};

ControllerProcess::ControllerProcess() : handles(std::make_unique<Handles>()) {}

ControllerProcess::~ControllerProcess() {
    stop();
}

bool ControllerProcess::start(const std::string& command, std::string& why) {
    char comSpec[MAX_PATH];
    const DWORD length = GetEnvironmentVariableA("ComSpec", comSpec, sizeof comSpec);
    const std::string shell = length > 0 && length < sizeof comSpec ? comSpec : "cmd.exe";
    return launch({shell, command}, true, "", why);
}

bool ControllerProcess::start(const std::vector<std::string>& arguments, const std::string& errors,
                              std::string& why) {
    return launch(arguments, false, errors, why);
}

namespace {

// The controller's ends of the two pipes whose lab ends are TO and FROM, inheritable; both
// invalid unless all four opened.
bool openPipes(HANDLE& to, HANDLE& from, HANDLE& input, HANDLE& output) {
    static std::atomic<int> made{0};
    const std::string name = "\\\\.\\pipe\\roadsim-lab-" + std::to_string(GetCurrentProcessId()) +
                             "-" + std::to_string(made++);
    const DWORD mode = PIPE_TYPE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS;
    const DWORD first = FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE;
    to = CreateNamedPipeA((name + "-in").c_str(), PIPE_ACCESS_OUTBOUND | first, mode, 1, pipeBuffer,
                          pipeBuffer, 0, nullptr);
    from = CreateNamedPipeA((name + "-out").c_str(), PIPE_ACCESS_INBOUND | first, mode, 1,
                            pipeBuffer, pipeBuffer, 0, nullptr);
    SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
    input = CreateFileA((name + "-in").c_str(), GENERIC_READ | FILE_WRITE_ATTRIBUTES, 0, &inherited,
                        OPEN_EXISTING, 0, nullptr);
    output = CreateFileA((name + "-out").c_str(), GENERIC_WRITE | FILE_READ_ATTRIBUTES, 0,
                         &inherited, OPEN_EXISTING, 0, nullptr);
    return input != INVALID_HANDLE_VALUE && output != INVALID_HANDLE_VALUE &&
           to != INVALID_HANDLE_VALUE && from != INVALID_HANDLE_VALUE;
}

// The child's standard error: the file ERRORS, or the lab's own passed through; the child's copy
// has to be inheritable. INVALID_HANDLE_VALUE when the file cannot be written.
HANDLE childErrors(const std::string& errors) {
    SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
    HANDLE errorHandle = nullptr;
    const HANDLE ownErrors = GetStdHandle(STD_ERROR_HANDLE);
    if (!errors.empty())
        errorHandle = CreateFileA(errors.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherited,
                                  CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    else if (ownErrors != nullptr && ownErrors != INVALID_HANDLE_VALUE)
        DuplicateHandle(GetCurrentProcess(), ownErrors, GetCurrentProcess(), &errorHandle, 0, TRUE,
                        DUPLICATE_SAME_ACCESS);
    return errorHandle;
}

// Ending the job, or the lab's own end closing it, ends every process in it.
HANDLE killingJob() {
    HANDLE job = CreateJobObjectA(nullptr, nullptr);
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (job != nullptr &&
        !SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits))
        closeHandle(job);
    return job;
}

// The shell's /s keeps the command's own quotes and /d leaves out the user's AutoRun commands.
std::string commandLine(const std::vector<std::string>& arguments, bool shell) {
    if (shell) return "\"" + arguments[0] + "\" /d /s /c \"" + arguments[1] + "\"";
    std::string line;
    for (const std::string& argument : arguments)
        line += (line.empty() ? "" : " ") + quoted(argument);
    return line;
}

}  // namespace

bool ControllerProcess::launch(const std::vector<std::string>& arguments, bool shell,
                               const std::string& errors, std::string& why) {
    HANDLE input = nullptr, output = nullptr;
    const bool piped = openPipes(handles->toController, handles->fromController, input, output);
    HANDLE errorHandle = childErrors(errors);
    if (errorHandle == INVALID_HANDLE_VALUE) {
        for (HANDLE* handle : {&input, &output}) closeHandle(*handle);
        why = "cannot write " + errors;
        stop();
        return false;
    }
    handles->job = killingJob();
    const bool ready = piped && handles->job != nullptr;
    std::string line = commandLine(arguments, shell);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input;
    startup.hStdOutput = output;
    startup.hStdError = errorHandle;
    PROCESS_INFORMATION started{};
    // Suspended until it is in the job, so that nothing it starts escapes; a group of its own
    // keeps the console's Ctrl+C for the lab.
    const bool running = ready && CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE,
                                                 CREATE_SUSPENDED | CREATE_NEW_PROCESS_GROUP,
                                                 nullptr, nullptr, &startup, &started);
    const DWORD error = GetLastError();
    for (HANDLE* handle : {&input, &output, &errorHandle}) closeHandle(*handle);
    if (!running) {
        why = !ready ? "no pipe"
              : shell
                  ? "cmd.exe could not be started (error " + std::to_string(error) + ")"
                  : "cannot run " + arguments.front() + " (error " + std::to_string(error) + ")";
        stop();
        return false;
    }
    handles->process = started.hProcess;
    AssignProcessToJobObject(handles->job, started.hProcess);
    ResumeThread(started.hThread);
    CloseHandle(started.hThread);
    return true;
}

ControllerProcess::Io ControllerProcess::write(const std::string& data,
                                               Clock::time_point deadline) {
    size_t written = 0;
    while (written < data.size()) {
        OVERLAPPED pending{};
        pending.hEvent = handles->event;
        DWORD done = 0;
        const DWORD size = static_cast<DWORD>(std::min<size_t>(data.size() - written, 1 << 20));
        bool timedOut = false;
        if (!WriteFile(handles->toController, data.data() + written, size, &done, &pending) &&
            (GetLastError() != ERROR_IO_PENDING ||
             !finish(handles->toController, pending, deadline, done, timedOut)))
            return Io::closed;
        written += done;
        if (timedOut) return Io::timedOut;
    }
    return Io::done;
}

ControllerProcess::Io ControllerProcess::read(std::string& into, Clock::time_point deadline) {
    char buffer[65536];
    OVERLAPPED pending{};
    pending.hEvent = handles->event;
    DWORD done = 0;
    bool timedOut = false;
    if (!ReadFile(handles->fromController, buffer, sizeof buffer, &done, &pending) &&
        (GetLastError() != ERROR_IO_PENDING ||
         !finish(handles->fromController, pending, deadline, done, timedOut)))
        return Io::closed;
    into.append(buffer, done);
    return done > 0 || !timedOut ? Io::done : Io::timedOut;
}

void ControllerProcess::closeInput() {
    closeHandle(handles->toController);
}

ControllerProcess::Exit ControllerProcess::wait(int waitMs) {
    DWORD code = 0;
    if (handles->process == nullptr ||
        WaitForSingleObject(handles->process, static_cast<DWORD>(waitMs)) != WAIT_OBJECT_0 ||
        !GetExitCodeProcess(handles->process, &code))
        return {false, false, 0, ""};
    closeHandle(handles->process);
    // Exception codes (an access violation is 0xC0000005) read better in hexadecimal.
    char how[64];
    snprintf(how, sizeof how,
             code >= 0xC0000000 ? "it ended with exception 0x%08lX" : "it exited with status %lu",
             static_cast<unsigned long>(code));
    return {true, code == notFound, static_cast<long>(code), how};
}

void ControllerProcess::stop() {
    closeHandle(handles->toController);
    closeHandle(handles->fromController);
    if (handles->job != nullptr) TerminateJobObject(handles->job, 1);
    if (handles->process != nullptr) WaitForSingleObject(handles->process, 5000);
    closeHandle(handles->process);
    closeHandle(handles->job);
}

std::string thisProgram(const char* argv0) {
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    return length > 0 && length < sizeof path ? std::string(path, length) : argv0;
}

bool errorsOnTerminal() {
    return _isatty(_fileno(stderr));
}

unsigned long processId() {
    return GetCurrentProcessId();
}
