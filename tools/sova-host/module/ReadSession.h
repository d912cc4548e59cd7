// SPDX-License-Identifier: MIT
// Reading a file through the module the way an audio editor does: the module is started with
// selectors 0 and 1 and shut down with selector 2; a file is opened with selector 5, examined
// with selector 6, read with selector 7 until it answers -9, and closed with selector 12.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "module/HostModule.h"
#include "module/HostObjects.h"

namespace sovahost {
// A loaded and started module. Selector 2 runs when it goes away.
class StartedModule {
public:
    explicit StartedModule(const HostOptions& options);
    ~StartedModule();
    StartedModule(const StartedModule&) = delete;
    StartedModule& operator=(const StartedModule&) = delete;

    const HostModule& Module() const { return module_; }
    MessageSink& Sink() { return sink_; }
    // 0 when selectors 0 and 1 succeeded; otherwise the failing selector's result.
    int32_t StartResult() const { return startResult_; }
    // Throws std::runtime_error, in the same words for every command, when the module did not start.
    void RequireStarted() const;
private:
    HostModule module_;
    MessageSink sink_;
    Registrar registrar_;
    int32_t startResult_ = 0;
};

// One file open for reading. The read handle, when the module handed one over, is closed
// with selector 12 on destruction.
class ReadSession {
public:
    ReadSession(StartedModule& module, const std::string& utf8Path);
    ~ReadSession();
    ReadSession(const ReadSession&) = delete;
    ReadSession& operator=(const ReadSession&) = delete;

    // The decoder library writes notes about damaged or foreign data on stderr; with hide set,
    // they go nowhere during this session's module calls.
    void HideDecoderNotes(bool hide) { hideDecoderNotes_ = hide; }
    // Selector 5, then selector 6 when the open succeeded. Returns selector 5's result.
    int32_t Open();
    const OpenRequest& OpenedFile() const { return open_; }
    const AudioFormat& Format() const { return format_; }

    // Selector 7 for up to `frames` frames into the session's own channel buffers; the
    // frames delivered are in Channel(c)[0 .. FramesDone()). Returns the result code.
    int32_t Read(int32_t frames);
    int64_t FramesDone() const { return request_.framesDone; }
    const float* Channel(int32_t channel) const { return buffers_[channel].data(); }
    // The length the module reported on a read (at the end of the stream), if it did.
    bool LengthReported() const { return lengthReported_; }
    bool LastReadReportedLength() const { return request_.lengthSet; }
    int64_t ReportedLength() const { return reportedLength_; }
private:
    StartedModule& module_;
    OpenRequest open_;
    AudioFormat format_;
    ReadRequest request_;
    std::vector<std::vector<float>> buffers_;
    bool lengthReported_ = false;
    int64_t reportedLength_ = -1;
    bool hideDecoderNotes_ = false;
};

// "-4 (unsupported or unusable file)"
std::string ResultInWords(int32_t code);
} // namespace sovahost
