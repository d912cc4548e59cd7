// SPDX-License-Identifier: MIT
// A loaded plug-in module and the host-wide settings every command shares.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <sova/SovaInterface.h>

namespace sovahost {
// Global options of sova-host, filled by the command line before a command runs.
struct HostOptions {
    std::string modulePath;               // the .sova file
    std::vector<std::string> codecFolders; // searched for the codec libraries before the system
    bool codecFoldersOnly = false;        // do not fall back on the system's libraries
    bool trace = false;                   // print the module's trace lines on stderr
    std::string translationsPath;         // localiser translations ("key=text" lines)
    bool quiet = false;                   // -q: errors and warnings only
    bool verbose = false;                 // -v: also the settings texts and other details
    bool overwrite = false;               // -y: replace existing output files
    int exitCode = 0;                     // what main returns
};

// Applies the options to the framework (codec search folders, trace channel, translations).
void ApplyHostOptions(const HostOptions& options);

class HostModule {
public:
    // Loads the module (dlopen) and finds SovaInterface; throws std::runtime_error on failure,
    // also when the module's SDK version note names a version this host cannot drive.
    explicit HostModule(const std::string& path);
    ~HostModule();
    HostModule(const HostModule&) = delete;
    HostModule& operator=(const HostModule&) = delete;

    int32_t Call(int32_t selector, void* handle, void* request) const { return entry_(selector, handle, request); }
    sova::sdk::SovaInterfaceProc Entry() const { return entry_; }
private:
    void* library_ = nullptr;
    sova::sdk::SovaInterfaceProc entry_ = nullptr;
};

// The module installed beside the executable's bin folder; for a sova-host run from its build
// tree, the one that build made. No absolute path from build time is ever searched.
std::string DefaultModulePath();
} // namespace sovahost
