// SPDX-License-Identifier: MIT
// A libebur128 meter set up for sova-host's channel order, owned by a unique_ptr.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include <ebur128.h>

namespace sovahost {
struct LoudnessStateDeleter {
    void operator()(ebur128_state* state) const { ebur128_destroy(&state); }
};
using LoudnessState = std::unique_ptr<ebur128_state, LoudnessStateDeleter>;

// Each channel's place around the listener as libebur128 names it (EBUR128_LEFT...), for 1 to 8
// channels in the WAVE order: quad is L R Ls Rs, 5.1 is L R C LFE Ls Rs, 7.1 adds the side pair
// after the back pair; the LFE is EBUR128_UNUSED.
std::vector<int> ChannelPlaces(int32_t channels);

// channels: 1 to 8, placed by ChannelPlaces. modes: libebur128's EBUR128_MODE_* flags.
// Throws std::bad_alloc when libebur128 cannot make it.
LoudnessState NewLoudnessState(int32_t rate, int32_t channels, int modes);

// Adds frames; throws std::bad_alloc on libebur128's only failure (it keeps a list of every block).
void AddToLoudnessState(ebur128_state* state, const float* interleaved, int64_t frames);

} // namespace sovahost
