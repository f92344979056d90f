// The lab's options: one table of their names, values, help and readers, grouped by the jobs they
// serve, from which the usage text is made with the defaults that the options themselves start
// from, and which options go together is read off the groups.
#include "LabOptions.h"

#include "Display.h"
#include "DriveFrame.h"
#include "LabStatus.h"
#include "OptionReaders.h"

#include <algorithm>
#include <cmath>
#include <sstream>

namespace {

constexpr size_t usageWidth = 92;
constexpr size_t helpColumn = 31;

// The lab's jobs: a single drive, unless one of the others is asked for by its option.
enum Job : unsigned { drives = 1, tunes = 2, ranks = 4, makes = 8 };

// The jobs asked for by an option, the first given in this order taking the command line; what
// each says of an option that does not serve it.
const struct {
    const char* option;
    Job job;
    const char* refusal;
} askedJobs[] = {{"--make-course", makes, "makes a course and drives nothing"},
                 {"--board", ranks, "drives its own drivers"},
                 {"--tune", tunes, "drives the autopilot only"}};

// The autopilot's tuning values: their options, in the order of the control screen's sliders.
const struct {
    const char* name;
    const char* help;
    double Tuning::*value;
} tuningOptions[] = {
    {"--heading", "how hard the car turns to point along the segment", &Tuning::headingGain},
    {"--track", "how hard it pulls back onto the line of the segment", &Tuning::trackGain},
    {"--path", "the blend of the two: 1 follows the path only, 0 only avoids obstacles",
     &Tuning::pathWeight},
    {"--threshold", "the weakest obstacle the car sees", &Tuning::obstacleThreshold},
    {"--avoid", "the weight of the obstacle force", &Tuning::avoidGain}};

// As the usage shows a default: the shortest that reads back the same.
std::string shown(double value) {
    std::ostringstream out;
    out << value;
    return out.str();
}

struct LabOption {
    std::string name;
    std::string values;  // as the usage names them; empty for a switch
    std::string help;    // with its default, taken from a default LabOptions
    Reader read;
    size_t count() const {
        return values.empty()
                   ? 0
                   : static_cast<size_t>(std::count(values.begin(), values.end(), ' ')) + 1;
    }
};

// Options that serve the same jobs, under one heading of the usage.
struct OptionGroup {
    std::string heading;
    unsigned jobs;
    std::vector<LabOption> options;
};

// A whole default in the usage's words.
std::string byDefault(long long value) {
    return " (default " + std::to_string(value) + ")";
}
std::string byDefault(double value) {
    return " (default " + shown(value) + ")";
}

OptionGroup driveGroup(const LabOptions& defaults) {
    OptionGroup group{"A drive, for every job that drives", drives | tunes | ranks, {}};
    for (const auto& option : tuningOptions) {
        const auto value = option.value;
        group.options.push_back(
            {option.name, "G",
             std::string(option.help) + ", 0 to 1" + byDefault(defaults.tuning.*value),
             real(
                 option.name, [value](LabOptions& o) -> double& { return o.tuning.*value; }, 0, 1,
                 "0 to 1")});
    }
    const std::vector<LabOption> others = {
        {"--laps", "N", "laps a drive" + byDefault(static_cast<long long>(defaults.laps)),
         whole("--laps", &LabOptions::laps, lapsBound)},
        {"--step", "MS",
         "milliseconds a frame of the drive" + byDefault(static_cast<long long>(defaults.frameMs)),
         whole("--step", &LabOptions::frameMs, frameMsBound)},
        {"--seed", "S",
         "the seed of the obstacles' layout" + byDefault(static_cast<long long>(defaults.seed)),
         whole("--seed", &LabOptions::seed, seedBound)}};
    group.options.insert(group.options.end(), others.begin(), others.end());
    return group;
}

OptionGroup singleDriveGroup() {
    return {"One drive: its driver and its files",
            drives,
            {{"--controller", "COMMAND",
              "let COMMAND (run by the shell) drive: JSON Lines on its standard input and output, "
              "a reply every " +
                  std::to_string(driverStepMs) + " ms driver step",
              text(&LabOptions::controller)},
             {"--csv", "FILE", "every step of the drive as CSV", text(&LabOptions::csvPath)},
             {"--map", "FILE", "a map of the drive: PNG when FILE ends in .png, else BMP",
              text(&LabOptions::mapPath)},
             {"--json", "FILE", "the laps, the end, the course and the path as JSON",
              text(&LabOptions::jsonPath)}}};
}

OptionGroup controllerGroup(const LabOptions& defaults) {
    return {
        "Controllers and the frames they see, of one drive or the board's",
        drives | ranks,
        {{"--controller-timeout", "SECONDS",
          "the longest wait for a reply (default " + shown(defaults.controllerTimeout) +
              "; the first reply may take " + std::to_string(controllerStartUpMs / 1000) +
              " s more, for the controller to start)",
          real(
              "--controller-timeout", [](LabOptions& o) -> double& { return o.controllerTimeout; },
              0.001, 1e6, "0.001 to 1000000")},
         {"--record-size", "WxH",
          "save the frames scaled down to W x H by area averaging, such as 160x120 (default: "
          "the whole " +
              std::to_string(displayWidth) + "x" + std::to_string(displayHeight) + " frame)",
          readRecordSize},
         {"--images", "DIR",
          "the bitmaps of the recorded or watched frames (default: the course file's folder)",
          text(&LabOptions::imageFolder)}}};
}

OptionGroup seeingGroup(const LabOptions& defaults) {
    return {
        "Recording and watching one drive",
        drives,
        {{"--record", "DIR",
          "the frame of every step as DIR/frames/NNNNNN.png and DIR/driving_log.csv; DIR "
          "must be new or empty",
          text(&LabOptions::recordFolder)},
         {"--watch", "", "show the drive in a window; Escape ends it", flag(&LabOptions::watch)},
         {"--watch-speed", "K",
          "watch K times faster than real time" + byDefault(defaults.watchSpeed),
          real(
              "--watch-speed", [](LabOptions& o) -> double& { return o.watchSpeed; }, 0.001, 1e6,
              "0.001 to 1000000")}}};
}

OptionGroup boardGroup(const LabOptions& defaults) {
    std::string seeds;
    for (const unsigned seed : defaults.seeds)
        seeds += (seeds.empty() ? "" : ",") + std::to_string(seed);
    return {"The board",
            ranks,
            {{"--board", "",
              "rank the autopilot (at the tuning values) and every --driver on every course (a "
              "folder: its *.txt) and seed",
              flag(&LabOptions::board)},
             {"--driver", "NAME=COMMAND", "a driver of the board, a controller", readDriver},
             {"--seeds", "S,S,...", "the board's seeds (default " + seeds + ")", readSeeds},
             {"--jobs", "N", "the board's drives at a time (default: one per core)",
              whole("--jobs", &LabOptions::jobs, {1, 256, ""})},
             {"--report", "DIR",
              "the board's results.csv, results.json and index.html; with --record-size, every "
              "drive records its frames (in a folder that goes afterwards) for drivers that see "
              "them",
              text(&LabOptions::reportFolder)}}};
}

LabOption knob(const std::string& name, const std::string& value, const std::string& help,
               double CourseKnobs::*field, KnobBound bound) {
    return {name, value, help,
            real(
                name, [field](LabOptions& o) -> double& { return o.knobs.*field; }, bound.low,
                bound.high,
                std::to_string(std::lround(bound.low)) + " to " +
                    std::to_string(std::lround(bound.high)))};
}

OptionGroup makerGroup(const CourseKnobs& knobs) {
    return {
        "The course maker",
        makes,
        {{"--make-course", "SEED FILE", "write a new course, checked by driving it",
          readMadeCourse},
         knob("--length", "FT", "about the loop's length in feet" + byDefault(knobs.lengthFt),
              &CourseKnobs::lengthFt, lengthBound),
         knob("--sharpness", "DEG", "the sharpest turn in degrees" + byDefault(knobs.sharpnessDeg),
              &CourseKnobs::sharpnessDeg, sharpnessBound),
         {"--speeds", "MIN,MAX",
          "target speeds in mph (default " + std::to_string(knobs.minSpeed) + "," +
              std::to_string(knobs.maxSpeed) + ")",
          readSpeeds},
         knob("--obstacles", "N", "obstacle groups per 1000 ft" + byDefault(knobs.groupsPer1000Ft),
              &CourseKnobs::groupsPer1000Ft, obstaclesBound),
         {"--strength", "S",
          "every obstacle's strength, 0 to 1, or -1 for a random one each (default: each "
          "group's own)",
          real(
              "--strength",
              [](LabOptions& o) -> double& {
                  o.knobs.strength.emplace();
                  return *o.knobs.strength;
              },
              strengthBound.low, strengthBound.high, "-1 (random) to 1")},
         knob("--wobble", "W", "from 0 round to 1 irregular" + byDefault(knobs.wobble),
              &CourseKnobs::wobble, wobbleBound),
         {"--lobes", "K",
          "a figure of K lobes, 2 to 8, or 0 for a mix of bulges" +
              byDefault(static_cast<long long>(knobs.lobes)),
          readLobes}}};
}

const std::vector<OptionGroup>& optionGroups() {
    static const std::vector<OptionGroup> groups = [] {
        const LabOptions defaults;
        return std::vector<OptionGroup>{
            driveGroup(defaults),
            singleDriveGroup(),
            seeingGroup(defaults),
            controllerGroup(defaults),
            {"Tuning",
             tunes,
             {{"--tune", "", "search the tuning values on the tuning keys' grid",
               flag(&LabOptions::tune)}}},
            boardGroup(defaults),
            makerGroup(defaults.knobs),
            {"Help",
             drives | tunes | ranks | makes,
             {{"--help", "", "this text", flag(&LabOptions::help)},
              {"--version", "", "the version of roadsim", flag(&LabOptions::version)}}}};
    }();
    return groups;
}

// TEXT after LEAD, broken at spaces into lines no wider than the usage, the later ones indented
// by INDENT spaces.
std::string wrapped(const std::string& text, const std::string& lead = "", size_t indent = 0) {
    std::string out, line = lead;
    bool started = false;
    std::istringstream words(text);
    for (std::string word; words >> word;) {
        if (started && line.size() + 1 + word.size() > usageWidth) {
            out += line + "\n";
            line.assign(indent, ' ');
            started = false;
        }
        line += (started ? " " : "") + word;
        started = true;
    }
    return out + line + "\n";
}

// An option found on the command line, with the group it belongs to.
struct Given {
    const LabOption* option = nullptr;
    const OptionGroup* group = nullptr;
};

Given find(const std::string& name) {
    for (const OptionGroup& group : optionGroups())
        for (const LabOption& option : group.options)
            if (option.name == name) return {&option, &group};
    return {};
}

// Settles the job that the options ask for and where the courses go; false, with the error, when
// an option or a course does not go with that job.
bool settleJob(const std::vector<Given>& given, const std::vector<std::string>& courses,
               LabOptions& options, std::string& error) {
    const auto asks = [&](const char* name) {
        return std::any_of(given.begin(), given.end(),
                           [&](const Given& g) { return g.option->name == name; });
    };
    const auto* const asked = std::find_if(std::begin(askedJobs), std::end(askedJobs),
                                           [&](const auto& job) { return asks(job.option); });
    const bool other = asked != std::end(askedJobs);
    const unsigned job = other ? asked->job : drives;
    for (const Given& g : given) {
        if (g.group->jobs & job) continue;
        if (other) {
            error = std::string(asked->option) + " " + asked->refusal + ": no " + g.option->name +
                    " with it";
        } else {
            const auto* const owner =
                std::find_if(std::begin(askedJobs), std::end(askedJobs),
                             [&](const auto& j) { return (g.group->jobs & j.job) != 0; });
            error = g.option->name + " goes with " + owner->option;
        }
        return false;
    }
    if (job == makes && !courses.empty())
        error = "--make-course makes a course and drives nothing: no course file with it";
    else if (job == ranks && courses.empty())
        error = "--board needs at least one course file or folder";
    else if (job == ranks)
        options.boardCourses = courses;
    else if (courses.size() > 1)
        error = "more than one course file: " + courses[1];
    else if (courses.size() == 1)
        options.coursePath = courses.front();
    return error.empty();
}

}  // namespace

