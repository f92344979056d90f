// A controller for the Windows checks: it follows the track at the waypoints' speeds. Given "hang",
// it reads its first state and never answers; given "asleep", it reads nothing at all. Given one of
// the lab tests' misbehaviours, it answers two states and at the third acts it out as the POSIX
// side's scripts do: exits, garbage, slow, flood, deaf, killed, half.
#include <nlohmann/json.hpp>

#include <chrono>
#include <cstdio>
#include <iostream>
#include <string>
#include <thread>
#ifdef _WIN32
#include <windows.h>
#else
#include <csignal>
#endif

namespace {

void sleepLong() {
    std::this_thread::sleep_for(std::chrono::hours(1));
}

const char* const reply = "{\"steering\": 0, \"speed\": 5}\n";

// Acts the misbehaviour out at the third state, or for "deaf" at the second, whose reply it still
// sends.
void misbehave(const std::string& how) {
    if (how == "garbage") std::cout << "steering=0 speed=5" << std::endl;
    if (how == "slow") sleepLong();
    // A reply line that never ends, until the lab gives up on it.
    while (how == "flood" && std::cout << std::string(65536, 'x') << std::flush) {
    }
    if (how == "deaf") {
        std::fclose(stdin);
        std::cout << reply << std::flush;
        sleepLong();
    }
    if (how == "killed") {
#ifdef _WIN32
        // The status that Windows gives a process ended by an access violation.
        TerminateProcess(GetCurrentProcess(), 0xC0000005);
#else
        std::raise(SIGKILL);
#endif
    }
    if (how == "half") std::cout << "{\"steering\": 0, \"sp" << std::flush;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "asleep") sleepLong();
    std::string line;
    int states = 0;
    while (std::getline(std::cin, line)) {
        const nlohmann::json message = nlohmann::json::parse(line);
        if (message["type"] == "end") break;
        if (message["type"] != "state") continue;
        if (mode == "hang") sleepLong();
        if (!mode.empty() && ++states == (mode == "deaf" ? 2 : 3)) {
            misbehave(mode);
            return 0;
        }
        if (!mode.empty()) {
            std::cout << reply << std::flush;
            continue;
        }
        const double steering =
            0.5 * message["heading_error"].get<double>() + 5 * message["cross_track"].get<double>();
        std::cout << nlohmann::json{{"steering", steering}, {"speed", message["target_speed"]}}
                  << std::endl;
    }
}
