// SPDX-License-Identifier: MIT
#include "host/ReadThrough.h"

namespace sovahost {
namespace {
// A damaged stretch costs the decoder one failed resync (1 KiB of input) per answer; this many
// -9s in a row without a frame means the rest of the stream cannot be decoded.
constexpr int kFruitlessRetries = 256;
} // namespace

ReadThroughReport ReadThrough(ReadSession& session, int32_t block, const BlockHandler& onBlock) {
    ReadThroughReport report;
    int fruitless = 0;
    while (true) {
        const int32_t result = session.Read(block);
        if (session.LastReadReportedLength()) report.endConfirmed = true;
        if (result == sova::sdk::kResultOK && session.FramesDone() > 0) {
            fruitless = 0;
            report.delivered += session.FramesDone();
            if (onBlock && !onBlock(session)) {
                report.stopped = true;
                return report;
            }
            continue;
        }
        if (report.endConfirmed) return report; // the end, its length told
        if (fruitless == 0) report.damagedAt.push_back(report.delivered);
        if (++fruitless >= kFruitlessRetries) {
            report.gaveUp = true;
            return report;
        }
    }
}
} // namespace sovahost
