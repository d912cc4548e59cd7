#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include <sys/ptrace.h>
#include <sys/wait.h>
#include <unistd.h>

#include <tsacore/debug/Contract.h>
#include <tsacore/debug/Trace.h>
#include <tsacore/threads/Thread.h>

using namespace tsacore::debug;

namespace {
constexpr const char* kChannel = "VeLog.Plug-in.SovaMp2";

class TraceTest : public ::testing::Test {
protected:
    void SetUp() override { ResetTraceConfiguration(); }
    void TearDown() override { ResetTraceConfiguration(); }
};
} // namespace

TEST_F(TraceTest, ChannelsLevelsSinkAndChangeCount)
{
    EXPECT_FALSE(TraceEnabled(kChannel, 5, true));

    int32_t count = TraceChangeCount();
    EnableTraceChannel(kChannel, 5, true);
    EXPECT_NE(TraceChangeCount(), count);
    EXPECT_TRUE(TraceEnabled(kChannel, 5, true));
    EXPECT_TRUE(TraceEnabled(kChannel, 1, true));
    EXPECT_FALSE(TraceEnabled(kChannel, 6, true));   // more detail than enabled
    EXPECT_FALSE(TraceEnabled("VeLog.Plug-in", 5, true)); // names match exactly
    EXPECT_FALSE(TraceEnabled("velog.plug-in.sovamp2", 5, true));
    EXPECT_FALSE(TraceEnabled(nullptr, 5, true));

    // Queries and lines leave the change count alone.
    count = TraceChangeCount();
    Trace("ignored\r\n");
    EXPECT_EQ(TraceChangeCount(), count);

    std::vector<std::string> lines;
    SetTraceSink([&lines](const char* line) { lines.emplace_back(line); });
    EXPECT_NE(TraceChangeCount(), count);
    Trace("<1> <VeLog.Plug-in.SovaMp2> <5> Loading libmpg123...\r\n");
    Trace("caf\xC3\xA9\r\n");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "<1> <VeLog.Plug-in.SovaMp2> <5> Loading libmpg123...\r\n");
    EXPECT_EQ(lines[1], "caf\xC3\xA9\r\n");

    count = TraceChangeCount();
    EnableTraceChannel(kChannel, 5, false);
    EXPECT_NE(TraceChangeCount(), count);
    EXPECT_FALSE(TraceEnabled(kChannel, 1, true));

    count = TraceChangeCount();
    SetTraceSink(nullptr);
    EXPECT_NE(TraceChangeCount(), count);
    Trace("dropped\r\n");
    EXPECT_EQ(lines.size(), 2u);

    EnableTraceChannel(kChannel, 3, true);
    count = TraceChangeCount();
    ResetTraceConfiguration();
    EXPECT_NE(TraceChangeCount(), count);
    EXPECT_FALSE(TraceEnabled(kChannel, 1, true));
}

TEST_F(TraceTest, StatisticsCountEveryQueryAndLineAcrossThreads)
{
    std::mutex mutex;
    size_t received = 0;
    SetTraceSink([&](const char*) {
        std::lock_guard lock(mutex);
        ++received;
    });
    EnableTraceChannel(kChannel, 5, true);
    const TraceStatistics before = GetTraceStatistics();

    constexpr int kThreads = 4;
    constexpr int kRounds = 500;
    std::atomic<int> enabledAnswers{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kRounds; ++i) {
                if (TraceEnabled(kChannel, 5, true))
                    ++enabledAnswers;
                Trace("line\r\n");
                if (t == 0 && i % 50 == 0)
                    EnableTraceChannel("Other.Channel", i, true); // reconfigure while others trace
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();

    const TraceStatistics after = GetTraceStatistics();
    EXPECT_EQ(after.enabledQueries - before.enabledQueries, uint64_t(kThreads * kRounds));
    EXPECT_EQ(after.linesTraced - before.linesTraced, uint64_t(kThreads * kRounds));
    EXPECT_EQ(enabledAnswers.load(), kThreads * kRounds);
    EXPECT_EQ(received, size_t(kThreads * kRounds));
}

TEST(Contract, ReporterDecidesAndDebuggerIsDetected)
{
    EXPECT_FALSE(BreakAfterContractDialog("sDLLInstance != 0", "Common/Module/private/win/Module_WIN", 50));

    std::string seen;
    SetContractReporter([&seen](const char* condition, const char* path, int32_t line) {
        seen = std::string(condition) + "|" + path + "|" + std::to_string(line);
        return line == 44;
    });
    EXPECT_FALSE(BreakAfterContractDialog("sResourceManager != 0", "Common/Module/private/win/Module_WIN", 57));
    EXPECT_EQ(seen, "sResourceManager != 0|Common/Module/private/win/Module_WIN|57");
    EXPECT_TRUE(BreakAfterContractDialog("sResourceManager != 0", "Common/Module/private/win/Module_WIN", 44));
    EXPECT_TRUE(BreakAfterContractDialog(nullptr, nullptr, 44)); // null texts arrive as empty ones
    EXPECT_EQ(seen, "||44");
    SetContractReporter(nullptr);
    EXPECT_FALSE(BreakAfterContractDialog("x", "y", 44));

    // A child that asks its parent to trace it sees a debugger; the parent normally does not.
    const bool parentTraced = IsDebuggerAttached();
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::ptrace(PTRACE_TRACEME, 0, nullptr, nullptr) != 0)
            ::_exit(2); // tracing not allowed here
        ::_exit(IsDebuggerAttached() ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 2)
        GTEST_SKIP() << "ptrace is not permitted in this environment";
    EXPECT_EQ(WEXITSTATUS(status), 1);
    if (!parentTraced) {
        EXPECT_FALSE(IsDebuggerAttached());
    }
}

TEST(Thread, IdentifiersAreTheKernelsAndDifferPerThread)
{
    const uint64_t mainId = tsacore::threads::GetCurrentThreadID();
    EXPECT_EQ(mainId, uint64_t(::getpid())); // gtest runs tests on the process's first thread
    uint64_t otherId = 0;
    std::thread([&otherId] { otherId = tsacore::threads::GetCurrentThreadID(); }).join();
    EXPECT_NE(otherId, 0u);
    EXPECT_NE(otherId, mainId);
}
