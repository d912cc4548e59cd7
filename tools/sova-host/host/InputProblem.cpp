// SPDX-License-Identifier: MIT
#include "host/InputProblem.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include <fmt/format.h>

namespace sovahost {
std::optional<InputRefusal> RefuseInput(const std::string& path) {
    struct stat facts {};
    if (stat(path.c_str(), &facts) != 0) {
        if (errno == ENOENT) return InputRefusal{"missing", fmt::format("'{}' does not exist", path)};
        return InputRefusal{"unreadable", fmt::format("'{}' cannot be read: {}", path, std::strerror(errno))};
    }
    if (S_ISDIR(facts.st_mode)) return InputRefusal{"unreadable", fmt::format("'{}' is a folder", path)};
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC); // a FIFO must not block here
    if (fd < 0) return InputRefusal{"unreadable", fmt::format("'{}' cannot be read: {}", path, std::strerror(errno))};
    close(fd);
    return std::nullopt;
}

std::string InputProblem(const std::string& path) {
    const std::optional<InputRefusal> refusal = RefuseInput(path);
    return refusal ? refusal->message : std::string();
}
} // namespace sovahost
