// The reader tests' host: the built module loaded with dlopen and driven through SovaInterface
// with the reference host's objects, the way an audio editor drives it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "host/ReadSession.h"

namespace readertest {
inline sovahost::HostOptions ModuleOptions() {
    sovahost::HostOptions options;
    options.modulePath = SOVA_MODULE_PATH;
    return options;
}

// Everything one pass over a file showed.
struct Decoded {
    std::vector<float> samples;      // interleaved, as the reference decoder writes them
    int64_t lengthAtOpen = 0;        // selector 6's length
    int32_t calls = 0;               // reads that answered 0
    int32_t lengthReports = 0;       // reads that reported a length
    bool lengthOnLastCall = false;   // the last read that answered 0 reported the length
    int64_t reportedLength = -1;
    int32_t resultAfterEnd = 0;      // the read after the first -9
    bool zeroFrameCallAnswered = false; // a 0 answer that delivered no frames (never expected)
};

// Opens the file (which must succeed) and reads it to the end, `block` frames per call.
inline Decoded DecodeAll(sovahost::StartedModule& module, const std::filesystem::path& file, int32_t block) {
    Decoded decoded;
    sovahost::ReadSession session(module, file.string());
    if (session.Open() != 0) throw std::runtime_error("the module refused " + file.string());
    decoded.lengthAtOpen = session.Format().length;
    const int32_t channels = session.Format().channelCount;
    while (session.Read(block) == 0) {
        ++decoded.calls;
        const int64_t frames = session.FramesDone();
        if (frames == 0) decoded.zeroFrameCallAnswered = true;
        for (int64_t i = 0; i < frames; ++i)
            for (int32_t c = 0; c < channels; ++c) decoded.samples.push_back(session.Channel(c)[i]);
        decoded.lengthOnLastCall = session.LastReadReportedLength();
        if (decoded.lengthOnLastCall) {
            ++decoded.lengthReports;
            decoded.reportedLength = session.ReportedLength();
        }
    }
    decoded.resultAfterEnd = session.Read(block);
    return decoded;
}
} // namespace readertest
