// SPDX-License-Identifier: MIT
// Shared by the codec tests: offering codec folders to the loader, catching trace lines, and
// the lines the bindings write.
#pragma once

#include <dlfcn.h>
#include <unistd.h>

#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <platform/Loader.h>
#include <tsacore/debug/Trace.h>

namespace codectest {
using Lines = std::vector<std::string>;
inline const std::string kLoadingMpg123 = "Loading libmpg123...";
inline const std::string kMpg123Alternate =
    "Could not load the default libmpg123 library. Checking for an alternate 'libmpg123-0.dll'";
inline const std::string kLoadingTwoLame = "Loading TwoLame...";
inline const std::string kTwoLameAlternate = "Could not load the default TwoLame library.  Looking for an alternate...";

// The folder of that name under the test's codec folders ("real", "none", "fake-twolame", ...).
inline std::string CodecFolder(const std::string& name) { return std::string(SOVA_CODEC_FOLDERS) + "/" + name; }

// Only these folders are searched, never the system's.
inline void OfferOnly(const std::vector<std::string>& folderNames) {
    std::vector<std::string> folders;
    for (const std::string& name : folderNames)
        folders.push_back(CodecFolder(name));
    platform::SetLibrarySearchFolders(folders, false);
}

// Collects the module's trace lines while alive; TakeMessages checks each for the line format
// and the calling thread's id, and returns the message parts.
class TraceCapture {
public:
    TraceCapture() {
        tsacore::debug::EnableTraceChannel("VeLog.Plug-in.SovaMp2", 5, true);
        tsacore::debug::SetTraceSink([this](const char* line) { lines_.emplace_back(line); });
    }
    ~TraceCapture() { tsacore::debug::ResetTraceConfiguration(); }
    Lines TakeMessages() {
        static const std::regex format("<([0-9]+)> <VeLog\\.Plug-in\\.SovaMp2> <5> ([^\r\n]*)\r\n");
        Lines messages;
        for (const std::string& line : lines_) {
            std::smatch parts;
            EXPECT_TRUE(std::regex_match(line, parts, format)) << "badly formed trace line: " << line;
            EXPECT_EQ(parts[1].str(), std::to_string(::gettid())) << line;
            messages.push_back(parts[2].str());
        }
        lines_.clear();
        return messages;
    }

private:
    Lines lines_;
};

// The version and home-page lines of the system's libtwolame, from the library itself.
inline Lines RealVersionLines() {
    void* library = dlopen("libtwolame.so.0", RTLD_NOW | RTLD_LOCAL);
    if (!library)
        return {"(libtwolame.so.0 not loadable)"};
    auto text = [library](const char* symbol) {
        auto get = reinterpret_cast<const char* (*)()>(dlsym(library, symbol));
        return std::string(get ? get() : "(missing)");
    };
    Lines lines{"TwoLame version detected: " + text("get_twolame_version"), "TwoLame URL: " + text("get_twolame_url")};
    dlclose(library);
    return lines;
}
} // namespace codectest
