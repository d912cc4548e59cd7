// SPDX-License-Identifier: MIT
// The module's writer over one output file: selector 17 creates it (constructor), 18 takes each
// block of samples (WriteAll), 19 finishes it (WriteAll or Finish). The writer is given back with
// selector 19 in every case, also when a block fails or the object is destroyed unfinished.
#pragma once

#include <cstdint>
#include <string>

#include "host/OutputFile.h"
#include "host/ProgressBar.h"
#include "host/SampleFeed.h"
#include "module/HostModule.h"
#include "module/HostObjects.h"

namespace sovahost {
class ModuleWriter {
public:
    // Creates output's work file through the module with format (which must outlive this). Throws
    // std::runtime_error "cannot create '<shownOut>' (...)" with the module's reason.
    ModuleWriter(const HostModule& plugIn, MessageSink& sink, const OutputFile& output, const std::string& shownOut,
                 AudioFormat& format);
    ~ModuleWriter();
    ModuleWriter(const ModuleWriter&) = delete;
    ModuleWriter& operator=(const ModuleWriter&) = delete;

    // What the module says it writes (its description of the open file).
    const std::u16string& Description() const { return open_.description; }

    // Encodes every sample of feed, blockFrames at a time, then finishes the file. Returns the
    // samples per channel written; throws std::runtime_error naming the block or the finish.
    // samplesDone counts what went in, also when it throws.
    int64_t WriteAll(SampleFeed& feed, int64_t blockFrames, ProgressBar& progress, int64_t& samplesDone);
    // Finishes the file as it stands (for segments, which other writers encode).
    void Finish();

private:
    const HostModule& plugIn_;
    MessageSink& sink_;
    AudioFormat& format_;
    WriteOpenRequest open_;
    bool finished_ = false;
};
} // namespace sovahost
