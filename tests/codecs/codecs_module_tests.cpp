// SPDX-License-Identifier: MIT
// The built module as a host sees it: start-up, shut-down and registration driving the codec
// bindings and the module resources, through SovaInterface only. One process per test, so each
// loads the module (and the codec libraries) for the first time.
#include <dlfcn.h>

#include <array>
#include <cstdio>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include <tsacore/config/Error.h>
#include <tsacore/debug/Contract.h>
#include <tsaui/drawbot/Supplier.h>
#include <tsaui/utility/OS_ResourceManager.h>
#include <uit/ImageProvider.h>

#include "CodecTestSupport.h"
#include "module/HostModule.h"
#include "module/HostObjects.h"
#include "Process.h"

using namespace codectest;

namespace {
constexpr int32_t kDescribe = 0, kStartup = 1, kShutdown = 2;

Lines Join(Lines a, const Lines& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Resource managers, image providers and drawing suppliers: alive now and made so far, each.
std::array<uint64_t, 6> Counts() {
    using tsaui::drawbot::SupplierInterface;
    using tsaui::utility::OS_ResourceManager;
    return {OS_ResourceManager::LiveCount(), OS_ResourceManager::CreatedCount(), uit::ImageProvider::LiveCount(),
            uit::ImageProvider::CreatedCount(), SupplierInterface::LiveCount(), SupplierInterface::CreatedCount()};
}

// A host: the module, and the contract failures the framework reported.
struct Host {
    sovahost::HostModule module{SOVA_MODULE_PATH};
    std::vector<std::string> contracts;
    Host() {
        tsacore::debug::SetContractReporter([this](const char* condition, const char* path, int32_t line) {
            contracts.push_back(std::string(condition) + " " + path + ":" + std::to_string(line));
            return false;
        });
    }
    ~Host() { tsacore::debug::SetContractReporter(nullptr); }
    int32_t Describe() {
        sovahost::Registrar registrar;
        return module.Call(kDescribe, nullptr, &registrar);
    }
    int32_t Call(int32_t selector) { return module.Call(selector, nullptr, nullptr); }
};
} // namespace

TEST(StartupSelector, RealSystemLibrariesBindInOrder) {
    TraceCapture trace; // no folders offered: the system's own search finds the Debian libraries
    Host host;
    EXPECT_EQ(host.Call(kStartup), 0);
    EXPECT_EQ(trace.TakeMessages(), Join({kLoadingMpg123, kLoadingTwoLame}, RealVersionLines()));
    EXPECT_EQ(host.Call(kStartup), 0); // libmpg123 returns at once; TwoLAME repeats its version lines
    EXPECT_EQ(trace.TakeMessages(), RealVersionLines());
}

TEST(StartupSelector, FailedMpg123OrIncompatibleTwoLameFails) {
    OfferOnly({"none"});
    TraceCapture trace;
    Host host;
    const Lines mpg123Lines{kLoadingMpg123, kMpg123Alternate, "Could not load libmpg123!",
                            "Could not find libmpg123 Library"};
    EXPECT_EQ(host.Call(kStartup), -1);
    EXPECT_EQ(trace.TakeMessages(), mpg123Lines); // no TwoLAME line
    EXPECT_EQ(host.Describe(), 0);                // registration starts the plug-in too
    EXPECT_EQ(trace.TakeMessages(), mpg123Lines);
    EXPECT_EQ(host.Call(kShutdown), 0);
    EXPECT_TRUE(trace.TakeMessages().empty()); // no TwoLAME to unload

    OfferOnly({"fake-twolame-no-twolame_set_version", "real"});
    EXPECT_EQ(host.Call(kStartup), -1);
    EXPECT_EQ(trace.TakeMessages(), (Lines{kLoadingMpg123, kLoadingTwoLame, "TwoLame version detected: 9.9.9-fake",
                                           "TwoLame URL: https://fake.invalid/twolame", "Incompatible TwoLame Library"}));
}

// Selectors 0, 2, 1, 2, 2: each resource made and released once; start-up rebinds TwoLAME while
// libmpg123, still bound, writes nothing; a shut-down without resources unloads TwoLAME and then
// raises the contract error out of SovaInterface, with its fixed numbers and line.
TEST(LifetimeSelectors, RegisterShutDownStartUpThenASecondShutDownRaisesError105And25AtContractLine57) {
    OfferOnly({"real"});
    Host host;
    EXPECT_EQ(Counts(), (std::array<uint64_t, 6>{0, 0, 0, 0, 0, 0}));
    TraceCapture trace;
    EXPECT_EQ(host.Describe(), 0);
    EXPECT_EQ(Counts(), (std::array<uint64_t, 6>{1, 1, 1, 1, 1, 1}));
    EXPECT_EQ(trace.TakeMessages(), Join({kLoadingMpg123, kLoadingTwoLame}, RealVersionLines()));
    EXPECT_EQ(host.Call(kShutdown), 0);
    EXPECT_EQ(Counts(), (std::array<uint64_t, 6>{0, 1, 0, 1, 0, 1}));
    EXPECT_EQ(trace.TakeMessages(), Lines{"Unloading TwoLame..."});

    EXPECT_EQ(host.Call(kStartup), 0);
    EXPECT_EQ(trace.TakeMessages(), Join({kLoadingTwoLame}, RealVersionLines()));
    EXPECT_EQ(Counts()[1], 1u); // start-up alone makes no module resources

    for (const Lines& unloading : {Lines{"Unloading TwoLame..."}, Lines{}}) {
        try {
            host.Call(kShutdown);
            ADD_FAILURE() << "shut-down without module resources returned";
        } catch (const tsacore::config::Error& error) {
            EXPECT_EQ(error.Literal(),
                      "$$$/tsacore/utility/Error/Contract/InputContractViolation=An input contract violation has occurred!");
            EXPECT_EQ(error.Message(), u"An input contract violation has occurred!");
            EXPECT_EQ(std::make_tuple(error.Level(), error.Number1(), error.Number2(), error.Flag()),
                      std::make_tuple(0, 105, 25, true));
        }
        EXPECT_EQ(trace.TakeMessages(), unloading);
    }
    EXPECT_EQ(host.contracts, Lines(2, "sResourceManager != 0 Common/Module/private/win/Module_WIN:57"));
}

// Leak checking (sanitized builds) stays off while the module makes resources that nobody
// releases by design: unloading without shut-down frees only the drawing supplier.
extern "C" void __lsan_disable() __attribute__((weak));
extern "C" void __lsan_enable() __attribute__((weak));

TEST(LifetimeSelectors, UnloadingTheModuleReleasesTheDrawingSupplier) {
    OfferOnly({"real"});
    {
        Host host;
        if (__lsan_disable) __lsan_disable();
        ASSERT_EQ(host.Describe(), 0);
        if (__lsan_enable) __lsan_enable();
    } // dlclose without shut-down
    if (void* still = dlopen(SOVA_MODULE_PATH, RTLD_LAZY | RTLD_NOLOAD)) {
        dlclose(still);
        GTEST_SKIP() << "this build of the module cannot be unloaded (it has unique symbols)";
    }
    EXPECT_EQ(Counts(), (std::array<uint64_t, 6>{1, 1, 1, 1, 0, 1}));
    Host again; // loaded again, the module records its new instance and registers as before
    EXPECT_EQ(again.Describe(), 0);
    EXPECT_EQ(again.Call(kShutdown), 0);
}

TEST(TraceChannel, DisabledChannelFormatsNothingAndSitesAskOncePerChange) {
    using tsacore::debug::GetTraceStatistics;
    OfferOnly({"real"});
    Host host;
    int lines = 0;
    tsacore::debug::SetTraceSink([&](const char*) { ++lines; });
    const auto start = GetTraceStatistics();
    ASSERT_EQ(host.Call(kStartup), 0);
    const auto off = GetTraceStatistics();
    EXPECT_EQ(off.linesTraced, start.linesTraced);
    EXPECT_EQ(off.enabledQueries - start.enabledQueries, 4u); // the four sites reached, each asked once
    ASSERT_EQ(host.Call(kStartup), 0); // version and home-page sites again, answered from their caches
    EXPECT_EQ(GetTraceStatistics().enabledQueries, off.enabledQueries);
    EXPECT_EQ(lines, 0);

    tsacore::debug::EnableTraceChannel("VeLog.Plug-in.SovaMp2", 5, true); // the configuration moves
    ASSERT_EQ(host.Call(kStartup), 0);
    const auto on = GetTraceStatistics();
    EXPECT_EQ(on.enabledQueries - off.enabledQueries, 2u);
    EXPECT_EQ(on.linesTraced - off.linesTraced, 2u);
    EXPECT_EQ(lines, 2);
    tsacore::debug::ResetTraceConfiguration();
}

TEST(SovaHostStartup, ReportsResultsAndTraceLines) {
    auto run = [](const std::string& folder, std::string& out) {
        const testsupport::ProcessRun run = testsupport::RunShell(
            std::string(SOVA_HOST_PATH) + " --trace --codec-dir-only --codec-dir " + CodecFolder(folder) + " startup 2>&1");
        out += run.out;
        return run.ExitCode();
    };
    std::string out;
    EXPECT_EQ(run("real", out), 0) << out;
    size_t at = 0;
    for (const std::string& expected :
         Join(Join({kLoadingMpg123, kLoadingTwoLame}, RealVersionLines()),
              {"selector 0 (register): 0", "selector 1 (startup): 0", "selector 2 (shutdown): 0"})) {
        at = out.find(expected, at);
        ASSERT_NE(at, std::string::npos) << "missing or out of order: " << expected << "\n" << out;
    }
    out.clear();
    EXPECT_EQ(run("none", out), 1) << out;
    EXPECT_NE(out.find("Could not find libmpg123 Library"), std::string::npos) << out;
    EXPECT_EQ(out.find(kLoadingTwoLame), std::string::npos) << out;
}
