// The codec bindings inside the module's objects: loading with the alternate names, the
// presence rules, the trace lines, and the decoder calls through the resolved entry points.
// Every test starts from a freshly loaded process (one process per test).
#include <dlfcn.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <platform/Loader.h>
#include <tsacore/debug/Trace.h>
#include <tsaui/utility/OS_ResourceManager.h>

#include <tsacore/config/Error.h>
#include <tsacore/debug/Contract.h>
#include <uit/ImageProvider.h>

#include "CodecTestSupport.h"
#include "Common/Module/private/win/Module_WIN.h"
#include "codecs/Mpg123Library.h"
#include "codecs/TwoLameLibrary.h"
#include "codecs/TraceMessage.h"

using codectest::OfferOnly;
using codectest::TraceCapture;
using sova::Mpg123Library;
using sova::TwoLameLibrary;
using Lines = std::vector<std::string>;

namespace {
const std::string kLoadingMpg123 = "Loading libmpg123...";
const std::string kMpg123Alternate =
    "Could not load the default libmpg123 library. Checking for an alternate 'libmpg123-0.dll'";
const std::string kLoadingTwoLame = "Loading TwoLame...";
const std::string kTwoLameAlternate = "Could not load the default TwoLame library.  Looking for an alternate...";

std::string LoadedFrom(platform::ModuleHandle module) {
    return std::filesystem::path(platform::ModuleFilePath(module)).parent_path().filename().string();
}

template <class T> T& FakeGlobal(platform::ModuleHandle module, const char* name) {
    void* address = dlsym(module, name);
    if (!address)
        throw std::runtime_error(std::string("fake library lacks ") + name);
    return *static_cast<T*>(address);
}
} // namespace

TEST(Mpg123Binding, RealLibraryBindsOnceAndStaysBound) {
    OfferOnly({"real"});
    TraceCapture trace;
    ASSERT_TRUE(Mpg123Library::Bind());
    EXPECT_EQ(trace.TakeMessages(), Lines{kLoadingMpg123});
    EXPECT_EQ(LoadedFrom(Mpg123Library::Handle()), "real");

    // Bound: no load, no look-up, no line, even with the library gone from the folders.
    OfferOnly({"none"});
    EXPECT_TRUE(Mpg123Library::Bind());
    EXPECT_TRUE(trace.Messages().empty());
    ASSERT_EQ(Mpg123Library::kEntryPointNames.size(), 21u);
    EXPECT_STREQ(Mpg123Library::kEntryPointNames.front(), "mpg123_init");
    EXPECT_STREQ(Mpg123Library::kEntryPointNames.back(), "mpg123_length");
}

TEST(Mpg123Binding, OnlyTheAlternateBinds) {
    OfferOnly({"alternates"});
    TraceCapture trace;
    EXPECT_TRUE(Mpg123Library::Bind());
    EXPECT_EQ(trace.Messages(), (Lines{kLoadingMpg123, kMpg123Alternate}));
    EXPECT_EQ(platform::ModuleFilePath(Mpg123Library::Handle()),
              codectest::CodecFolder("alternates") + "/libmpg123.so.0");
}

TEST(Mpg123Binding, NeitherFileLoads) {
    OfferOnly({"none"});
    TraceCapture trace;
    const Lines expected{kLoadingMpg123, kMpg123Alternate, "Could not load libmpg123!",
                         "Could not find libmpg123 Library"};
    EXPECT_FALSE(Mpg123Library::Bind());
    EXPECT_EQ(trace.TakeMessages(), expected);
    EXPECT_EQ(Mpg123Library::Handle(), nullptr);
    // Nothing held: the next attempt loads again, and succeeds once the library is there.
    EXPECT_FALSE(Mpg123Library::Bind());
    EXPECT_EQ(trace.TakeMessages(), expected);
    OfferOnly({"real"});
    EXPECT_TRUE(Mpg123Library::Bind());
    EXPECT_EQ(trace.TakeMessages(), Lines{kLoadingMpg123});
}

