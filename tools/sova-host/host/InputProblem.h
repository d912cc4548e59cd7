// SPDX-License-Identifier: MIT
// Why a path named as an input cannot be read, in the same words for every command.
#pragma once

#include <optional>
#include <string>

namespace sovahost {
struct InputRefusal {
    std::string kind;    // "missing" or "unreadable" (the words scripts see in info --json)
    std::string message; // "'x.wav' does not exist", "'music' is a folder", "'x.wav' cannot be read: ..."
};

// Set when path does not name a file this process can open for reading.
std::optional<InputRefusal> RefuseInput(const std::string& path);
// RefuseInput's message, or empty.
std::string InputProblem(const std::string& path);
} // namespace sovahost
