// SPDX-License-Identifier: MIT
#include "host/LoudnessState.h"

#include <new>
#include <vector>

namespace sovahost {
std::vector<int> ChannelPlaces(int32_t channels) {
    switch (channels) {
    case 1: return {EBUR128_CENTER};
    case 2: return {EBUR128_LEFT, EBUR128_RIGHT};
    case 3: return {EBUR128_LEFT, EBUR128_RIGHT, EBUR128_CENTER};
    case 4: return {EBUR128_LEFT, EBUR128_RIGHT, EBUR128_LEFT_SURROUND, EBUR128_RIGHT_SURROUND};
    case 5: return {EBUR128_LEFT, EBUR128_RIGHT, EBUR128_CENTER, EBUR128_LEFT_SURROUND, EBUR128_RIGHT_SURROUND};
    case 6: return {EBUR128_LEFT, EBUR128_RIGHT, EBUR128_CENTER, EBUR128_UNUSED, EBUR128_LEFT_SURROUND, EBUR128_RIGHT_SURROUND};
    case 7: return {EBUR128_LEFT, EBUR128_RIGHT, EBUR128_CENTER, EBUR128_UNUSED, EBUR128_Mp180, EBUR128_Mp090, EBUR128_Mm090};
    default:
        return {EBUR128_LEFT,  EBUR128_RIGHT, EBUR128_CENTER, EBUR128_UNUSED,
                EBUR128_Mp135, EBUR128_Mm135, EBUR128_Mp090,  EBUR128_Mm090};
    }
}

LoudnessState NewLoudnessState(int32_t rate, int32_t channels, int modes) {
    LoudnessState state(ebur128_init(static_cast<unsigned>(channels), static_cast<unsigned long>(rate), modes));
    if (!state) throw std::bad_alloc();
    const std::vector<int> places = ChannelPlaces(channels);
    for (int32_t c = 0; c < channels; ++c) ebur128_set_channel(state.get(), static_cast<unsigned>(c), places[static_cast<size_t>(c)]);
    return state;
}

void AddToLoudnessState(ebur128_state* state, const float* interleaved, int64_t frames) {
    if (ebur128_add_frames_float(state, interleaved, static_cast<size_t>(frames)) != EBUR128_SUCCESS) throw std::bad_alloc();
}
} // namespace sovahost