TEST(Mpg123Binding, LibraryLackingAnUncalledEntryPointStaysLoadedButUnbound) {
    OfferOnly({"fake-mpg123-no-getparam"});
    TraceCapture trace;
    EXPECT_FALSE(Mpg123Library::Bind());
    EXPECT_EQ(trace.TakeMessages(), (Lines{kLoadingMpg123, "Incompatible libmpg123 Library"}));
    EXPECT_FALSE(Mpg123Library::IsBound());
    ASSERT_NE(Mpg123Library::Handle(), nullptr);
    EXPECT_EQ(Mpg123Library::Functions().mpg123_getparam, nullptr);
    EXPECT_NE(Mpg123Library::Functions().mpg123_length, nullptr);

    // Held but incomplete: a later Bind skips loading and checks again.
    OfferOnly({"real"});
    EXPECT_FALSE(Mpg123Library::Bind());
    EXPECT_EQ(trace.TakeMessages(), Lines{"Incompatible libmpg123 Library"});

    Mpg123Library::Unload();
    EXPECT_EQ(trace.TakeMessages(), Lines{"Unloading libmpg123..."});
    EXPECT_EQ(Mpg123Library::Handle(), nullptr);
    Mpg123Library::Unload(); // nothing held: no line
    EXPECT_TRUE(trace.Messages().empty());
}

TEST(Mpg123Decoder, GuardedCallsAndFailedStart) {
    OfferOnly({"fake-mpg123"});
    ASSERT_TRUE(Mpg123Library::Bind());
    const platform::ModuleHandle fake = Mpg123Library::Handle();
    int& readCalls = FakeGlobal<int>(fake, "fake_mpg123_read_calls");
    int& exitCalls = FakeGlobal<int>(fake, "fake_mpg123_exit_calls");

    TraceCapture trace;
    mpg123_handle* h = Mpg123Library::CreateDecoder();
    ASSERT_NE(h, nullptr);
    long rate = 0;
    int channels = 0, encoding = 0;
    mpg123_frameinfo info{};
    int64_t frames = 0;
    unsigned char buffer[16];
    size_t done = 0;
    EXPECT_EQ(Mpg123Library::LockOutputFormat(nullptr, &rate, &channels, &encoding), MPG123_ERR_NULL);
    EXPECT_EQ(Mpg123Library::LockOutputFormat(h, &rate, nullptr, &encoding), MPG123_ERR_NULL);
    EXPECT_EQ(Mpg123Library::LockOutputFormat(h, &rate, &channels, &encoding), -1); // the library's own code
    EXPECT_EQ(Mpg123Library::GetFrameInfo(h, nullptr), MPG123_ERR_NULL);
    EXPECT_EQ(Mpg123Library::GetFrameInfo(h, &info), 0);
    EXPECT_EQ(Mpg123Library::GetStreamLength(nullptr, &frames), MPG123_ERR_NULL);
    EXPECT_EQ(Mpg123Library::GetStreamLength(h, &frames), 0); // unknown length is not a failure...
    EXPECT_EQ(frames, -1);                                     // ...but -1, sign kept
    EXPECT_EQ(Mpg123Library::GetOutputBlockSize(nullptr), 0u);
    EXPECT_EQ(Mpg123Library::ReadDecoded(h, nullptr, sizeof buffer, &done), MPG123_ERR_NULL);
    EXPECT_EQ(Mpg123Library::ReadDecoded(h, buffer, sizeof buffer, nullptr), MPG123_ERR_NULL);
    EXPECT_EQ(Mpg123Library::ReadDecoded(h, buffer, 0, &done), MPG123_ERR);
    EXPECT_EQ(readCalls, 0);
    EXPECT_EQ(Mpg123Library::ReadDecoded(h, buffer, sizeof buffer, &done), MPG123_DONE);
    EXPECT_EQ(readCalls, 1);
    EXPECT_EQ(Mpg123Library::CloseDecoder(h), 0);
    EXPECT_EQ(Mpg123Library::CloseDecoder(nullptr), 0); // whatever the reader holds, null included
    EXPECT_EQ(exitCalls, 2);
    EXPECT_TRUE(trace.TakeMessages().empty());

    FakeGlobal<int>(fake, "fake_mpg123_init_result") = MPG123_ERR;
    EXPECT_EQ(Mpg123Library::CreateDecoder(), nullptr);
    EXPECT_EQ(trace.Messages(), Lines{"Cannot initialize mpg123 library: fake refused to start"});
}

