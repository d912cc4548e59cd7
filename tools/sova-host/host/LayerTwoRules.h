// Which bitrate, channel mode and sample rate combinations MPEG Audio Layer II allows, checked by
// the host before it opens an output (ISO/IEC 11172-3 and 13818-3).
#pragma once

#include <cstdint>
#include <string>

namespace sovahost {
// Empty when the combination is allowed; otherwise why not, naming the allowed bitrates.
// channelMode is the settings' ChannelMode (-1 automatic: mono for one channel).
std::string RefusedCombination(int32_t kbps, int32_t rate, int32_t channels, int32_t channelMode);
// "MPEG-1" for 32000 Hz and more, "MPEG-2 LSF" below.
const char* MpegVersionName(int32_t rate);
} // namespace sovahost
