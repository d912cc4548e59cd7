// SPDX-License-Identifier: MIT
#include "module/HostModule.h"

#include <dlfcn.h>

#include <cstdio>
#include <filesystem>
#include <stdexcept>

#include <fmt/format.h>
#include <platform/Loader.h>
#include <sova/ModuleVersion.h>
#include <tsacore/config/Localizer.h>
#include <tsacore/debug/Trace.h>

namespace sovahost {
void ApplyHostOptions(const HostOptions& options) {
    if (!options.codecFolders.empty() || options.codecFoldersOnly)
        platform::SetLibrarySearchFolders(options.codecFolders, !options.codecFoldersOnly);
    if (options.trace) {
        tsacore::debug::EnableTraceChannel("VeLog.Plug-in.SovaMp2", 5, true);
        tsacore::debug::SetTraceSink([](const char* line) { std::fprintf(stderr, "trace: %s", line); });
    }
    if (!options.translationsPath.empty() &&
        !tsacore::config::Localizer::Get().LoadTranslations(options.translationsPath))
        throw std::runtime_error("cannot read translations from " + options.translationsPath);
}

HostModule::HostModule(const std::string& path) {
    library_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library_) throw std::runtime_error("cannot load module " + path + ": " + dlerror());
    entry_ = reinterpret_cast<sova::sdk::SovaInterfaceProc>(dlsym(library_, sova::sdk::kEntryPointName));
    if (!entry_) {
        dlclose(library_);
        throw std::runtime_error("module " + path + " exports no SovaInterface");
    }
    const auto moduleVersion = sova::sdk::LoadedModuleSdkVersion(library_);
    if (moduleVersion && !sova::sdk::HostSupports(sova::sdk::kSdkVersion, *moduleVersion)) {
        dlclose(library_);
        const auto& host = sova::sdk::kSdkVersion;
        throw std::runtime_error(fmt::format("module {} speaks SDK {}.{}.{}, which this host (SDK {}.{}.{}) cannot drive",
                                             path, moduleVersion->major, moduleVersion->minor, moduleVersion->patch,
                                             host.major, host.minor, host.patch));
    }
}

HostModule::~HostModule() {
    if (library_) dlclose(library_);
}

std::string DefaultModulePath() {
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path folder = fs::canonical("/proc/self/exe", error).parent_path();
    if (error) return {}; // nowhere to look from: --module must say
    const fs::path installed = folder / SOVA_INSTALLED_PLUGIN_DIR / "SovaMp2.sova";
    if (fs::exists(installed, error)) return installed.lexically_normal().string();
    // Only a sova-host in a CMake build folder (CMakeFiles beside it, as trusted as the program
    // itself) looks into its build tree; an installed one never searches outside its own tree.
    const fs::path built = folder / SOVA_BUILD_TREE_MODULE;
    if (fs::is_directory(folder / "CMakeFiles", error) && fs::exists(built, error))
        return built.lexically_normal().string();
    return installed.lexically_normal().string();
}
} // namespace sovahost