TEST(TwoLameBinding, RealLibraryTracesVersionOnEveryBindUntilUnloaded) {
    OfferOnly({"real"});
    TraceCapture trace;
    const std::string version = codectest::SystemTwoLameText("get_twolame_version");
    const std::string url = codectest::SystemTwoLameText("get_twolame_url");
    const Lines versionLines{"TwoLame version detected: " + version, "TwoLame URL: " + url};
    ASSERT_TRUE(TwoLameLibrary::Bind());
    Lines expected{kLoadingTwoLame};
    expected.insert(expected.end(), versionLines.begin(), versionLines.end());
    EXPECT_EQ(trace.TakeMessages(), expected);
    EXPECT_EQ(LoadedFrom(TwoLameLibrary::Handle()), "real");

    EXPECT_TRUE(TwoLameLibrary::Bind()); // no early return: the checks and version lines repeat
    EXPECT_EQ(trace.TakeMessages(), versionLines);

    // The table is what the encoder calls: a real encoder comes up and goes away through it.
    const sova::TwoLameFunctions& tl = TwoLameLibrary::Functions();
    twolame_options* options = tl.twolame_init();
    ASSERT_NE(options, nullptr);
    EXPECT_EQ(tl.twolame_set_num_channels(options, 2), 0);
    EXPECT_EQ(tl.twolame_set_in_samplerate(options, 48000), 0);
    EXPECT_EQ(tl.twolame_init_params(options), 0);
    tl.twolame_close(&options);

    TwoLameLibrary::UnloadIfLoaded();
    EXPECT_EQ(trace.TakeMessages(), Lines{"Unloading TwoLame..."});
    EXPECT_FALSE(TwoLameLibrary::IsBound());
    EXPECT_EQ(TwoLameLibrary::Handle(), nullptr);
    TwoLameLibrary::UnloadIfLoaded(); // nothing held: nothing happens
    TwoLameLibrary::Unload();         // nothing held: clears the flag, no line
    EXPECT_TRUE(trace.TakeMessages().empty());

    EXPECT_TRUE(TwoLameLibrary::Bind()); // bound afresh
    EXPECT_EQ(trace.TakeMessages(), expected);
}

// Each case starts from nothing loaded; TwoLAME's unload resets its whole state.
TEST(TwoLameBinding, PresenceRulesAndAlternates) {
    const std::string fakeVersion = "TwoLame version detected: 9.9.9-fake";
    const std::string fakeUrl = "TwoLame URL: https://fake.invalid/twolame";
    const std::string incompatible = "Incompatible TwoLame Library";
    struct Case {
        std::string folder;
        bool bound;
        bool loaded;
        Lines lines;
    };
    const Case cases[] = {
        {"fake-twolame", true, true, {kLoadingTwoLame, fakeVersion, fakeUrl}},
        {"fake-twolame-alternate", true, true, {kLoadingTwoLame, kTwoLameAlternate, fakeVersion, fakeUrl}},
        {"none", false, false, {kLoadingTwoLame, kTwoLameAlternate, "Could not find TwoLame Library"}},
        {"fake-twolame-no-version", false, true, {kLoadingTwoLame}},
        {"fake-twolame-empty-version", false, true, {kLoadingTwoLame, "Unable to detect TwoLame version"}},
        {"fake-twolame-no-get_twolame_url", true, true, {kLoadingTwoLame, fakeVersion}},
        {"fake-twolame-no-twolame_print_config", true, true, {kLoadingTwoLame, fakeVersion, fakeUrl}},
        {"fake-twolame-no-twolame_set_verbosity", true, true, {kLoadingTwoLame, fakeVersion, fakeUrl}},
        {"fake-twolame-no-twolame_set_version", false, true, {kLoadingTwoLame, fakeVersion, fakeUrl, incompatible}},
        {"fake-twolame-no-twolame_set_num_ancillary_bits", false, true,
         {kLoadingTwoLame, fakeVersion, fakeUrl, incompatible}},
    };
    TraceCapture trace;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.folder);
        OfferOnly({c.folder});
        EXPECT_EQ(TwoLameLibrary::Bind(), c.bound);
        EXPECT_EQ(TwoLameLibrary::IsBound(), c.bound);
        EXPECT_EQ(trace.TakeMessages(), c.lines);
        EXPECT_EQ(TwoLameLibrary::Handle() != nullptr, c.loaded);
        if (c.loaded && !c.bound) {
            // Loaded but unbound: a later Bind skips loading and repeats the checks only.
            Lines again(c.lines.begin() + 1, c.lines.end());
            EXPECT_FALSE(TwoLameLibrary::Bind());
            EXPECT_EQ(trace.TakeMessages(), again);
        }
        TwoLameLibrary::UnloadIfLoaded();
        EXPECT_EQ(trace.TakeMessages(), c.loaded ? Lines{"Unloading TwoLame..."} : Lines{});
    }
}

