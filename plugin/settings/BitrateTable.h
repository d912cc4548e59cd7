// SPDX-License-Identifier: MIT
// The MPEG Audio Layer II bitrate table and the lookups that tie bitrates to sample rates.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace sova {
struct BitrateRow {
    int32_t bitsPerSecond;                   // kbit/s
    int32_t defaultSampleRate;               // Hz
    std::array<int32_t, 3> allowedSampleRates; // Hz
};

// The 19 rows in ascending bitrate order. The channel count selects one of two tables of
// identical content (1 the first, anything else the second).
std::span<const BitrateRow> BitrateRows(int32_t channels);

// The row whose bitrate is the largest not above kbps; null below 8 kbit/s.
const BitrateRow* FindBitrateRow(int32_t kbps, int32_t channels);

// The output sample rate for a bitrate, given the source's rate: the source rate when the
// row allows it, else the row's default, then 48000 for sources at 48000 Hz or more when
// the row allows 48000. chosenRate is set to 0 first; rowBitrate is set only on success.
// False when no row takes the bitrate.
bool ChooseSampleRate(int32_t kbps, int32_t channels, int32_t sourceRate, int32_t& chosenRate,
                      int32_t& rowBitrate);

// Rewrites kbps (0 meaning 160) to the nearest bitrate whose row allows sampleRate, or, when
// no row does, the bitrate of the row whose default rate is nearest. Ties go to the later
// row. Always returns true.
bool ChooseBitrate(int32_t& kbps, int32_t sampleRate, int32_t channels);

// MPEG-1 rates are 32000 Hz and above; lower rates are MPEG-2 LSF.
bool IsMpeg1SampleRate(int32_t sampleRate);
} // namespace sova
