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
    // A named pipe is not opened here: a reader that comes and goes lets its writer start and then
    // kills it with SIGPIPE, and the audio is lost.
    if (S_ISFIFO(facts.st_mode)) {
        if (access(path.c_str(), R_OK) == 0) return std::nullopt;
        return InputRefusal{"unreadable", fmt::format("'{}' cannot be read: {}", path, std::strerror(errno))};
    }
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return InputRefusal{"unreadable", fmt::format("'{}' cannot be read: {}", path, std::strerror(errno))};
    close(fd);
    return std::nullopt;
}

std::string InputProblem(const std::string& path) {
    const std::optional<InputRefusal> refusal = RefuseInput(path);
    return refusal ? refusal->message : std::string();
}
} // namespace sovahost
