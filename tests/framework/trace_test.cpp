// SPDX-License-Identifier: MIT
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include <unistd.h>

#include <tsacore/debug/Trace.h>
#include <tsacore/threads/Thread.h>

using namespace tsacore::debug;

TEST(Trace, ChannelsLevelsSinkChangeCountAndThreadIds)
{
    constexpr const char* kChannel = "VeLog.Plug-in.SovaMp2";
    ResetTraceConfiguration();
    EXPECT_FALSE(TraceEnabled(kChannel, 5, true));

    int32_t count = TraceChangeCount();
    EnableTraceChannel(kChannel, 5, true);
    EXPECT_NE(TraceChangeCount(), count);
    EXPECT_TRUE(TraceEnabled(kChannel, 1, true));
    EXPECT_FALSE(TraceEnabled(kChannel, 6, true));                 // more detail than enabled
    EXPECT_FALSE(TraceEnabled("velog.plug-in.sovamp2", 5, true)); // names match exactly

    count = TraceChangeCount();
    std::vector<std::string> lines;
    SetTraceSink([&lines](const char* line) { lines.emplace_back(line); });
    EXPECT_NE(TraceChangeCount(), count);
    count = TraceChangeCount();
    Trace("<1> <VeLog.Plug-in.SovaMp2> <5> Loading libmpg123...\r\n");
    EXPECT_EQ(TraceChangeCount(), count); // lines leave the count alone
    EXPECT_EQ(lines, std::vector<std::string>{"<1> <VeLog.Plug-in.SovaMp2> <5> Loading libmpg123...\r\n"});

    EnableTraceChannel(kChannel, 5, false);
    EXPECT_NE(TraceChangeCount(), count);
    EXPECT_FALSE(TraceEnabled(kChannel, 1, true));
    SetTraceSink(nullptr);
    Trace("dropped\r\n");
    EXPECT_EQ(lines.size(), 1u);
    ResetTraceConfiguration();

    // Lines carry the kernel's thread ids, which differ per thread.
    EXPECT_EQ(tsacore::threads::GetCurrentThreadID(), uint64_t(::getpid())); // gtest's first thread
    uint64_t otherId = 0;
    std::thread([&otherId] { otherId = tsacore::threads::GetCurrentThreadID(); }).join();
    EXPECT_NE(otherId, 0u);
    EXPECT_NE(otherId, uint64_t(::getpid()));
}
