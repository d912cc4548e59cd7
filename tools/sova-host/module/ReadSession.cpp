// SPDX-License-Identifier: MIT
#include "module/ReadSession.h"

#include <stdexcept>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include <fmt/format.h>

namespace sovahost {
using namespace sova::sdk;

namespace {
// While it lives, what the process writes on stderr goes to /dev/null (when active).
class SilencedStderr {
public:
    explicit SilencedStderr(bool active) {
        if (!active) return;
        std::fflush(stderr);
        saved_ = ::dup(STDERR_FILENO);
        const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (saved_ >= 0 && null >= 0) ::dup2(null, STDERR_FILENO);
        if (null >= 0) ::close(null);
    }
    ~SilencedStderr() {
        if (saved_ < 0) return;
        std::fflush(stderr);
        ::dup2(saved_, STDERR_FILENO);
        ::close(saved_);
    }
    SilencedStderr(const SilencedStderr&) = delete;
    SilencedStderr& operator=(const SilencedStderr&) = delete;
private:
    int saved_ = -1;
};
} // namespace

StartedModule::StartedModule(const HostOptions& options) : module_((ApplyHostOptions(options), options.modulePath)) {
    sink_.echo = true;
    startResult_ = module_.Call(kSelectorDescribePlugIn, nullptr, &registrar_);
    // Selector 0 also starts the module, but answers 0 when a codec library is missing;
    // selector 1 tells.
    if (startResult_ == kResultOK) startResult_ = module_.Call(kSelectorStartup, nullptr, nullptr);
}

void StartedModule::RequireStarted() const {
    if (startResult_ != kResultOK)
        throw std::runtime_error("the module did not start (" + ResultInWords(startResult_) +
                                 "); are libmpg123 and libtwolame installed?");
}

StartedModule::~StartedModule() {
    module_.Call(kSelectorShutdown, nullptr, nullptr);
}

ReadSession::ReadSession(StartedModule& module, const std::string& utf8Path) : module_(module) {
    open_.sink = &module_.Sink();
    open_.path = FromUtf8(utf8Path);
    format_.sink = &module_.Sink();
}

ReadSession::~ReadSession() {
    if (open_.readHandle) module_.Module().Call(kSelectorCloseReader, open_.readHandle, nullptr);
}

int32_t ReadSession::Open() {
    const SilencedStderr silenced(hideDecoderNotes_);
    const int32_t result = module_.Module().Call(kSelectorOpenForRead, nullptr, &open_);
    if (result != kResultOK || !open_.readHandle) return result;
    const int32_t formatResult = module_.Module().Call(kSelectorGetReadFormat, open_.readHandle, &format_);
    if (formatResult != kResultOK) return formatResult;
    buffers_.assign(static_cast<size_t>(std::max(format_.channelCount, 0)), {});
    return result;
}

int32_t ReadSession::Read(int32_t frames) {
    request_.frameCount = frames;
    request_.buffers.clear();
    for (auto& buffer : buffers_) {
        if (buffer.size() < static_cast<size_t>(frames)) buffer.resize(static_cast<size_t>(frames));
        request_.buffers.push_back(buffer.data());
    }
    request_.framesDone = 0;
    request_.lengthSet = false;
    const SilencedStderr silenced(hideDecoderNotes_);
    const int32_t result = module_.Module().Call(kSelectorReadSamples, open_.readHandle, &request_);
    if (request_.lengthSet) {
        lengthReported_ = true;
        reportedLength_ = request_.length;
    }
    return result;
}

std::string ResultInWords(int32_t code) { return fmt::format("{} ({})", code, ResultText(code)); }
} // namespace sovahost
