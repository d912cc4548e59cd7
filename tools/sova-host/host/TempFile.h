// Temporary files that never outlive the command: removed when their owner goes away, and by
// the interrupt handlers when the user stops sova-host with Ctrl-C or a termination signal.
#pragma once

#include <string>

namespace sovahost {
class TempFile {
public:
    // Creates a new empty file "<folder>/<prefix>XXXXXX<suffix>" (mkstemp), readable as the
    // umask allows; throws std::runtime_error naming the folder when it cannot.
    TempFile(const std::string& folder, const std::string& prefix, const std::string& suffix);
    ~TempFile(); // removes the file unless Release() was called
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    const std::string& Path() const { return path_; }
    // The file has moved away (renamed into place): nothing to remove any more.
    void Release();
private:
    std::string path_;
    int slot_ = -1; // in the interrupt handlers' list; -1 when the list was full
};

// SIGINT, SIGTERM and SIGHUP remove every TempFile and end the process with 128 + the signal.
void InstallInterruptCleanup();
} // namespace sovahost
