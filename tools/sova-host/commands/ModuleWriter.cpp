// SPDX-License-Identifier: MIT
#include "ModuleWriter.h"

#include <stdexcept>
#include <vector>

#include <fmt/format.h>

#include "module/ReadSession.h"

namespace sovahost {
using namespace sova::sdk;

ModuleWriter::ModuleWriter(const HostModule& plugIn, MessageSink& sink, const OutputFile& output,
                           const std::string& shownOut, AudioFormat& format)
    : plugIn_(plugIn), sink_(sink), format_(format) {
    open_.sink = &sink_;
    open_.path = FromUtf8(output.WorkPath());
    open_.format = &format_;
    const int32_t result = plugIn_.Call(kSelectorOpenForWrite, nullptr, &open_);
    if (result != kResultOK || !open_.writeHandle) {
        finished_ = true; // nothing to give back
        // The module names the path it was given, the temporary one: show the user's.
        const std::string reason = sink_.messages.empty() ? "" : ": " + output.Unmasked(ToUtf8(sink_.messages.back()));
        throw std::runtime_error(fmt::format("cannot create '{}' ({}){}", shownOut, ResultInWords(result), reason));
    }
}

ModuleWriter::~ModuleWriter() {
    if (finished_) return;
    try { // give the writer back so that the file is closed; its own failure adds nothing
        CloseRequest close;
        close.sink = &sink_;
        plugIn_.Call(kSelectorCloseWriter, open_.writeHandle, &close);
    } catch (...) {
    }
}

void ModuleWriter::Finish() {
    // The writer is gone after selector 19, whatever it answers or raises (a file error while the
    // last bytes go out).
    finished_ = true;
    CloseRequest close;
    close.sink = &sink_;
    if (const int32_t result = plugIn_.Call(kSelectorCloseWriter, open_.writeHandle, &close); result != kResultOK)
        throw std::runtime_error(fmt::format("the plug-in could not finish the file: {}", ResultInWords(result)));
}

int64_t ModuleWriter::WriteAll(SampleFeed& feed, int64_t blockFrames, ProgressBar& progress, int64_t& samplesDone) {
    WriteRequest write;
    write.sink = &sink_;
    write.format = &format_;
    std::vector<std::vector<uint8_t>> buffers;
    for (;;) {
        const int64_t frames = feed.Read(blockFrames, buffers);
        if (frames == 0) break;
        write.frameCount = frames;
        write.buffers.clear();
        for (const auto& buffer : buffers) write.buffers.push_back(buffer.data());
        if (const int32_t result = plugIn_.Call(kSelectorWriteSamples, open_.writeHandle, &write); result != kResultOK)
            throw std::runtime_error(fmt::format("the plug-in could not encode the block at sample {}: {}", samplesDone,
                                                 ResultInWords(result)));
        samplesDone += frames;
        progress.Update(samplesDone);
    }
    progress.End();
    Finish();
    return samplesDone;
}
} // namespace sovahost
