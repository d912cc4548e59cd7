// SPDX-License-Identifier: MIT
#include "host/HandedLoudness.h"

namespace sovahost {
void HandedLoudness::Add(const std::vector<std::vector<uint8_t>>& buffers, int64_t frames, int32_t code) {
    InterleavedFloat(buffers, frames, code, interleaved_);
    meter_.Add(interleaved_.data(), frames);
}
} // namespace sovahost
