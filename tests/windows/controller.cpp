// A controller for the Windows checks: it follows the track at the waypoints' speeds or, given
// "hang", reads its first state and never answers.
#include <nlohmann/json.hpp>

#include <chrono>
#include <iostream>
#include <string>
#include <thread>

int main(int argc, char** argv) {
    const bool hang = argc > 1 && std::string(argv[1]) == "hang";
    std::string line;
    while (std::getline(std::cin, line)) {
        const nlohmann::json message = nlohmann::json::parse(line);
        if (message["type"] == "end") break;
        if (message["type"] != "state") continue;
        if (hang) std::this_thread::sleep_for(std::chrono::hours(1));
        const double steering =
            0.5 * message["heading_error"].get<double>() + 5 * message["cross_track"].get<double>();
        std::cout << nlohmann::json{{"steering", steering}, {"speed", message["target_speed"]}}
                  << std::endl;
    }
}