std::string labUsage() {
    std::string usage =
        "usage: roadsim-lab [courses.txt] [drive options]\n"
        "       roadsim-lab --tune [courses.txt] [tuning options]\n"
        "       roadsim-lab --board COURSE_OR_FOLDER... [--driver NAME=COMMAND]... [options]\n"
        "       roadsim-lab --make-course SEED FILE [course knobs]\n" +
        wrapped(
            "Drives the course headlessly with the autopilot or a controller and prints the "
            "figures of every lap.");
    for (const OptionGroup& group : optionGroups()) {
        usage += group.heading + ":\n";
        for (const LabOption& option : group.options) {
            std::string head =
                "  " + option.name + (option.values.empty() ? "" : " " + option.values);
            head.resize(std::max(head.size() + 1, helpColumn), ' ');
            usage += wrapped(option.help, head, helpColumn);
        }
    }
    return usage + wrapped(exitStatusUsage());
}

bool parseLabOptions(const std::vector<std::string>& args, LabOptions& options,
                     std::string& error) {
    std::vector<std::string> courses;
    std::vector<Given> given;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.rfind("--", 0) != 0 && arg != "-h") {
            courses.push_back(arg);
            continue;
        }
        const Given found = find(arg == "-h" ? "--help" : arg);
        if (found.option == nullptr) {
            error = "unknown option " + arg;
            return false;
        }
        const size_t count = found.option->count();
        if (count > args.size() - 1 - i) {
            error = count == 1 ? arg + " needs a value"
                               : arg + " needs " + found.option->values + " after it";
            return false;
        }
        const std::vector<std::string> values(args.begin() + i + 1, args.begin() + i + 1 + count);
        i += count;
        if (!found.option->read(values, options, error)) return false;
        given.push_back(found);
    }
    return settleJob(given, courses, options, error);
}

