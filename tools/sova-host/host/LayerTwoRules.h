// SPDX-License-Identifier: MIT
// The rules of MPEG Audio Layer II (ISO/IEC 11172-3 and 13818-3) that sova-host applies itself:
// the sample rates, the bitrate of each header index, which bitrate each rate and channel mode
// allow, and the defaults sova-host chooses. One table for the format negotiation, the refusals,
// the help text and the frame-header reader; the module keeps its own, coarser table.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace sovahost::layer2 {
// The six rates, ascending: MPEG-2 LSF below 32000 Hz, MPEG-1 from there.
inline constexpr std::array<int32_t, 6> kRates = {16000, 22050, 24000, 32000, 44100, 48000};

bool IsMpegRate(int32_t rate);
bool IsMpeg1Rate(int32_t rate); // 32000 Hz and up
// "MPEG-1" or "MPEG-2 LSF"
const char* VersionName(int32_t rate);

// kbit/s of header bitrate index 1 to 14 (0 free format, 15 forbidden) for MPEG-1 or MPEG-2 LSF.
int32_t BitrateOfIndex(bool mpeg1, int index);

// The bitrates Layer II allows at a rate, ascending; `mono` is the channel mode, not the input.
// Empty for a rate that is not an MPEG rate.
std::vector<int32_t> AllowedBitrates(int32_t rate, bool mono);
bool Allows(int32_t kbps, int32_t rate, bool mono);
// The MPEG rates at which Layer II allows the bitrate in that mode, ascending.
std::vector<int32_t> RatesAllowing(int32_t kbps, bool mono);

// The bitrate sova-host writes when none is asked for, as twolame does: 192 (stereo) or
// 96 (mono) kbit/s for MPEG-1, 96 or 48 kbit/s for MPEG-2 LSF.
int32_t DefaultBitrate(int32_t rate, bool mono);
// The output rate for a source rate: the source's when it is an MPEG rate, else the nearest
// MPEG rate above it (48000 Hz above 48000 Hz).
int32_t OutputRateFor(int32_t sourceRate);

// Empty when Layer II allows the combination; else one sentence naming the bitrates allowed at
// that rate and the --rate that would allow the bitrate asked for. modeName says the mode in words.
std::string Refusal(int32_t kbps, int32_t rate, bool mono, const std::string& modeName);
} // namespace sovahost::layer2