TEST(TwoLameBinding, RealAlternateBinds) {
    OfferOnly({"alternates"});
    TraceCapture trace;
    EXPECT_TRUE(TwoLameLibrary::Bind());
    const Lines messages = trace.Messages();
    ASSERT_EQ(messages.size(), 4u);
    EXPECT_EQ(messages[0], kLoadingTwoLame);
    EXPECT_EQ(messages[1], kTwoLameAlternate);
    EXPECT_EQ(messages[2].rfind("TwoLame version detected: ", 0), 0u);
    EXPECT_EQ(LoadedFrom(TwoLameLibrary::Handle()), "alternates");
}

TEST(TraceMessage, SiteAsksAgainOnlyWhenTheConfigurationChanges) {
    using tsacore::debug::GetTraceStatistics;
    static sova::TraceSite site;
    std::vector<std::string> lines;
    tsacore::debug::SetTraceSink([&](const char* line) { lines.emplace_back(line); });

    const auto before = GetTraceStatistics();
    for (int i = 0; i < 3; ++i)
        sova::TraceMessage(site, "off");
    auto now = GetTraceStatistics();
    EXPECT_EQ(now.enabledQueries - before.enabledQueries, 1u); // asked once, cached since
    EXPECT_EQ(now.linesTraced, before.linesTraced);             // nothing formatted or recorded
    EXPECT_TRUE(lines.empty());

    tsacore::debug::EnableTraceChannel("VeLog.Plug-in.SovaMp2", 5, true);
    sova::TraceMessage(site, "on");
    sova::TraceMessage(site, "on again");
    now = GetTraceStatistics();
    EXPECT_EQ(now.enabledQueries - before.enabledQueries, 2u);
    EXPECT_EQ(now.linesTraced - before.linesTraced, 2u);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "<" + std::to_string(gettid()) + "> <VeLog.Plug-in.SovaMp2> <5> on\r\n");

    // Another site has its own cache; a channel below level 5 does not want level 5 lines.
    static sova::TraceSite other;
    tsacore::debug::EnableTraceChannel("VeLog.Plug-in.SovaMp2", 4, true);
    sova::TraceMessage(other, "too detailed");
    sova::TraceMessage(site, "too detailed");
    EXPECT_EQ(lines.size(), 2u);
    EXPECT_EQ(GetTraceStatistics().enabledQueries - before.enabledQueries, 4u);
    tsacore::debug::ResetTraceConfiguration();
}

