// SPDX-License-Identifier: MIT
// Fuzzes the reader with arbitrary files: the bytes are written to a file and read through the
// module's entry (selectors 5, 6, 7 to the end, 12), as a host would. The reader must answer
// with its result codes, deliver no more frames than asked for, report a length equal to what
// it delivered, and always reach its end.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include <sova/Sdk.h>

#include "module/HostObjects.h"
#include "ModuleFuzzing.h"

namespace {
using fuzzsupport::Check;
std::string gPath;
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    gPath = fuzzsupport::ScratchFile("reader-fuzz");
    fuzzsupport::StartModule();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FILE* file = std::fopen(gPath.c_str(), "wb");
    Check(file != nullptr, "cannot write the temporary file");
    if (size) std::fwrite(data, 1, size, file);
    std::fclose(file);

    sovahost::OpenRequest open;
    open.path = sovahost::FromUtf8(gPath);
    const int32_t opened = SovaInterface(sova::sdk::kSelectorOpenForRead, nullptr, &open);
    Check(opened == 0 || opened == -1 || opened == -4, "open answered an unexpected code");
    Check((opened == -1) == (open.readHandle == nullptr), "a reader was handed over on -1, or not on 0/-4");
    if (!open.readHandle) return 0;

    if (opened == 0) {
        sovahost::AudioFormat format;
        Check(SovaInterface(sova::sdk::kSelectorGetReadFormat, open.readHandle, &format) == 0, "format failed");
        Check(format.channelCount == 1 || format.channelCount == 2, "odd channel count");

        // The first byte picks how many frames the host asks for per call.
        const int32_t block = 1 + (size ? data[0] % 16 : 0) * 577;
        std::vector<std::vector<float>> buffers(static_cast<size_t>(format.channelCount), std::vector<float>(block));
        sovahost::ReadRequest read;
        read.frameCount = block;
        for (auto& buffer : buffers) read.buffers.push_back(buffer.data());
        int64_t delivered = 0;
        // Every MPEG frame has a 4-byte header and at most 1152 samples, so a byte of input yields
        // fewer than 300 frames; more calls than that means the reader is stuck.
        const int64_t limit = 64 + static_cast<int64_t>(size) * 300;
        for (int64_t calls = 0;; ++calls) {
            Check(calls < limit, "the reader never reached its end");
            read.lengthSet = false;
            const int32_t result = SovaInterface(sova::sdk::kSelectorReadSamples, open.readHandle, &read);
            if (result != 0) {
                Check(result == -9 && read.framesDone == 0, "a failed read claimed frames");
                break;
            }
            Check(read.framesDone > 0 && read.framesDone <= block, "frames done out of range");
            delivered += read.framesDone;
            Check(!read.lengthSet || read.length == delivered, "the reported length differs from the frames delivered");
        }
    }
    Check(SovaInterface(sova::sdk::kSelectorCloseReader, open.readHandle, nullptr) == 0, "close failed");
    return 0;
}
