// The built module as a host sees it: start-up, shut-down and registration driving the codec
// bindings and the module resources, through SovaInterface only. Every test runs in a fresh
// process, so each one loads the module (and the codec libraries) for the first time.
#include <dlfcn.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include <platform/Loader.h>
#include <tsacore/config/Error.h>
#include <tsacore/debug/Contract.h>
#include <tsacore/debug/Trace.h>
#include <tsaui/drawbot/Supplier.h>
#include <tsaui/utility/OS_ResourceManager.h>
#include <uit/ImageProvider.h>

#include "CodecTestSupport.h"
#include "HostModule.h"
#include "HostObjects.h"

using codectest::OfferOnly;
using codectest::TraceCapture;
using Lines = std::vector<std::string>;

namespace {
constexpr int32_t kDescribe = 0, kStartup = 1, kShutdown = 2;

const std::string kLoadingMpg123 = "Loading libmpg123...";
const std::string kLoadingTwoLame = "Loading TwoLame...";

Lines RealVersionLines() {
    return {"TwoLame version detected: " + codectest::SystemTwoLameText("get_twolame_version"),
            "TwoLame URL: " + codectest::SystemTwoLameText("get_twolame_url")};
}

Lines Join(Lines a, const Lines& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

struct Counts {
    uint64_t managersLive, managersMade, providersLive, providersMade, suppliersLive, suppliersMade;
    static Counts Now() {
        using tsaui::drawbot::SupplierInterface;
        using tsaui::utility::OS_ResourceManager;
        return {OS_ResourceManager::LiveCount(), OS_ResourceManager::CreatedCount(), uit::ImageProvider::LiveCount(),
                uit::ImageProvider::CreatedCount(), SupplierInterface::LiveCount(), SupplierInterface::CreatedCount()};
    }
    auto Tie() const {
        return std::tie(managersLive, managersMade, providersLive, providersMade, suppliersLive, suppliersMade);
    }
    bool operator==(const Counts& other) const { return Tie() == other.Tie(); }
};
void PrintTo(const Counts& c, std::ostream* os) {
    *os << "managers " << c.managersLive << "/" << c.managersMade << ", providers " << c.providersLive << "/"
        << c.providersMade << ", suppliers " << c.suppliersLive << "/" << c.suppliersMade << " (live/made)";
}

// A host: the module, and the contract failures the framework reported.
struct Host {
    sovahost::HostModule module{SOVA_MODULE_PATH};
    std::vector<std::tuple<std::string, std::string, int32_t>> contracts;
    Host() {
        tsacore::debug::SetContractReporter([this](const char* condition, const char* path, int32_t line) {
            contracts.emplace_back(condition, path, line);
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

void ExpectContractError(Host& host, int32_t line) {
    try {
        host.Call(kShutdown);
        ADD_FAILURE() << "shut-down without module resources returned";
    } catch (const tsacore::config::Error& error) {
        EXPECT_EQ(error.Level(), 0);
        EXPECT_EQ(error.Literal(),
                  "$$$/tsacore/utility/Error/Contract/InputContractViolation=An input contract violation has occurred!");
        EXPECT_EQ(error.Message(), u"An input contract violation has occurred!");
        EXPECT_EQ(error.Number1(), 105);
        EXPECT_EQ(error.Number2(), 25);
        EXPECT_TRUE(error.Flag());
    }
    ASSERT_EQ(host.contracts.size(), 1u);
    EXPECT_EQ(host.contracts[0],
              std::make_tuple(std::string("sResourceManager != 0"), std::string("Common/Module/private/win/Module_WIN"),
                              line));
}
} // namespace

TEST(StartupSelector, RealSystemLibrariesBindInOrder) {
    TraceCapture trace; // no folders offered: the system's own search finds the Debian libraries
    Host host;
    EXPECT_EQ(host.Call(kStartup), 0);
    EXPECT_EQ(trace.TakeMessages(), Join({kLoadingMpg123, kLoadingTwoLame}, RealVersionLines()));

    // Again: libmpg123 returns at once; TwoLAME repeats its checks and version lines.
    EXPECT_EQ(host.Call(kStartup), 0);
    EXPECT_EQ(trace.TakeMessages(), RealVersionLines());
}

TEST(StartupSelector, FailedMpg123LeavesTwoLameAlone) {
    OfferOnly({"none"});
    TraceCapture trace;
    Host host;
    const Lines mpg123Lines{kLoadingMpg123,
                            "Could not load the default libmpg123 library. Checking for an alternate 'libmpg123-0.dll'",
                            "Could not load libmpg123!", "Could not find libmpg123 Library"};
    EXPECT_EQ(host.Call(kStartup), -1);
    EXPECT_EQ(trace.TakeMessages(), mpg123Lines);
    // Registration starts the plug-in too; it binds nothing here either.
    EXPECT_EQ(host.Describe(), 0);
    EXPECT_EQ(trace.TakeMessages(), mpg123Lines);
    EXPECT_EQ(host.Call(kShutdown), 0);
    EXPECT_TRUE(trace.Messages().empty()); // no TwoLAME to unload
}

TEST(StartupSelector, MissingTwoLameThenPresent) {
    OfferOnly({"real-mpg123-only"});
    TraceCapture trace;
    Host host;
    EXPECT_EQ(host.Call(kStartup), -1);
    EXPECT_EQ(trace.TakeMessages(),
              (Lines{kLoadingMpg123, kLoadingTwoLame,
                     "Could not load the default TwoLame library.  Looking for an alternate...",
                     "Could not find TwoLame Library"}));
    OfferOnly({"real"});
    EXPECT_EQ(host.Call(kStartup), 0); // libmpg123 stayed bound: no line from it
    EXPECT_EQ(trace.TakeMessages(), Join({kLoadingTwoLame}, RealVersionLines()));
}

TEST(StartupSelector, IncompatibleTwoLameFailsStartup) {
    OfferOnly({"fake-twolame-no-twolame_set_version", "real"});
    TraceCapture trace;
    Host host;
    EXPECT_EQ(host.Call(kStartup), -1);
    EXPECT_EQ(trace.TakeMessages(),
              (Lines{kLoadingMpg123, kLoadingTwoLame, "TwoLame version detected: 9.9.9-fake",
                     "TwoLame URL: https://fake.invalid/twolame", "Incompatible TwoLame Library"}));
    // The incompatible library stays loaded until shut-down.
    EXPECT_EQ(host.Describe(), 0);
    trace.TakeMessages();
    EXPECT_EQ(host.Call(kShutdown), 0);
    EXPECT_EQ(trace.TakeMessages(), Lines{"Unloading TwoLame..."});
}

TEST(LifetimeSelectors, RegisterThenShutDownMakesAndReleasesEachResourceOnce) {
    OfferOnly({"real"});
    Host host;
    const Counts before = Counts::Now();
    EXPECT_EQ(before, (Counts{0, 0, 0, 0, 0, 0}));
    TraceCapture trace;
    EXPECT_EQ(host.Describe(), 0);
    EXPECT_EQ(Counts::Now(), (Counts{1, 1, 1, 1, 1, 1}));
    EXPECT_EQ(trace.TakeMessages(), Join({kLoadingMpg123, kLoadingTwoLame}, RealVersionLines()));
    EXPECT_EQ(host.Call(kShutdown), 0);
    EXPECT_EQ(Counts::Now(), (Counts{0, 1, 0, 1, 0, 1}));
    EXPECT_EQ(trace.TakeMessages(), Lines{"Unloading TwoLame..."});
    EXPECT_TRUE(host.contracts.empty());

    // Registration after shut-down sets everything up again and binds TwoLAME afresh.
    EXPECT_EQ(host.Describe(), 0);
    EXPECT_EQ(Counts::Now(), (Counts{1, 2, 1, 2, 1, 2}));
    EXPECT_EQ(trace.TakeMessages(), Join({kLoadingTwoLame}, RealVersionLines()));
    EXPECT_EQ(host.Call(kShutdown), 0);
}

// Selectors 0, 2, 2, 1: the second shut-down finds nothing to unload and fails its contract;
// the start-up after it binds TwoLAME afresh while libmpg123, still bound, writes nothing.
TEST(LifetimeSelectors, ShutDownTwiceRaisesThenStartupRebindsOnlyTwoLame) {
    OfferOnly({"real"});
    Host host;
    TraceCapture trace;
    ASSERT_EQ(host.Describe(), 0);
    ASSERT_EQ(host.Call(kShutdown), 0);
    trace.TakeMessages();
    ExpectContractError(host, 57);
    EXPECT_TRUE(trace.TakeMessages().empty());
    EXPECT_EQ(Counts::Now().suppliersLive, 0u);

    EXPECT_EQ(host.Call(kStartup), 0);
    EXPECT_EQ(trace.TakeMessages(), Join({kLoadingTwoLame}, RealVersionLines()));
    EXPECT_EQ(Counts::Now().managersLive, 0u); // start-up alone creates no module resources
}

TEST(LifetimeSelectors, ShutDownWithoutRegistrationUnloadsTwoLameThenRaises) {
    OfferOnly({"real"});
    Host host;
    TraceCapture trace;
    ASSERT_EQ(host.Call(kStartup), 0);
    trace.TakeMessages();
    ExpectContractError(host, 57);
    EXPECT_EQ(trace.TakeMessages(), Lines{"Unloading TwoLame..."});
    // The error left the module half-way; the next start-up still binds TwoLAME afresh.
    EXPECT_EQ(host.Call(kStartup), 0);
    EXPECT_EQ(trace.TakeMessages(), Join({kLoadingTwoLame}, RealVersionLines()));
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
        EXPECT_EQ(Counts::Now(), (Counts{1, 1, 1, 1, 1, 1}));
    } // dlclose without shut-down
    if (void* still = dlopen(SOVA_MODULE_PATH, RTLD_LAZY | RTLD_NOLOAD)) {
        dlclose(still);
        GTEST_SKIP() << "this build of the module cannot be unloaded (it has unique symbols)";
    }
    EXPECT_EQ(Counts::Now(), (Counts{1, 1, 1, 1, 0, 1}));

    // Loaded again, the module records its new instance and registers as before.
    Host again;
    EXPECT_EQ(again.Describe(), 0);
    EXPECT_EQ(Counts::Now().suppliersLive, 1u);
    EXPECT_EQ(again.Call(kShutdown), 0);
    EXPECT_TRUE(again.contracts.empty());
}

TEST(TraceChannel, DisabledChannelFormatsNothingAndSitesAskOncePerChange) {
    using tsacore::debug::GetTraceStatistics;
    OfferOnly({"real"});
    Host host;
    int lines = 0;
    tsacore::debug::SetTraceSink([&](const char*) { ++lines; });
    const auto start = GetTraceStatistics();

    ASSERT_EQ(host.Call(kStartup), 0);
    auto now = GetTraceStatistics();
    EXPECT_EQ(now.linesTraced, start.linesTraced);
    EXPECT_EQ(now.enabledQueries - start.enabledQueries, 4u); // the four sites reached, each asked once

    ASSERT_EQ(host.Call(kStartup), 0); // version and home-page sites again, answered from their caches
    EXPECT_EQ(GetTraceStatistics().enabledQueries, now.enabledQueries);

    tsacore::debug::EnableTraceChannel("VeLog.Plug-in.SovaMp2", 5, true); // the configuration moves
    ASSERT_EQ(host.Call(kStartup), 0);
    auto after = GetTraceStatistics();
    EXPECT_EQ(after.enabledQueries - now.enabledQueries, 2u);
    EXPECT_EQ(after.linesTraced - now.linesTraced, 2u);
    EXPECT_EQ(lines, 2);
    tsacore::debug::ResetTraceConfiguration();
}

TEST(SovaHostStartup, ReportsResultsAndTraceLines) {
    auto run = [](const std::string& folder, std::string& out) {
        const std::string command = std::string(SOVA_HOST_PATH) + " --trace --codec-dir-only --codec-dir " +
                                    codectest::CodecFolder(folder) + " startup 2>&1";
        FILE* pipe = popen(command.c_str(), "r");
        if (!pipe)
            return -1;
        std::array<char, 4096> chunk{};
        size_t n;
        while ((n = fread(chunk.data(), 1, chunk.size(), pipe)) > 0)
            out.append(chunk.data(), n);
        const int status = pclose(pipe);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    std::string out;
    EXPECT_EQ(run("real", out), 0) << out;
    size_t at = 0;
    const Lines expectedInOrder =
        Join(Join({kLoadingMpg123, kLoadingTwoLame}, RealVersionLines()),
             {"selector 0 (register): 0", "format: \"MP2 Audio\" (mp2)", "selector 1 (startup): 0",
              "selector 2 (shutdown): 0", "alive: 0 resource manager(s)"});
    for (const std::string& expected : expectedInOrder) {
        const size_t found = out.find(expected, at);
        EXPECT_NE(found, std::string::npos) << "missing or out of order: " << expected << "\n" << out;
        if (found != std::string::npos)
            at = found;
    }

    out.clear();
    EXPECT_EQ(run("none", out), 1) << out;
    EXPECT_NE(out.find("Could not find libmpg123 Library"), std::string::npos) << out;
    EXPECT_EQ(out.find(kLoadingTwoLame), std::string::npos) << out;
    EXPECT_NE(out.find("selector 1 (startup): -1"), std::string::npos) << out;
}

// The framework's resource manager on a module other than the plug-in (this program exports no
// table of its own).
TEST(ResourceManager, FindsResourcesOfItsModuleByTypeAndNameInAnyCase) {
    const std::string path = codectest::CodecFolder("fake-resources") + "/libfakeresources.so";
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(module, nullptr) << dlerror();
    using tsaui::utility::OS_ResourceManager;
    const uint64_t made = OS_ResourceManager::CreatedCount();
    {
        OS_ResourceManager resources(module);
        EXPECT_EQ(OS_ResourceManager::LiveCount(), 1u);
        const auto layout = resources.Find("xml", "FormatOptions");
        ASSERT_TRUE(layout);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(layout.data), layout.size), "<layout/>");
        EXPECT_EQ(resources.Find("PNG", "icon").size, 3u);
        EXPECT_FALSE(resources.Find("XML", "ICON"));           // the type must match too
        EXPECT_FALSE(resources.Find("XML", "FORMATOPTIONSX"));
        EXPECT_FALSE(resources.Find(nullptr, "ICON"));
        EXPECT_FALSE(OS_ResourceManager(nullptr).Find("XML", "FORMATOPTIONS"));
        // A module without a table has no resources.
        void* libc = dlopen("libc.so.6", RTLD_NOW | RTLD_NOLOAD);
        ASSERT_NE(libc, nullptr);
        EXPECT_FALSE(OS_ResourceManager(libc).Find("XML", "FORMATOPTIONS"));
        dlclose(libc);
    }
    EXPECT_EQ(OS_ResourceManager::LiveCount(), 0u);
    EXPECT_EQ(OS_ResourceManager::CreatedCount(), made + 3);
    dlclose(module);
}
