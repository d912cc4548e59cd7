// SPDX-License-Identifier: MIT
// Reading a whole stream through the module, telling its end from a decoder failure. The module
// answers -9 both at the end and when the decoder failed on a damaged stretch; only at the end
// does it report the exact length first. A -9 without it is a failure: the next call decodes on
// from the decoder's next good frame, so reading goes on while the decoder still delivers. What
// the frame headers promise is the other half of the check (StreamDamage.h).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "module/ReadSession.h"

namespace sovahost {
struct ReadThroughReport {
    int64_t delivered = 0;            // frames handed over, every block included
    bool endConfirmed = false;        // the module reported the length at the end
    std::vector<int64_t> damagedAt;   // frames delivered before each failure
    bool gaveUp = false;              // the decoder delivered nothing more after damage
    bool stopped = false;             // the block handler asked to stop

    bool DecoderFailed() const { return !damagedAt.empty() || gaveUp; }
};

// Called with the session after every read that delivered frames (in Channel(c)[0..FramesDone()));
// returns false to stop reading.
using BlockHandler = std::function<bool(const ReadSession& session)>;

// Reads the opened session to its end, `block` frames per call.
ReadThroughReport ReadThrough(ReadSession& session, int32_t block, const BlockHandler& onBlock);
} // namespace sovahost
