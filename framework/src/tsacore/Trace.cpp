// SPDX-License-Identifier: MIT
// Trace configuration and statistics. Configuration sits behind a mutex; the counters are
// atomic.
#include <tsacore/debug/Trace.h>

#include <atomic>
#include <map>
#include <mutex>

namespace tsacore::debug {
namespace {
struct TraceState {
    std::mutex mutex;
    std::map<std::string, int32_t, std::less<>> channels; // enabled channel -> highest wanted level
    TraceSink sink;
};

// Constant-initialised, so reading them needs no guard: a disabled trace site costs one load.
constinit std::atomic<int32_t> changeCount{0};
constinit std::atomic<uint64_t> enabledQueries{0};
constinit std::atomic<uint64_t> linesTraced{0};

TraceState& State()
{
    static TraceState state;
    return state;
}
} // namespace

int32_t TraceChangeCount()
{
    return changeCount.load(std::memory_order_acquire);
}

bool TraceEnabled(const char* channel, int32_t level, bool /*flag*/)
{
    enabledQueries.fetch_add(1, std::memory_order_relaxed);
    if (channel == nullptr)
        return false;
    TraceState& s = State();
    std::lock_guard lock(s.mutex);
    const auto found = s.channels.find(std::string_view(channel));
    return found != s.channels.end() && level <= found->second;
}

void Trace(const char* line)
{
    linesTraced.fetch_add(1, std::memory_order_relaxed);
    if (line == nullptr)
        return;
    TraceState& s = State();
    TraceSink sink;
    {
        std::lock_guard lock(s.mutex);
        sink = s.sink;
    }
    if (sink)
        sink(line); // outside the lock: a sink may trace or reconfigure
}

void SetTraceSink(TraceSink sink)
{
    TraceState& s = State();
    std::lock_guard lock(s.mutex);
    s.sink = std::move(sink);
    changeCount.fetch_add(1, std::memory_order_acq_rel);
}

void EnableTraceChannel(const std::string& channel, int32_t level, bool enabled)
{
    TraceState& s = State();
    std::lock_guard lock(s.mutex);
    if (enabled)
        s.channels[channel] = level;
    else
        s.channels.erase(channel);
    changeCount.fetch_add(1, std::memory_order_acq_rel);
}

void ResetTraceConfiguration()
{
    TraceState& s = State();
    std::lock_guard lock(s.mutex);
    s.channels.clear();
    s.sink = nullptr;
    changeCount.fetch_add(1, std::memory_order_acq_rel);
}

TraceStatistics GetTraceStatistics()
{
    TraceStatistics stats;
    stats.enabledQueries = enabledQueries.load(std::memory_order_relaxed);
    stats.linesTraced = linesTraced.load(std::memory_order_relaxed);
    return stats;
}
} // namespace tsacore::debug
