// The exit statuses' words.
#include "LabStatus.h"

std::string failureOf(int status) {
    for (const LabStatusWords& words : labStatuses)
        if (static_cast<int>(words.status) == status && words.failure != nullptr)
            return words.failure;
    return "lab failed (status " + std::to_string(status) + ")";
}

std::string exitStatusUsage() {
    std::string text = "Exit status:";
    for (const LabStatusWords& words : labStatuses)
        text += std::string(words.status == LabStatus::done ? " " : ", ") +
                std::to_string(static_cast<int>(words.status)) + " " + words.meaning;
    return text + ".";
}
