#include "host/TempFile.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <stdexcept>
#include <vector>

#include <fmt/format.h>

namespace sovahost {
namespace {
// A fixed list the signal handler can walk without allocating: a slot's path is written
// before it is marked in use, and unmarked before it is reused.
constexpr int kSlots = 16;
char gPaths[kSlots][PATH_MAX];
volatile sig_atomic_t gInUse[kSlots];

int Claim(const std::string& path) {
    if (path.size() >= PATH_MAX) return -1;
    for (int slot = 0; slot < kSlots; ++slot)
        if (!gInUse[slot]) {
            std::memcpy(gPaths[slot], path.c_str(), path.size() + 1);
            gInUse[slot] = 1;
            return slot;
        }
    return -1;
}

extern "C" void RemoveTempFilesAndExit(int signal) {
    for (int slot = 0; slot < kSlots; ++slot)
        if (gInUse[slot]) unlink(gPaths[slot]);
    _exit(128 + signal);
}

mode_t CreationMode() {
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}
} // namespace

TempFile::TempFile(const std::string& folder, const std::string& prefix, const std::string& suffix) {
    std::string pattern = (folder.empty() ? std::string(".") : folder) + "/" + prefix + "XXXXXX" + suffix;
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const mode_t mode = CreationMode();
    // No interrupt between creating the file and listing it for removal.
    sigset_t interrupts, previous;
    sigemptyset(&interrupts);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&interrupts, signal);
    sigprocmask(SIG_BLOCK, &interrupts, &previous);
    const int fd = mkstemps(name.data(), static_cast<int>(suffix.size()));
    const int error = errno;
    if (fd >= 0) {
        fchmod(fd, mode); // as a newly created output would be, not mkstemp's 0600
        close(fd);
        path_ = name.data();
        slot_ = Claim(path_);
    }
    sigprocmask(SIG_SETMASK, &previous, nullptr);
    if (fd < 0)
        throw std::runtime_error(fmt::format("cannot create a file in '{}': {}", folder.empty() ? "." : folder,
                                             std::strerror(error)));
}

TempFile::~TempFile() {
    if (!path_.empty()) unlink(path_.c_str());
    Release();
}

void TempFile::Release() {
    if (slot_ >= 0) gInUse[slot_] = 0;
    slot_ = -1;
    path_.clear();
}

void InstallInterruptCleanup() {
    struct sigaction action {};
    action.sa_handler = RemoveTempFilesAndExit;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&action.sa_mask, signal);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
}
} // namespace sovahost
