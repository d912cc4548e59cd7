#include "CodecTestSupport.h"

#include <dlfcn.h>
#include <unistd.h>

#include <regex>

#include <gtest/gtest.h>

#include <platform/Loader.h>
#include <tsacore/debug/Trace.h>

namespace codectest {
std::string CodecFolder(const std::string& name) { return std::string(SOVA_CODEC_FOLDERS) + "/" + name; }

void OfferOnly(const std::vector<std::string>& folderNames) {
    std::vector<std::string> folders;
    for (const std::string& name : folderNames)
        folders.push_back(CodecFolder(name));
    platform::SetLibrarySearchFolders(folders, false);
}

TraceCapture::TraceCapture() {
    tsacore::debug::EnableTraceChannel("VeLog.Plug-in.SovaMp2", 5, true);
    tsacore::debug::SetTraceSink([this](const char* line) { lines_.emplace_back(line); });
}

TraceCapture::~TraceCapture() { tsacore::debug::ResetTraceConfiguration(); }

std::vector<std::string> TraceCapture::Messages() const {
    static const std::regex format("<([0-9]+)> <VeLog\\.Plug-in\\.SovaMp2> <5> ([^\r\n]*)\r\n");
    std::vector<std::string> messages;
    for (const std::string& line : lines_) {
        std::smatch parts;
        if (!std::regex_match(line, parts, format)) {
            ADD_FAILURE() << "badly formed trace line: " << line;
            continue;
        }
        EXPECT_EQ(parts[1].str(), std::to_string(::gettid())) << line;
        messages.push_back(parts[2].str());
    }
    return messages;
}

std::vector<std::string> TraceCapture::TakeMessages() {
    std::vector<std::string> messages = Messages();
    lines_.clear();
    return messages;
}

std::string SystemTwoLameText(const char* symbol) {
    void* library = dlopen("libtwolame.so.0", RTLD_NOW | RTLD_LOCAL);
    if (!library)
        return "(libtwolame.so.0 not loadable)";
    auto text = reinterpret_cast<const char* (*)()>(dlsym(library, symbol));
    std::string result = text ? text() : "(no " + std::string(symbol) + ")";
    dlclose(library);
    return result;
}
} // namespace codectest
