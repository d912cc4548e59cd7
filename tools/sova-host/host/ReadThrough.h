// Reading a whole stream through the module, telling its end from damage. The module answers
// -9 both at the end and when the decoder failed on a damaged stretch; only at the end does it
// report the exact length first. A -9 without it is damage: the next call decodes on from the
// decoder's next good frame, so reading goes on while the decoder still delivers.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "host/ReadSession.h"

namespace sovahost {
struct ReadThroughReport {
    int64_t delivered = 0;            // frames handed over, every block included
    bool endConfirmed = false;        // the module reported the length at the end
    int64_t announced = -1;           // the length reported at open (libmpg123's estimate, -1 unknown)
    std::vector<int64_t> damagedAt;   // frames delivered before each damaged stretch
    bool gaveUp = false;              // the decoder delivered nothing more after damage
    bool stopped = false;             // the block handler asked to stop

    bool Damaged() const { return !damagedAt.empty() || gaveUp; }
    // Frames missing against the length announced at open (the frames the decoder skipped and
    // those the module dropped with its -9), 0 when unknown or none.
    int64_t LostFrames() const { return Damaged() && announced > delivered ? announced - delivered : 0; }
};

// Called with the session after every read that delivered frames (in Channel(c)[0..FramesDone()));
// returns false to stop reading.
using BlockHandler = std::function<bool(const ReadSession& session)>;

// Reads the opened session to its end, `block` frames per call.
ReadThroughReport ReadThrough(ReadSession& session, int32_t block, const BlockHandler& onBlock);

// "damaged at 25.173 s and 31.002 s: 1671680 frames (34.827 s) lost" (rate in Hz, 0 unknown).
std::string DamageInWords(const ReadThroughReport& report, int32_t sampleRate);
} // namespace sovahost
