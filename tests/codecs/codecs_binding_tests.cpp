// SPDX-License-Identifier: MIT
// The codec bindings inside the module's objects: alternates, presence rules, trace lines, the
// guarded decoder calls, and the module-support unit. One process per test (module-wide state).
#include <dlfcn.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <platform/Loader.h>
#include <tsacore/config/Error.h>
#include <tsacore/debug/Contract.h>
#include <tsaui/utility/OS_ResourceManager.h>

#include "CodecTestSupport.h"
#include "Common/Module/private/win/Module_WIN.h"
#include "codecs/Mpg123Library.h"
#include "codecs/TwoLameLibrary.h"

using namespace codectest;
using sova::Mpg123Library;
using sova::TwoLameLibrary;

TEST(Mpg123Binding, PresenceRuleAlternateAndNeither) {
    TraceCapture trace;
    OfferOnly({"none"});
    EXPECT_FALSE(Mpg123Library::Bind());
    EXPECT_EQ(trace.TakeMessages(), (Lines{kLoadingMpg123, kMpg123Alternate, "Could not load libmpg123!",
                                           "Could not find libmpg123 Library"}));
    EXPECT_EQ(Mpg123Library::Handle(), nullptr);

    // Lacking an entry point it never calls, the library is loaded but not bound...
    OfferOnly({"fake-mpg123-no-getparam"});
    EXPECT_FALSE(Mpg123Library::Bind());
    EXPECT_EQ(trace.TakeMessages(), (Lines{kLoadingMpg123, "Incompatible libmpg123 Library"}));
    EXPECT_NE(Mpg123Library::Handle(), nullptr);
    OfferOnly({"real"}); // ...and a later Bind, holding it, checks again without loading
    EXPECT_FALSE(Mpg123Library::Bind());
    EXPECT_EQ(trace.TakeMessages(), Lines{"Incompatible libmpg123 Library"});
    Mpg123Library::Unload();
    Mpg123Library::Unload(); // nothing held: no line
    EXPECT_EQ(trace.TakeMessages(), Lines{"Unloading libmpg123..."});

    OfferOnly({"alternates"});
    EXPECT_TRUE(Mpg123Library::Bind());
    EXPECT_EQ(trace.TakeMessages(), (Lines{kLoadingMpg123, kMpg123Alternate}));
    EXPECT_EQ(platform::ModuleFilePath(Mpg123Library::Handle()), CodecFolder("alternates") + "/libmpg123.so.0");
    OfferOnly({"none"});
    EXPECT_TRUE(Mpg123Library::Bind()); // bound stays bound: no load, no line
    EXPECT_TRUE(trace.TakeMessages().empty());
}

TEST(Mpg123Decoder, GuardedCallsAndFailedStart) {
    OfferOnly({"fake-mpg123"});
    ASSERT_TRUE(Mpg123Library::Bind());
    auto fakeInt = [](const char* name) { return static_cast<int*>(dlsym(Mpg123Library::Handle(), name)); };
    TraceCapture trace;
    mpg123_handle* h = Mpg123Library::CreateDecoder();
    ASSERT_NE(h, nullptr);
    long rate = 0;
    int channels = 0, encoding = 0;
    int64_t frames = 0;
    unsigned char buffer[16];
    size_t done = 0;
    EXPECT_EQ(Mpg123Library::LockOutputFormat(h, &rate, nullptr, &encoding), MPG123_ERR_NULL);
    EXPECT_EQ(Mpg123Library::LockOutputFormat(h, &rate, &channels, &encoding), -1); // the library's own code
    EXPECT_EQ(Mpg123Library::GetStreamLength(h, &frames), 0); // unknown length is no failure, but -1
    EXPECT_EQ(frames, -1);
    EXPECT_EQ(Mpg123Library::ReadDecoded(h, buffer, 0, &done), MPG123_ERR); // the library is not asked
    EXPECT_EQ(Mpg123Library::ReadDecoded(h, buffer, sizeof buffer, &done), MPG123_DONE);
    EXPECT_EQ(*fakeInt("fake_mpg123_read_calls"), 1);
    EXPECT_EQ(Mpg123Library::CloseDecoder(h), 0);
    EXPECT_EQ(Mpg123Library::CloseDecoder(nullptr), 0);
    EXPECT_EQ(*fakeInt("fake_mpg123_exit_calls"), 2);

    *fakeInt("fake_mpg123_init_result") = MPG123_ERR;
    EXPECT_EQ(Mpg123Library::CreateDecoder(), nullptr);
    EXPECT_EQ(trace.TakeMessages(), Lines{"Cannot initialize mpg123 library: fake refused to start"});
}