std::string exactly(double value) {
    std::ostringstream out;
    out.precision(17);
    out << value;
    return out.str();
}

std::vector<std::string> driveArguments(const DriveRequest& request) {
    std::vector<std::string> args = {
        request.coursePath,           "--seed", std::to_string(request.seed),   "--laps",
        std::to_string(request.laps), "--step", std::to_string(request.frameMs)};
    for (const auto& option : tuningOptions)
        args.insert(args.end(), {option.name, exactly(request.tuning.*option.value)});
    if (!request.controller.empty())
        args.insert(args.end(), {"--controller", request.controller, "--controller-timeout",
                                 exactly(request.controllerTimeout)});
    if (!request.recordFolder.empty()) args.insert(args.end(), {"--record", request.recordFolder});
    if (request.frameWidth > 0)
        args.insert(args.end(), {"--record-size", std::to_string(request.frameWidth) + "x" +
                                                      std::to_string(request.frameHeight)});
    if (!request.imageFolder.empty()) args.insert(args.end(), {"--images", request.imageFolder});
    if (!request.jsonPath.empty()) args.insert(args.end(), {"--json", request.jsonPath});
    return args;
}

bool parseDriveRequest(const std::vector<std::string>& args, DriveRequest& request,
                       std::string& error) {
    LabOptions options;
    if (!parseLabOptions(args, options, error)) return false;
    request = options;
    return true;
}
