// SPDX-License-Identifier: MIT
// Delivery profiles without processes: what each one fills in, what it refuses and in which words,
// and how a finished file's facts are checked against it.
#include <algorithm>
#include <string>

#include <gtest/gtest.h>

#include "host/DeliveryProfiles.h"

namespace {
using namespace sovahost;

const DeliveryProfile& Profile(const char* name) {
    const DeliveryProfile* profile = FindDeliveryProfile(name);
    if (!profile) throw std::runtime_error(std::string("no profile ") + name);
    return *profile;
}

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

EncodePlan PlanFor(const char* profile, int32_t sourceRate, int32_t sourceChannels, std::optional<int32_t> bitrate = {},
                   std::optional<int32_t> mode = {}, std::optional<int32_t> rate = {}) {
    return PlanEncodeFor(&Profile(profile), {sourceRate, sourceChannels, rate, std::nullopt, bitrate, mode});
}

TEST(DeliveryProfiles, TheListingNamesEveryProfileEachValueWithItsSource) {
    EXPECT_EQ(DeliveryProfileNames(), "dab, dvb, ebu, prss");
    EXPECT_EQ(FindDeliveryProfile("DAB+"), nullptr);
    const std::string listing = DeliveryProfileListing();
    for (const DeliveryProfile& profile : DeliveryProfiles())
        EXPECT_TRUE(Has(listing, std::string(profile.name) + ": " + profile.title)) << profile.name;
    // Every value line is followed by its source.
    size_t values = 0, sources = 0;
    for (size_t at = listing.find("\n  "); at != std::string::npos; at = listing.find("\n  ", at + 1))
        (listing.compare(at + 3, 4, "    ") == 0 ? sources : values)++;
    EXPECT_EQ(values, sources);
    EXPECT_GT(values, 20u);
    for (const char* source : {"ETSI TS 103 466", "ETSI TS 101 154", "EBU R 128", "prss.org/file-formats",
                               "prss.org/loudness", "prss.org/contentdepot-producers-encoding.html"})
        EXPECT_TRUE(Has(listing, source)) << source;
    EXPECT_TRUE(Has(listing, "  rate: 48000 Hz (MPEG-1) or 24000 Hz (MPEG-2 LSF)\n"));
    EXPECT_TRUE(Has(listing, "  bitrate: 128 kbit/s mono, 256 kbit/s stereo\n"));
    EXPECT_TRUE(Has(listing, "  loudness: -24 LUFS integrated (± 2 LU)\n"));
    EXPECT_TRUE(Has(listing, "  true peak: at most -1 dBTP\n"));
    // DVB's 48 kHz is practice, not read in the document itself: the listing says so.
    const std::string dvb = listing.substr(listing.find("dvb: "), listing.find("ebu: ") - listing.find("dvb: "));
    EXPECT_TRUE(Has(dvb, "ETSI TS 101 154 (DVB video and audio coding); not confirmed in the document's own text"));
}

TEST(DeliveryProfiles, OptionsThatContradictAProfileAreRefusedNamingOptionProfileValueAndSource) {
    DeliveryRequest asked;
    asked.bitrate = {{192, "-b 192"}};
    asked.rate = {{48000, "--rate 48000"}};
    asked.mode = {{1, "-m j"}};
    asked.padding = {{true, "-d"}};
    asked.truePeakDbtp = {{-1.0, "--true-peak -1"}};
    asked.container = {{Container::BroadcastWav, "the output name 'out.wav'"}};
    const std::vector<std::string> refused = ProfileContradictions(Profile("prss"), asked);
    ASSERT_EQ(refused.size(), 6u);
    EXPECT_EQ(refused[0], "--rate 48000 contradicts --profile prss: PRSS ContentDepot (US public radio), broadcast-quality "
                          "MP2 takes 44100 Hz (MPEG-1) (source: PRSS ContentDepot file formats (prss.org/file-formats))");
    EXPECT_TRUE(Has(refused[1], "-b 192 contradicts --profile prss") && Has(refused[1], "takes 128 kbit/s mono, 256 kbit/s stereo"));
    EXPECT_TRUE(Has(refused[2], "-m j contradicts --profile prss") && Has(refused[2], "takes stereo or mono"));
    EXPECT_TRUE(Has(refused[3], "-d contradicts --profile prss") && Has(refused[3], "takes padding off"));
    EXPECT_TRUE(Has(refused[4], "at most -2 dBTP") && Has(refused[4], "prss.org/loudness"));
    EXPECT_TRUE(Has(refused[5], "the output name 'out.wav' contradicts") && Has(refused[5], "raw MP2 frames (.mp2)"));

    // What a profile takes passes: either PRSS bitrate, a stricter ceiling, DAB's other rate with CRC.
    DeliveryRequest fine;
    fine.bitrate = {{128, "-b 128"}};
    fine.mode = {{-1, "-m a"}};
    fine.truePeakDbtp = {{-3.0, "--true-peak -3"}};
    EXPECT_TRUE(ProfileContradictions(Profile("prss"), fine).empty());
    DeliveryRequest dab;
    dab.rate = {{24000, "--rate 24000"}};
    dab.crc = {{true, "-p"}};
    dab.mode = {{2, "-m d"}};
    EXPECT_TRUE(ProfileContradictions(Profile("dab"), dab).empty());
    dab.crc = {{false, "--settings CRC:0:0"}};
    dab.rate = {{44100, "--rate 44100"}};
    const std::vector<std::string> dabRefused = ProfileContradictions(Profile("dab"), dab);
    ASSERT_EQ(dabRefused.size(), 2u);
    EXPECT_TRUE(Has(dabRefused[0], "--rate 44100 contradicts --profile dab") && Has(dabRefused[0], "ETSI TS 103 466"));
    EXPECT_TRUE(Has(dabRefused[1], "--settings CRC:0:0 contradicts --profile dab") && Has(dabRefused[1], "takes CRC on"));
    DeliveryRequest loud;
    loud.loudnessLufs = {{-16.0, "--loudness -16"}};
    EXPECT_EQ(ProfileContradictions(Profile("ebu"), loud).size(), 1u);
    loud.loudnessLufs = {{-23.0, "--loudness -23"}};
    EXPECT_TRUE(ProfileContradictions(Profile("ebu"), loud).empty());
}

TEST(DeliveryProfiles, APlanTakesTheProfilesRateBitrateAndModeWhereNoneWasAskedFor) {
    // PRSS: 44.1 kHz, 256 kbit/s stereo or 128 mono, the mode written out (never "automatic").
    EncodePlan plan = PlanFor("prss", 48000, 2);
    EXPECT_EQ(std::tie(plan.rate, plan.bitrate, plan.mode, plan.channels), std::make_tuple(44100, 256, 0, 2));
    EXPECT_TRUE(plan.refusal.empty());
    plan = PlanFor("prss", 44100, 1);
    EXPECT_EQ(std::tie(plan.rate, plan.bitrate, plan.mode, plan.mono), std::make_tuple(44100, 128, 3, true));
    plan = PlanFor("prss", 96000, 6); // 5.1 is downmixed to stereo, as without a profile
    EXPECT_EQ(std::tie(plan.rate, plan.bitrate, plan.channels), std::make_tuple(44100, 256, 2));
    // A PRSS bitrate for the other channel count is refused once the channels are known.
    plan = PlanFor("prss", 44100, 2, 128);
    EXPECT_TRUE(Has(plan.refusal, "128 kbit/s (-b) in stereo contradicts --profile prss") &&
                Has(plan.refusal, "takes 256 kbit/s in stereo"))
        << plan.refusal;
    plan = PlanFor("prss", 44100, 2, 256, 3); // -m m on a stereo source: mono, so 128
    EXPECT_TRUE(Has(plan.refusal, "256 kbit/s (-b) in mono contradicts --profile prss")) << plan.refusal;
    // DAB: 48 kHz unless 24 kHz is asked for; every mode and the default bitrates of the rate.
    plan = PlanFor("dab", 44100, 2);
    EXPECT_EQ(std::tie(plan.rate, plan.bitrate, plan.mode), std::make_tuple(48000, 192, -1));
    plan = PlanFor("dab", 44100, 1, {}, {}, 24000);
    EXPECT_EQ(std::tie(plan.rate, plan.bitrate), std::make_tuple(24000, 48));
    plan = PlanFor("dab", 48000, 2, 144); // an LSF bitrate at DAB's MPEG-1 rate: Layer II's own refusal
    EXPECT_TRUE(Has(plan.refusal, "144 kbit/s is not allowed")) << plan.refusal;
    EXPECT_EQ(PlanFor("dvb", 22050, 2).rate, 48000);
    // A profile that sets no format leaves the plan alone.
    plan = PlanFor("ebu", 22050, 1, 64);
    EXPECT_EQ(std::tie(plan.rate, plan.bitrate, plan.mode), std::make_tuple(22050, 64, -1));
    EXPECT_EQ(PlanEncodeFor(nullptr, {96000, 2, {}, {}, {}, {}}).rate, 48000);
}

DeliveredFile GoodPrssFile() {
    DeliveredFile file;
    file.rate = 44100;
    file.bitrate = 256;
    file.modes = {0};
    file.loudnessLufs = -24.6;
    file.truePeakDbtp = -2.4;
    file.container = Container::RawMp2;
    file.headSilenceSeconds = 0.52;
    file.tailSilenceSeconds = 0.7;
    return file;
}

TEST(DeliveryProfiles, ACheckNamesEveryRequirementAndFailsEachDeviationOnItsOwn) {
    const DeliveryProfile& prss = Profile("prss");
    std::vector<ProfileFinding> findings = CheckAgainstProfile(prss, GoodPrssFile());
    ASSERT_EQ(findings.size(), 8u); // rate, bitrate, mode, padding, loudness, true peak, container, silence
    for (const ProfileFinding& finding : findings) EXPECT_TRUE(finding.passed) << finding.requirement << ": " << finding.detail;
    EXPECT_EQ(findings[0].requirement, "rate 44100 Hz (MPEG-1)");
    EXPECT_EQ(findings[0].detail, "the file: 44100 Hz (source: PRSS ContentDepot file formats (prss.org/file-formats))");

    const auto failing = [&prss](const DeliveredFile& file) {
        std::vector<std::string> failed;
        for (const ProfileFinding& finding : CheckAgainstProfile(prss, file))
            if (!finding.passed) failed.push_back(finding.requirement);
        return failed;
    };
    using Names = std::vector<std::string>;
    DeliveredFile file = GoodPrssFile();
    file.modes = {3}; // mono at 256 kbit/s: the bitrate is wrong, the mode is fine
    EXPECT_EQ(failing(file), Names{"bitrate 128 kbit/s mono, 256 kbit/s stereo"});
    file = GoodPrssFile();
    file.modes = {0, 1}; // joint stereo, with stereo frames where no joint coding was needed
    EXPECT_EQ(failing(file), Names{"mode stereo or mono"});
    EXPECT_EQ(CheckAgainstProfile(prss, file)[2].detail,
              "the file: stereo or joint stereo (source: PRSS ContentDepot file formats (prss.org/file-formats))");
    file = GoodPrssFile();
    file.bitrate.reset(); // changes between frames
    file.paddingUsed = true;
    EXPECT_EQ(failing(file), (Names{"bitrate 128 kbit/s mono, 256 kbit/s stereo", "padding off"}));
    file = GoodPrssFile();
    file.loudnessLufs = -21.9; // 2.1 LU over
    file.truePeakDbtp = -1.9;
    EXPECT_EQ(failing(file), (Names{"loudness -24 LUFS integrated (± 2 LU)", "true peak at most -2 dBTP"}));
    file.loudnessLufs = -26.0; // within 2 LU
    file.truePeakDbtp.reset(); // not measured: fails, saying so
    EXPECT_EQ(failing(file), Names{"true peak at most -2 dBTP"});
    EXPECT_EQ(CheckAgainstProfile(prss, file)[5].detail, "not measured (source: PRSS Audio Loudness Standard, 2014 (prss.org/loudness))");
    file = GoodPrssFile();
    file.container = Container::BroadcastWav;
    file.tailSilenceSeconds = 0.3;
    EXPECT_EQ(failing(file), (Names{"container raw MP2 frames (.mp2)", "silence of at least 0.5 s at head and tail"}));

    // DAB's CRC: every frame, not some.
    DeliveredFile dab;
    dab.rate = 24000;
    dab.bitrate = 64;
    dab.modes = {2};
    dab.allFramesProtected = true;
    dab.noFrameProtected = false;
    findings = CheckAgainstProfile(Profile("dab"), dab);
    EXPECT_TRUE(std::all_of(findings.begin(), findings.end(), [](const ProfileFinding& f) { return f.passed; }));
    dab.allFramesProtected = false;
    findings = CheckAgainstProfile(Profile("dab"), dab);
    EXPECT_EQ(findings[2].requirement, "CRC on");
    EXPECT_FALSE(findings[2].passed);
    EXPECT_TRUE(Has(findings[2].detail, "some frames have a CRC, others not"));
}
} // namespace
