// SPDX-License-Identifier: MIT
#include "host/Leftovers.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <optional>
#include <set>

#include <fmt/format.h>

namespace sovahost {
namespace {
namespace fs = std::filesystem;

constexpr const char* kPrefix = ".sova-host-";
// Where the lock cannot be taken at all (some network file systems), a folder whose process is
// gone counts as left over only when nothing in it changed for this long.
constexpr time_t kQuietSeconds = 24 * 60 * 60;

// The process id in ".sova-host-<pid>-XXXXXX".
std::optional<pid_t> Owner(const std::string& name) {
    const std::string prefix = kPrefix;
    if (!name.starts_with(prefix)) return std::nullopt;
    const size_t dash = name.find('-', prefix.size());
    if (dash == std::string::npos || dash == prefix.size() || dash - prefix.size() > 9 || name.size() != dash + 7)
        return std::nullopt;
    const std::string digits = name.substr(prefix.size(), dash - prefix.size());
    if (digits.find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
    return static_cast<pid_t>(std::stol(digits));
}

bool Running(pid_t pid) { return pid == getpid() || kill(pid, 0) == 0 || errno == EPERM; }

time_t NewestChange(const std::string& path, const struct stat& folder) {
    time_t newest = folder.st_mtime;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(path, error)) {
        struct stat file {};
        if (lstat(entry.path().c_str(), &file) == 0) newest = std::max(newest, file.st_mtime);
    }
    return newest;
}

bool IsLeftover(const std::string& folder, const std::string& name) {
    const std::optional<pid_t> owner = Owner(name);
    if (!owner || Running(*owner)) return false;
    const std::string path = folder + "/" + name;
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != getuid()) return false;
    const int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return false;
    const int locked = flock(fd, LOCK_EX | LOCK_NB);
    const int error = errno;
    close(fd);
    if (locked == 0) return true;
    return error != EWOULDBLOCK && std::time(nullptr) - NewestChange(path, info) > kQuietSeconds;
}

std::string Size(uintmax_t bytes) {
    return bytes >= 1000000 ? fmt::format("{:.1f} MB", bytes / 1e6) : fmt::format("{} bytes", bytes);
}

std::string Described(const Leftover& leftover) {
    std::string text = leftover.name;
    if (leftover.files.size() == 1) text += "/" + leftover.files.front();
    return text + " (" + Size(leftover.bytes) + ")";
}

// The folder as a shell word.
std::string Quoted(const std::string& folder) {
    if (folder.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789/._-+,:@") ==
        std::string::npos)
        return folder;
    std::string quoted = "'";
    for (char c : folder) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}
} // namespace

std::string PrivateFolderPattern(const std::string& folder) {
    return fmt::format("{}/{}{}-XXXXXX", folder, kPrefix, getpid());
}

std::vector<Leftover> FindLeftovers(const std::string& folder) {
    std::vector<Leftover> found;
    DIR* dir = opendir(folder.c_str());
    if (!dir) return found;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (!Owner(name) || !IsLeftover(folder, name)) continue;
        Leftover leftover{name, {}, 0};
        std::error_code error;
        for (const auto& file : fs::directory_iterator(folder + "/" + name, error)) {
            leftover.files.push_back(file.path().filename().string());
            if (file.is_regular_file(error)) leftover.bytes += file.file_size(error);
        }
        std::sort(leftover.files.begin(), leftover.files.end());
        found.push_back(std::move(leftover));
    }
    closedir(dir);
    std::sort(found.begin(), found.end(), [](const Leftover& a, const Leftover& b) { return a.name < b.name; });
    return found;
}

void WarnAboutLeftovers(const std::string& folder) {
    static std::set<std::string> warned;
    if (!warned.insert(folder).second) return;
    const std::vector<Leftover> found = FindLeftovers(folder);
    if (found.empty()) return;
    constexpr size_t kNamed = 3;
    std::string names;
    for (size_t i = 0; i < found.size() && i < kNamed; ++i) names += (i ? ", " : "") + Described(found[i]);
    if (found.size() > kNamed) names += fmt::format(" and {} more", found.size() - kNamed);
    std::fprintf(stderr,
                 "sova-host: warning: '%s' holds %zu unfinished file%s of sova-host runs that were killed: %s; "
                 "'sova-host clean %s' removes them\n",
                 folder.c_str(), found.size(), found.size() == 1 ? "" : "s", names.c_str(), Quoted(folder).c_str());
}

int RemoveLeftovers(const std::string& folder) {
    int failed = 0;
    for (const Leftover& leftover : FindLeftovers(folder)) {
        const std::string path = folder + "/" + leftover.name;
        std::error_code error;
        fs::remove_all(path, error);
        if (error) {
            std::fprintf(stderr, "sova-host: cannot remove '%s': %s\n", path.c_str(), error.message().c_str());
            ++failed;
            continue;
        }
        std::printf("removed %s/%s\n", folder.c_str(), Described(leftover).c_str());
    }
    return failed;
}
} // namespace sovahost
