// SPDX-License-Identifier: MIT
#include "host/TempFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <vector>

#include <fmt/format.h>

#include "host/Leftovers.h"
#include "host/SignalCleanup.h"

namespace sovahost {
namespace {
mode_t CreationMode() {
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}
} // namespace

TempFile::TempFile(const std::string& folder, const std::string& name) {
    const std::string where = folder.empty() ? std::string(".") : folder;
    WarnAboutLeftovers(where);
    std::string pattern = PrivateFolderPattern(where);
    std::vector<char> made(pattern.begin(), pattern.end());
    made.push_back('\0');
    const mode_t mode = CreationMode();
    int error = 0;
    {
        const SignalsHeld held; // no signal between creating a path and listing it for removal
        if (!mkdtemp(made.data())) {
            error = errno;
        } else {
            folder_ = made.data();
            path_ = folder_ + "/" + name;
            slot_ = ListForRemoval(folder_, path_);
            lock_ = open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            if (lock_ >= 0) flock(lock_, LOCK_EX | LOCK_NB);
            const int fd = open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
            if (fd < 0) error = errno;
            else close(fd);
        }
    }
    if (error) {
        Remove(true);
        throw std::runtime_error(fmt::format("cannot create a file in '{}': {}", where, std::strerror(error)));
    }
}

TempFile::~TempFile() { Remove(true); }

void TempFile::Moved() { Remove(false); }

void TempFile::Remove(bool file) {
    if (file && !path_.empty()) unlink(path_.c_str());
    if (!folder_.empty()) rmdir(folder_.c_str());
    UnlistForRemoval(slot_);
    if (lock_ >= 0) close(lock_);
    slot_ = lock_ = -1;
    path_.clear();
    folder_.clear();
}
} // namespace sovahost
