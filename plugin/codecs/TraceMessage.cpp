// SPDX-License-Identifier: MIT
#include "codecs/TraceMessage.h"

#include <sstream>

#include <tsacore/debug/Trace.h>
#include <tsacore/threads/Thread.h>

namespace sova {

void TraceMessage(TraceSite& site, const char* message) {
    const int32_t changeCount = tsacore::debug::TraceChangeCount();
    if (changeCount != site.lastChangeCount) {
        site.lastChangeCount = changeCount;
        site.enabled = tsacore::debug::TraceEnabled(kTraceChannel, kTraceLevel, true);
    }
    if (!site.enabled)
        return;

    std::ostringstream line;
    line << '<' << tsacore::threads::GetCurrentThreadID() << "> " << '<' << kTraceChannel << "> " << '<'
         << kTraceLevel << "> " << message << "\r\n";
    line.flush();
    tsacore::debug::Trace(line.str().c_str());
}

} // namespace sova
