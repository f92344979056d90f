// Starting the program with the environment of the tests and reading what it leaves behind.
#include "Roadsim.h"
#include "TestFiles.h"

#include <dirent.h>
#include <signal.h>

#include <memory>
#include <sstream>

namespace {

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};
using Dir = std::unique_ptr<DIR, DirCloser>;

std::vector<std::string> entries(const std::string& path) {
    std::vector<std::string> names;
    const Dir dir(opendir(path.c_str()));
    if (!dir) return names;
    while (const dirent* entry = readdir(dir.get())) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    return names;
}

}  // namespace

bool builtWith(const std::string& sanitizer) {
    return std::string(ROADSIM_SANITIZE).find(sanitizer) != std::string::npos;
}

Roadsim::Roadsim(const std::string& workDirectory, const std::string& run,
                 const std::string& display, const LaunchOptions& options)
    : directory(workDirectory),
      runName(run),
      outPath(workDirectory + "/" + run + ".out"),
      errPath(workDirectory + "/" + run + ".err"),
      audioPath(options.audioFile.empty() ? workDirectory + "/" + run + ".raw" : options.audioFile),
      framesPath(workDirectory + "/" + run + ".frames"),
      child() {
    const std::string logBase = workDirectory + "/" + run;
    const std::string suppressions = E2E_SOURCE_DIR;
    ProcessRequest request;
    request.program = options.program.empty() ? ROADSIM_PROGRAM : options.program;
    request.arguments.push_back(options.programName);
    request.arguments.insert(request.arguments.end(), options.arguments.begin(),
                             options.arguments.end());
    request.environment = baseEnvironment();
    request.environment.insert(
        request.environment.end(),
        {"DISPLAY=" + display,
         // Named, so that SDL never falls back to another video driver without a display.
         "SDL_VIDEODRIVER=x11", "SDL_AUDIODRIVER=" + options.audioDriver,
         "SDL_DISKAUDIOFILE=" + audioPath,
         // Whole stacks through the libraries, which lack frame pointers, for precise
         // suppressions; the probe library is preloaded ahead of the runtime, which is harmless.
         "ASAN_OPTIONS=log_path=" + logBase +
             ".asan:halt_on_error=1:fast_unwind_on_malloc=0:verify_asan_link_order=0",
         "LSAN_OPTIONS=suppressions=" + suppressions + "/lsan.supp:print_suppressions=0",
         "UBSAN_OPTIONS=log_path=" + logBase + ".ubsan:halt_on_error=1:print_stacktrace=1",
         // Every race of a run is reported, and any report makes the exit status 66.
         "TSAN_OPTIONS=log_path=" + logBase + ".tsan:suppressions=" + suppressions +
             "/tsan.supp:halt_on_error=0:exitcode=66:print_suppressions=0"});
    std::string preload;
    if (options.countFrames) {
        preload = ROADSIM_FRAME_PROBE;
        request.environment.push_back("ROADSIM_FRAME_COUNT_FILE=" + framesPath);
    }
    if (!options.joystickFile.empty()) {
        preload += std::string(preload.empty() ? "" : ":") + ROADSIM_FAKE_JOYSTICK;
        request.environment.push_back("ROADSIM_JOYSTICK_FILE=" + options.joystickFile);
    }
    if (!preload.empty()) request.environment.push_back("LD_PRELOAD=" + preload);
    request.workingDirectory =
        options.workingDirectory.empty() ? workDirectory : options.workingDirectory;
    request.outputPath = outPath;
    request.errorPath = errPath;
    child = ChildProcess(request);
}

std::string Roadsim::output() const {
    return readFile(outPath);
}

std::string Roadsim::errors() const {
    return readFile(errPath);
}

std::vector<std::string> Roadsim::outputLines() const {
    return splitLines(output());
}

std::vector<std::string> Roadsim::errorLines() const {
    return splitLines(errors());
}

std::optional<int> Roadsim::terminate(std::chrono::milliseconds timeout) {
    child.signal(SIGTERM);
    return child.waitForExit(timeout);
}

long Roadsim::cpuTicks(long thread) const {
    const std::string process = "/proc/" + std::to_string(child.id());
    const std::string stat = readFile(
        thread == 0 ? process + "/stat" : process + "/task/" + std::to_string(thread) + "/stat");
    // The command name may hold blanks; the fields after it start with the state (field 3).
    const size_t end = stat.rfind(')');
    if (end == std::string::npos) return -1;
    std::istringstream fields(stat.substr(end + 1));
    std::string field;
    long utime = 0, stime = 0;
    for (int number = 3; number <= 15 && fields >> field; ++number) {
        if (number == 14) utime = std::stol(field);
        if (number == 15) stime = std::stol(field);
    }
    return utime + stime;
}

Presentation Roadsim::presentation() const {
    std::istringstream in(readFile(framesPath));
    Presentation seen;
    in >> seen.frames >> seen.presenter >> seen.handovers >> seen.clashes;
    return seen;
}

std::string Roadsim::sanitizerReports() const {
    std::string reports;
    for (const std::string& name : entries(directory)) {
        for (const char* kind : {".asan.", ".ubsan.", ".tsan."}) {
            if (name.rfind(runName + kind, 0) == 0)
                reports += "==== " + name + "\n" + readFile(directory + "/" + name);
        }
    }
    return reports;
}
