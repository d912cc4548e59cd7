// SPDX-License-Identifier: MIT
// The host's trace facility. Lines are wanted per channel and level; a host turns channels
// on and off and says where lines go. Every configuration change moves TraceChangeCount.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace tsacore::debug {
int32_t TraceChangeCount();
bool TraceEnabled(const char* channel, int32_t level, bool flag);
void Trace(const char* line); // one zero-terminated UTF-8 line, recorded as is

// Host side.
using TraceSink = std::function<void(const char* line)>;
void SetTraceSink(TraceSink sink);   // null sink: lines are dropped
// Enabled at level L, a channel wants its lines of level L and below.
void EnableTraceChannel(const std::string& channel, int32_t level, bool enabled);
void ResetTraceConfiguration();      // every channel off, no sink

struct TraceStatistics {
    uint64_t enabledQueries = 0; // calls of TraceEnabled
    uint64_t linesTraced = 0;    // calls of Trace
};
TraceStatistics GetTraceStatistics();
} // namespace tsacore::debug
