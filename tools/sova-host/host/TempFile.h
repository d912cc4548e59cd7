// SPDX-License-Identifier: MIT
// Temporary files that never outlive the command. Each lives alone in a private folder
// "<folder>/.sova-host-<pid>-XXXXXX" (mode 0700, made with mkdtemp), so that no other user or
// process can swap it for a link, and its short name never makes a long final name too long.
// The folder and file go when their owner does, and from the signal handlers. The process
// holds a lock on the folder while it lives, so that a leftover (after kill -9) is told apart
// from a folder in use (see Leftovers.h).
#pragma once

#include <string>

#include "host/SignalCleanup.h" // InstallInterruptCleanup, which makes the removal on signals work

namespace sovahost {
class TempFile {
public:
    // Creates the private folder in `folder` and the empty file `name` in it, readable as the
    // umask allows; throws std::runtime_error naming the folder when it cannot.
    TempFile(const std::string& folder, const std::string& name);
    ~TempFile(); // removes the file (unless it was moved away) and the private folder
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    const std::string& Path() const { return path_; }
    // The file has been renamed out of the private folder: the empty folder is removed now.
    void Moved();
private:
    void Remove(bool file);
    std::string folder_, path_;
    int lock_ = -1; // the private folder, open and locked
    int slot_ = -1; // in the signal handler's list; -1 when the list was full
};
} // namespace sovahost
