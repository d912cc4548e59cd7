// SPDX-License-Identifier: MIT
// What sova-host decides to write before the module sees anything: the Layer II table, the plan
// for rate, channels, bitrate and mode, and the downmix weights.
#include <cmath>
#include <string>

#include <gtest/gtest.h>
#include <sndfile.h>

#include "host/Downmix.h"
#include "host/EncodePlan.h"
#include "host/LayerTwoRules.h"
#include "host/SettingsValues.h"

namespace {
using namespace sovahost;

EncodePlan PlanFor(int32_t sourceRate, int32_t sourceChannels, std::optional<int32_t> bitrate = {},
                   std::optional<int32_t> mode = {}, std::optional<int32_t> rate = {},
                   std::optional<int32_t> channels = {}) {
    return PlanEncode({sourceRate, sourceChannels, rate, channels, bitrate, mode});
}

TEST(LayerTwoTable, AllowsWhatIsoLayerTwoAllowsPerVersionAndMode) {
    // MPEG-1: 32, 48, 56 and 80 kbit/s only in mono, 224 and up only with two channels.
    EXPECT_EQ(layer2::AllowedBitrates(44100, true), (std::vector<int32_t>{32, 48, 56, 64, 80, 96, 112, 128, 160, 192}));
    EXPECT_EQ(layer2::AllowedBitrates(32000, false),
              (std::vector<int32_t>{64, 96, 112, 128, 160, 192, 224, 256, 320, 384}));
    // MPEG-2 LSF: 8 to 160 kbit/s in every mode.
    for (bool mono : {true, false})
        EXPECT_EQ(layer2::AllowedBitrates(22050, mono),
                  (std::vector<int32_t>{8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}));
    EXPECT_TRUE(layer2::AllowedBitrates(11025, true).empty());
    EXPECT_EQ(layer2::RatesAllowing(144, false), (std::vector<int32_t>{16000, 22050, 24000}));
    EXPECT_EQ(layer2::RatesAllowing(48, true), (std::vector<int32_t>{16000, 22050, 24000, 32000, 44100, 48000}));
    EXPECT_EQ(layer2::BitrateOfIndex(true, 14), 384);
    EXPECT_EQ(layer2::BitrateOfIndex(false, 13), 144);
    EXPECT_EQ(layer2::BitrateOfIndex(true, 0), 0); // free format
}

TEST(EncodePlan, KeepsTheRateAndBitrateAskedForWhereLayerTwoAllowsThem) {
    // Legal choices the module's own table would move elsewhere.
    EncodePlan plan = PlanFor(48000, 1, 48, 3, 24000);
    EXPECT_EQ(std::tie(plan.rate, plan.bitrate, plan.channels, plan.mono), std::make_tuple(24000, 48, 1, true));
    EXPECT_TRUE(plan.refusal.empty() && plan.warnings.empty());
    plan = PlanFor(24000, 1, 64, 3);
    EXPECT_EQ(std::tie(plan.rate, plan.bitrate), std::make_tuple(24000, 64));
    for (int32_t kbps : {80, 96, 112, 128, 144, 160}) EXPECT_EQ(PlanFor(22050, 1, kbps).rate, 22050);
    plan = PlanFor(48000, 2, 56, 1, 24000);
    EXPECT_EQ(std::tie(plan.rate, plan.bitrate, plan.mode), std::make_tuple(24000, 56, 1));
}

TEST(EncodePlan, DefaultsFollowTwolamePerVersionAndMode) {
    EXPECT_EQ(PlanFor(48000, 2).bitrate, 192);
    EXPECT_EQ(PlanFor(44100, 1).bitrate, 96);
    EXPECT_EQ(PlanFor(24000, 2).bitrate, 96);
    EXPECT_EQ(PlanFor(16000, 1).bitrate, 48);
    EXPECT_EQ(PlanFor(16000, 1).rate, 16000); // the source's MPEG rate is kept
    EXPECT_TRUE(PlanFor(22050, 2).warnings.empty());
}

TEST(EncodePlan, ARateThatIsNoMpegRateGoesUpToTheNextOneWithAWarning) {
    for (auto [source, expected] : {std::pair{8000, 16000}, {11025, 16000}, {16001, 22050}, {30000, 32000},
                                    {88200, 48000}, {96000, 48000}, {192000, 48000}}) {
        const EncodePlan plan = PlanFor(source, 2);
        EXPECT_EQ(plan.rate, expected) << source;
        ASSERT_EQ(plan.warnings.size(), 1u) << source;
        EXPECT_NE(plan.warnings[0].find("resampling to " + std::to_string(expected) + " Hz"), std::string::npos);
    }
    EXPECT_TRUE(PlanFor(96000, 2, {}, {}, 48000).warnings.empty()); // asked for: no warning
}

TEST(EncodePlan, RefusesInOneWayNamingTheAllowedBitratesAndTheRateThatAllowsTheAskedOne) {
    EncodePlan plan = PlanFor(48000, 2, 32, 1);
    EXPECT_EQ(plan.refusal,
              "32 kbit/s is not allowed for joint stereo at 48000 Hz (MPEG-1 Layer II); allowed there: 64, 96, 112, "
              "128, 160, 192, 224, 256, 320, 384 kbit/s; 32 kbit/s needs --rate 16000 or --rate 22050 or --rate 24000");
    plan = PlanFor(44100, 1, 224);
    EXPECT_NE(plan.refusal.find("224 kbit/s is not allowed for mono at 44100 Hz"), std::string::npos);
    EXPECT_NE(plan.refusal.find("224 kbit/s is not a Layer II bitrate for mono at any rate"), std::string::npos);
    plan = PlanFor(22050, 2, 192);
    EXPECT_NE(plan.refusal.find("192 kbit/s needs --rate 32000 or --rate 44100 or --rate 48000"), std::string::npos);
}

TEST(EncodePlan, ChannelsFollowTheModeAndContradictionsAreRefused) {
    EncodePlan plan = PlanFor(44100, 1, {}, 1); // a mono source written as joint stereo: two channels
    EXPECT_EQ(std::tie(plan.channels, plan.mono, plan.bitrate), std::make_tuple(2, false, 192));
    plan = PlanFor(44100, 2, {}, 3);
    EXPECT_EQ(std::tie(plan.channels, plan.mono), std::make_tuple(1, true));
    plan = PlanFor(48000, 6);
    EXPECT_EQ(plan.channels, 2);
    EXPECT_EQ(plan.warnings.size(), 1u);
    EXPECT_NE(PlanFor(44100, 2, {}, 3, {}, 2).refusal.find("--channels 2 contradicts it"), std::string::npos);
    EXPECT_NE(PlanFor(44100, 2, {}, 0, {}, 1).refusal.find("--channels 1 contradicts it"), std::string::npos);
    EXPECT_TRUE(PlanFor(44100, 6, {}, {}, {}, 1).warnings.empty()); // --channels asked for the downmix
}

TEST(Downmix, FiveOneFollowsBs775AndIsLoweredOnlyAsFarAsItsPeakNeeds) {
    const std::vector<int> roles = {SF_CHANNEL_MAP_LEFT,      SF_CHANNEL_MAP_RIGHT,      SF_CHANNEL_MAP_CENTER,
                                    SF_CHANNEL_MAP_LFE,       SF_CHANNEL_MAP_REAR_LEFT,  SF_CHANNEL_MAP_REAR_RIGHT};
    for (const std::vector<int>& named : {roles, std::vector<int>{}}) { // the WAVE order when the file names none
        Downmix mix(6, 2, named);
        const float c = 0.70710678f;
        const float expected[2][6] = {{1, 0, c, 0, c, 0}, {0, 1, c, 0, 0, c}};
        for (int out = 0; out < 2; ++out)
            for (int in = 0; in < 6; ++in) EXPECT_NEAR(mix.Weight(out, in), expected[out][in], 1e-6) << out << in;
        EXPECT_TRUE(mix.CanClip());
        EXPECT_NE(mix.Words().find("LFE dropped"), std::string::npos);
        // Every channel at full scale in phase would peak at 1 + 2c: lowered to just below full scale.
        mix.Guard(1.0f + 2.0f * c);
        const std::vector<float> full(6, 1.0f);
        float out[2];
        mix.Apply(full.data(), 1, out);
        EXPECT_NEAR(out[0], 0.99f, 1e-5);
        EXPECT_NE(mix.Words().find("lowered by 7.7 dB because the mix would peak at +7.7 dBFS"), std::string::npos)
            << mix.Words();
    }
    Downmix quiet(6, 2, {});
    quiet.Guard(0.5f); // room enough: the weights stay
    EXPECT_FLOAT_EQ(quiet.Weight(0, 0), 1.0f);
    EXPECT_NE(quiet.Words().find("the mix peaks at -6.0 dBFS, no gain needed"), std::string::npos) << quiet.Words();
}

TEST(Downmix, StereoToMonoIsTheMeanAndMonoIsCopiedToTwoChannels) {
    const Downmix toMono(2, 1, {});
    EXPECT_FLOAT_EQ(toMono.Weight(0, 0), 0.5f);
    EXPECT_FLOAT_EQ(toMono.Weight(0, 1), 0.5f);
    const Downmix toStereo(1, 2, {});
    EXPECT_FLOAT_EQ(toStereo.Weight(0, 0), 1.0f);
    EXPECT_FLOAT_EQ(toStereo.Weight(1, 0), 1.0f);
    // 5.1 to mono: the mean of the stereo mix, the LFE still dropped.
    const Downmix sixToMono(6, 1, {});
    EXPECT_FLOAT_EQ(sixToMono.Weight(0, 3), 0.0f);
    EXPECT_FLOAT_EQ(sixToMono.Weight(0, 0) + sixToMono.Weight(0, 1), 1.0f);
    EXPECT_FALSE(toMono.CanClip() || toStereo.CanClip());
}

TEST(SettingsValues, ValuesTheWriterCannotUseAreNamedWithWhatTheKeyTakes) {
    EXPECT_TRUE(SettingsValueProblems(ReadSettingsText("BitsPerSecond:0:128;ChannelMode:0:3;ATH:0:1065353216;")).empty());
    const auto problems = SettingsValueProblems(ReadSettingsText("ChannelMode:0:7;BitsPerSecond:0:100;ATH:0:2143289344;EmphasisType:0:2;"));
    ASSERT_EQ(problems.size(), 4u);
    EXPECT_NE(problems[0].find("ATH:0:2143289344; cannot be written"), std::string::npos); // NaN
    EXPECT_NE(problems[1].find("BitsPerSecond:0:100; cannot be written"), std::string::npos);
    EXPECT_NE(problems[2].find("ChannelMode:0:7; cannot be written (ChannelMode takes -1 automatic"), std::string::npos);
    EXPECT_NE(problems[3].find("EmphasisType:0:2;"), std::string::npos);
}
} // namespace
