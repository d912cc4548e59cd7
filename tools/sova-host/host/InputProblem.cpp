#include "host/InputProblem.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include <fmt/format.h>

namespace sovahost {
std::string InputProblem(const std::string& path) {
    struct stat facts {};
    if (stat(path.c_str(), &facts) != 0) {
        if (errno == ENOENT) return fmt::format("'{}' does not exist", path);
        return fmt::format("'{}' cannot be read: {}", path, std::strerror(errno));
    }
    if (S_ISDIR(facts.st_mode)) return fmt::format("'{}' is a folder", path);
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC); // a FIFO must not block here
    if (fd < 0) return fmt::format("'{}' cannot be read: {}", path, std::strerror(errno));
    close(fd);
    return {};
}
} // namespace sovahost
