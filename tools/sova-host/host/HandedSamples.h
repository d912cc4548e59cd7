// SPDX-License-Identifier: MIT
// The samples of SampleFeed's per-channel buffers (in a sample format code) as interleaved float.
#pragma once

#include <cstdint>
#include <vector>

namespace sovahost {
// frames samples of each channel buffer, in `code` (10, 20, 30 or 40), as interleaved float with
// full scale at 1.0, into `out` (resized).
void InterleavedFloat(const std::vector<std::vector<uint8_t>>& buffers, int64_t frames, int32_t code, std::vector<float>& out);
} // namespace sovahost