// Both real libraries through the resolved tables only: a second of stereo tone encoded with
// TwoLAME and decoded again with libmpg123, as float samples of the stream's own format.
TEST(CodecTables, RealLibrariesRoundTripThroughTheResolvedEntryPoints) {
    OfferOnly({"real"});
    ASSERT_TRUE(Mpg123Library::Bind());
    ASSERT_TRUE(TwoLameLibrary::Bind());
    const sova::TwoLameFunctions& tl = TwoLameLibrary::Functions();

    constexpr int kRate = 44100;
    std::vector<short> pcm(2 * kRate);
    for (int i = 0; i < kRate; ++i)
        pcm[2 * i] = pcm[2 * i + 1] = static_cast<short>(16000 * std::sin(2 * M_PI * 440.0 * i / kRate));
    twolame_options* options = tl.twolame_init();
    ASSERT_NE(options, nullptr);
    tl.twolame_set_num_channels(options, 2);
    tl.twolame_set_in_samplerate(options, kRate);
    tl.twolame_set_out_samplerate(options, kRate);
    tl.twolame_set_bitrate(options, 192);
    tl.twolame_set_mode(options, TWOLAME_STEREO);
    ASSERT_EQ(tl.twolame_init_params(options), 0);
    std::vector<unsigned char> mp2(64 * 1024);
    const int encoded = tl.twolame_encode_buffer_interleaved(options, pcm.data(), kRate, mp2.data(), int(mp2.size()));
    ASSERT_GT(encoded, 0);
    const int flushed = tl.twolame_encode_flush(options, mp2.data() + encoded, int(mp2.size()) - encoded);
    ASSERT_GE(flushed, 0);
    tl.twolame_close(&options);
    const std::string path = testing::TempDir() + "codecs_round_trip.mp2";
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(mp2.data()), encoded + flushed);

    mpg123_handle* h = Mpg123Library::CreateDecoder();
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(Mpg123Library::OpenStream(h, path), MPG123_OK);
    long rate = 0;
    int channels = 0, encoding = 0;
    ASSERT_EQ(Mpg123Library::LockOutputFormat(h, &rate, &channels, &encoding), 0);
    EXPECT_EQ(rate, kRate);
    EXPECT_EQ(channels, 2);
    EXPECT_EQ(encoding, MPG123_ENC_FLOAT_32); // forced float output
    mpg123_frameinfo info{};
    ASSERT_EQ(Mpg123Library::GetFrameInfo(h, &info), MPG123_OK);
    EXPECT_EQ(info.layer, 2);
    EXPECT_EQ(info.bitrate, 192);
    const uint32_t block = Mpg123Library::GetOutputBlockSize(h);
    ASSERT_GT(block, 0u);

    std::vector<unsigned char> buffer(block);
    std::vector<float> samples;
    int result = MPG123_OK;
    while (result == MPG123_OK || result == MPG123_NEW_FORMAT) {
        size_t done = 0;
        result = Mpg123Library::ReadDecoded(h, buffer.data(), buffer.size(), &done);
        const float* decoded = reinterpret_cast<const float*>(buffer.data());
        samples.insert(samples.end(), decoded, decoded + done / sizeof(float));
    }
    EXPECT_EQ(result, MPG123_DONE);
    int64_t frames = 0;
    EXPECT_EQ(Mpg123Library::GetStreamLength(h, &frames), 0);
    EXPECT_EQ(frames, int64_t(samples.size() / 2));
    EXPECT_GE(frames, kRate);
    EXPECT_LE(frames, kRate + 3 * 1152);
    double energy = 0;
    for (size_t i = samples.size() / 4; i < samples.size() / 2; ++i)
        energy += double(samples[i]) * samples[i];
    const double rms = std::sqrt(energy / double(samples.size() / 4));
    EXPECT_NEAR(rms, 16000.0 / 32768.0 / std::sqrt(2.0), 0.05); // the tone came back
    EXPECT_EQ(Mpg123Library::CloseDecoder(h), MPG123_OK);
    std::filesystem::remove(path);
}

// The module-support unit linked into this program: the instance is the program itself, and
// each guarded operation reports its own condition and line.
TEST(ModuleResources, InstanceResourcesAndContracts) {
    void* self = dlopen(nullptr, RTLD_LAZY);
    ASSERT_NE(self, nullptr);
    dlclose(self);
    ASSERT_EQ(sDLLInstance, self);

    std::vector<std::pair<std::string, int32_t>> contracts;
    tsacore::debug::SetContractReporter([&](const char* condition, const char* path, int32_t line) {
        EXPECT_STREQ(path, "Common/Module/private/win/Module_WIN");
        contracts.emplace_back(condition, line);
        return false;
    });
    auto raises = [](auto operation) {
        try {
            operation();
        } catch (const tsacore::config::Error& error) {
            return error.Number1() == 105 && error.Number2() == 25;
        }
        return false;
    };
    EXPECT_TRUE(raises([] { GetResourceManager(); }));
    EXPECT_TRUE(raises([] { TerminateModule(); }));

    SetUpModuleResources();
    tsaui::utility::OS_ResourceManager* resources = GetResourceManager();
    EXPECT_EQ(resources->ModuleInstance(), self);
    EXPECT_TRUE(resources->Find("XML", "FORMATOPTIONS")); // the layout this program carries
    EXPECT_EQ(GetDrawingSupplier(), GetDrawingSupplier()); // kept, made once
    EXPECT_EQ(tsaui::drawbot::SupplierInterface::CreatedCount(), 1u);
    ReleaseModuleResources();
    EXPECT_EQ(tsaui::drawbot::SupplierInterface::LiveCount(), 0u);
    EXPECT_EQ(uit::ImageProvider::LiveCount(), 0u);

    const platform::ModuleHandle instance = sDLLInstance;
    sDLLInstance = nullptr;
    EXPECT_TRUE(raises([] { InitializeModule(); }));
    sDLLInstance = instance;
    EXPECT_EQ(contracts, (std::vector<std::pair<std::string, int32_t>>{
                             {"sResourceManager != 0", 44}, {"sResourceManager != 0", 57}, {"sDLLInstance != 0", 50}}));
    EXPECT_EQ(tsaui::utility::OS_ResourceManager::LiveCount(), 0u);
    tsacore::debug::SetContractReporter(nullptr);
}
