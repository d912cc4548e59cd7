// SPDX-License-Identifier: MIT
#include "settings/BitrateTable.h"

#include <algorithm>
#include <cstdlib>

namespace sova {
namespace {
constexpr std::array<int32_t, 3> kLowRates{16000, 22050, 24000};
constexpr std::array<int32_t, 3> kHighRates{32000, 44100, 48000};

// The default rates of 48, 56 and 144 kbit/s are not among their rows' allowed rates; the
// lookups depend on these values as they are.
constexpr std::array<BitrateRow, 19> kRows{{
    {8, 16000, kLowRates},    {16, 16000, kLowRates},   {24, 16000, kLowRates},
    {32, 16000, kLowRates},   {40, 22050, kLowRates},   {48, 22050, kHighRates},
    {56, 24000, kHighRates},  {64, 32000, kHighRates},  {80, 44100, kHighRates},
    {96, 44100, kHighRates},  {112, 44100, kHighRates}, {128, 44100, kHighRates},
    {144, 24000, kHighRates}, {160, 44100, kHighRates}, {192, 44100, kHighRates},
    {224, 44100, kHighRates}, {256, 44100, kHighRates}, {320, 44100, kHighRates},
    {384, 44100, kHighRates},
}};
constexpr std::array<BitrateRow, 19> kMonoRows = kRows;
constexpr std::array<BitrateRow, 19> kMultiChannelRows = kRows;

bool Allows(const BitrateRow& row, int32_t sampleRate) {
    return sampleRate != 0 && std::ranges::find(row.allowedSampleRates, sampleRate) != row.allowedSampleRates.end();
}

// The last row nearest to target by distance(row); null when no row is considered.
template <typename Considered, typename Distance>
const BitrateRow* Nearest(std::span<const BitrateRow> rows, Considered considered, Distance distance) {
    const BitrateRow* best = nullptr;
    int64_t bestDistance = 0;
    for (const BitrateRow& row : rows) {
        if (!considered(row)) continue;
        const int64_t d = distance(row);
        if (!best || d <= bestDistance) { // the later row wins a tie
            best = &row;
            bestDistance = d;
        }
    }
    return best;
}
} // namespace

std::span<const BitrateRow> BitrateRows(int32_t channels) {
    return channels == 1 ? std::span<const BitrateRow>(kMonoRows) : std::span<const BitrateRow>(kMultiChannelRows);
}

const BitrateRow* FindBitrateRow(int32_t kbps, int32_t channels) {
    const auto rows = BitrateRows(channels);
    for (size_t i = 0; i < rows.size(); ++i) {
        const bool last = i + 1 == rows.size();
        if (rows[i].bitsPerSecond <= kbps && (last || rows[i + 1].bitsPerSecond > kbps)) return &rows[i];
    }
    return nullptr;
}

bool ChooseSampleRate(int32_t kbps, int32_t channels, int32_t sourceRate, int32_t& chosenRate, int32_t& rowBitrate) {
    chosenRate = 0;
    const BitrateRow* row = FindBitrateRow(kbps, channels);
    if (!row) return false;
    chosenRate = Allows(*row, sourceRate) ? sourceRate : row->defaultSampleRate;
    rowBitrate = row->bitsPerSecond;
    if (Allows(*row, 48000) && sourceRate >= 48000) chosenRate = 48000;
    return true;
}

bool ChooseBitrate(int32_t& kbps, int32_t sampleRate, int32_t channels) {
    const int64_t wanted = kbps == 0 ? 160 : kbps;
    const auto rows = BitrateRows(channels);
    const BitrateRow* kept = Nearest(
        rows, [&](const BitrateRow& row) { return Allows(row, sampleRate); },
        [&](const BitrateRow& row) { return std::llabs(row.bitsPerSecond - wanted); });
    if (!kept)
        kept = Nearest(
            rows, [](const BitrateRow&) { return true; },
            [&](const BitrateRow& row) { return std::llabs(int64_t{row.defaultSampleRate} - sampleRate); });
    kbps = kept->bitsPerSecond;
    return true;
}

bool IsMpeg1SampleRate(int32_t sampleRate) { return sampleRate >= 32000; }
} // namespace sova