// Each case starts from nothing loaded; TwoLAME's unload resets its whole state.
TEST(TwoLameBinding, PresenceRulesAndAlternates) {
    const std::string version = "TwoLame version detected: 9.9.9-fake", url = "TwoLame URL: https://fake.invalid/twolame";
    const std::string incompatible = "Incompatible TwoLame Library";
    struct Case {
        std::string folder;
        bool bound, loaded;
        Lines lines;
    } const cases[] = {
        {"fake-twolame", true, true, {kLoadingTwoLame, version, url}},
        {"fake-twolame-alternate", true, true, {kLoadingTwoLame, kTwoLameAlternate, version, url}},
        {"none", false, false, {kLoadingTwoLame, kTwoLameAlternate, "Could not find TwoLame Library"}},
        {"fake-twolame-no-get_twolame_version", false, true, {kLoadingTwoLame}},
        {"fake-twolame-empty-version", false, true, {kLoadingTwoLame, "Unable to detect TwoLame version"}},
        {"fake-twolame-no-get_twolame_url", true, true, {kLoadingTwoLame, version}},
        {"fake-twolame-no-twolame_print_config", true, true, {kLoadingTwoLame, version, url}},
        {"fake-twolame-no-twolame_set_verbosity", true, true, {kLoadingTwoLame, version, url}},
        {"fake-twolame-no-twolame_set_version", false, true, {kLoadingTwoLame, version, url, incompatible}},
    };
    TraceCapture trace;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.folder);
        OfferOnly({c.folder});
        EXPECT_EQ(TwoLameLibrary::Bind(), c.bound);
        EXPECT_EQ(trace.TakeMessages(), c.lines);
        EXPECT_EQ(TwoLameLibrary::Handle() != nullptr, c.loaded);
        if (c.loaded && !c.bound) { // a later Bind skips loading and repeats the checks only
            EXPECT_FALSE(TwoLameLibrary::Bind());
            EXPECT_EQ(trace.TakeMessages(), Lines(c.lines.begin() + 1, c.lines.end()));
        }
        TwoLameLibrary::UnloadIfLoaded();
        TwoLameLibrary::UnloadIfLoaded(); // nothing held: nothing happens
        EXPECT_EQ(trace.TakeMessages(), c.loaded ? Lines{"Unloading TwoLame..."} : Lines{});
        EXPECT_FALSE(TwoLameLibrary::IsBound());
    }
}

// The module-support unit linked into this program: the instance is the program itself, and
// each guarded operation reports its own condition and line. The lines and the error numbers
// are fixed: hosts and their logs tell the failures apart by them, so a change must fail here.
TEST(ModuleResources, InstanceResourcesAndFixedContractLines44And50And57WithError105And25) {
    void* self = dlopen(nullptr, RTLD_LAZY);
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
    EXPECT_EQ(GetResourceManager()->ModuleInstance(), self);
    EXPECT_TRUE(GetResourceManager()->Find("XML", "FORMATOPTIONS")); // the layout this program carries
    EXPECT_EQ(GetDrawingSupplier(), GetDrawingSupplier());            // kept, made once
    ReleaseModuleResources();

    sDLLInstance = nullptr;
    EXPECT_TRUE(raises([] { InitializeModule(); }));
    sDLLInstance = self;
    EXPECT_EQ(contracts, (std::vector<std::pair<std::string, int32_t>>{
                             {"sResourceManager != 0", 44}, {"sResourceManager != 0", 57}, {"sDLLInstance != 0", 50}}));
    EXPECT_EQ(tsaui::utility::OS_ResourceManager::LiveCount(), 0u);
    tsacore::debug::SetContractReporter(nullptr);
}
