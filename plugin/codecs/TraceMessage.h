// SPDX-License-Identifier: MIT
// The module's diagnostic lines: channel "VeLog.Plug-in.SovaMp2", level 5, one line per call,
// "<thread id> <channel> <level> message\r\n". Every place that writes a line owns a TraceSite
// that caches whether the channel is wanted; the host is asked again only after its trace
// configuration changed, and nothing is formatted while the channel is off.
#pragma once

#include <cstdint>
#include <string>

namespace sova {

inline constexpr const char* kTraceChannel = "VeLog.Plug-in.SovaMp2";
inline constexpr int32_t kTraceLevel = 5;

struct TraceSite {
    int32_t lastChangeCount = -1; // no change count seen yet
    bool enabled = false;
};

void TraceMessage(TraceSite& site, const char* message);
inline void TraceMessage(TraceSite& site, const std::string& message) { TraceMessage(site, message.c_str()); }

} // namespace sova

// Writes one line through a trace site of its own at the place of use.
#define SOVA_TRACE(message)                                                                   \
    do {                                                                                      \
        static ::sova::TraceSite sovaTraceSite_;                                              \
        ::sova::TraceMessage(sovaTraceSite_, (message));                                      \
    } while (false)
