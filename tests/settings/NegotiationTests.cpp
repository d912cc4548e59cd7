// SPDX-License-Identifier: MIT
// Save-format negotiation (selector 14) through the module's export.
#include "HostFixture.h"

using namespace settingstest;

namespace {
constexpr uint32_t kMpegTypeCode = 0x4D504547;

class Negotiation : public ModuleHost {
protected:
    // Proposes a format and conforms it; the objects keep what the module wrote.
    int32_t Conform(int32_t rate, int32_t channels, int64_t length, std::u16string settings, int32_t allows) {
        format = sovahost::AudioFormat{};
        format.sink = &sink;
        format.sampleRate = rate;
        format.channelCount = channels;
        format.length = length;
        format.settingsText = std::move(settings);
        request = sovahost::ConformRequest{};
        request.sink = &sink;
        request.format = &format;
        request.allowsAdjustment = allows;
        return module.Call(sova::sdk::kSelectorConformWriteFormat, nullptr, &request);
    }

    void ExpectFormat(int32_t rate, int32_t channels, int64_t length) const {
        EXPECT_EQ(format.sampleRate, rate);
        EXPECT_EQ(format.channelCount, channels);
        EXPECT_EQ(format.length, length);
        EXPECT_EQ(format.mimeType, "audio/mpeg");
        EXPECT_EQ(format.typeCode, kMpegTypeCode);
    }

    sovahost::MessageSink sink;
    sovahost::AudioFormat format;
    sovahost::ConformRequest request;
};
} // namespace

TEST_F(Negotiation, StereoAt44100Stays) {
    EXPECT_EQ(Conform(44100, 2, 441000, kDefaultLine, 0), 0);
    ExpectFormat(44100, 2, 441000);
    EXPECT_EQ(request.estimatedSize, 240000);
    EXPECT_EQ(format.settingsText, kDefaultLine);
    EXPECT_EQ(request.description, u"MPEG-1 Audio Layer II, 192 kbps (CBR)\nStereo, 44100 Hz\n");
    EXPECT_TRUE(sink.messages.empty());

    EXPECT_EQ(Conform(32000, 1, 1000, u"BitsPerSecond:0:64;", 0), 0);
    ExpectFormat(32000, 1, 1000);
    EXPECT_EQ(request.estimatedSize, 250); // 1000 x 64000 / 256000
    EXPECT_EQ(request.description, u"MPEG-1 Audio Layer II, 64 kbps (CBR)\nMono, 32000 Hz\n");
    EXPECT_EQ(format.settingsText, DefaultLineWith(u"BitsPerSecond:0:192;", u"BitsPerSecond:0:64;"));
}

TEST_F(Negotiation, ChannelCountBecomesStereo) {
    EXPECT_EQ(Conform(44100, 6, 441000, kDefaultLine, 0), -8);
    ExpectFormat(44100, 2, 441000); // adjusted though not allowed
    EXPECT_EQ(request.description, u"MPEG-1 Audio Layer II, 192 kbps (CBR)\nStereo, 44100 Hz\n");
    EXPECT_EQ(Conform(44100, 6, 441000, kDefaultLine, 1), 0);
    ExpectFormat(44100, 2, 441000);
    EXPECT_EQ(Conform(44100, 0, 10, kDefaultLine, 0), -8);
    EXPECT_EQ(format.channelCount, 2);
    EXPECT_EQ(Conform(44100, 1, 10, kDefaultLine, 0), 0);
    EXPECT_EQ(format.channelCount, 1);
}

TEST_F(Negotiation, SampleRateFollowsTheBitrate) {
    EXPECT_EQ(Conform(96000, 2, 960001, kDefaultLine, 0), -8);
    ExpectFormat(48000, 2, 480000); // halved and truncated
    EXPECT_EQ(request.estimatedSize, 240000);
    EXPECT_EQ(request.description, u"MPEG-1 Audio Layer II, 192 kbps (CBR)\nStereo, 48000 Hz\n");
    EXPECT_EQ(Conform(96000, 2, 960001, kDefaultLine, 1), 0);
    ExpectFormat(48000, 2, 480000);

    // 32 kbit/s implies 16000 Hz: the length shrinks by 16000/44100, truncated.
    EXPECT_EQ(Conform(44100, 2, 44100, u"BitsPerSecond:0:32;", 1), 0);
    ExpectFormat(16000, 2, 16000);
    EXPECT_EQ(format.settingsText, DefaultLineWith(u"BitsPerSecond:0:192;", u"BitsPerSecond:0:32;"));
    EXPECT_EQ(Conform(44100, 2, 3, u"BitsPerSecond:0:32;", 1), 0);
    EXPECT_EQ(format.length, 1); // 3 x 0.3628... = 1.088...
}

TEST_F(Negotiation, BitrateFollowsTheRateOnlyWhenTheHostAllowsExactly1) {
    // 48 kbit/s from 11025 Hz implies 22050 Hz, where 40 kbit/s is the nearest bitrate.
    EXPECT_EQ(Conform(11025, 1, 11025, u"BitsPerSecond:0:48;", 1), 0);
    ExpectFormat(22050, 1, 22050);
    EXPECT_EQ(format.settingsText, DefaultLineWith(u"BitsPerSecond:0:192;", u"BitsPerSecond:0:40;"));
    EXPECT_EQ(request.estimatedSize, 5000);
    EXPECT_EQ(request.description, u"MPEG-1 Audio Layer II, 40 kbps (CBR)\nMono, 22050 Hz\n");

    EXPECT_EQ(Conform(11025, 1, 11025, u"BitsPerSecond:0:48;", 2), 0); // allowed, but not exactly 1
    ExpectFormat(22050, 1, 22050);
    EXPECT_EQ(format.settingsText, DefaultLineWith(u"BitsPerSecond:0:192;", u"BitsPerSecond:0:48;"));

    EXPECT_EQ(Conform(11025, 1, 11025, u"BitsPerSecond:0:48;", 0), -8);
    ExpectFormat(22050, 1, 22050);
    EXPECT_EQ(format.settingsText, DefaultLineWith(u"BitsPerSecond:0:192;", u"BitsPerSecond:0:48;"));
}

TEST_F(Negotiation, SettingsTextComesBackWhole) {
    EXPECT_EQ(Conform(44100, 2, 441000, u"", 0), 0);
    EXPECT_EQ(format.settingsText, kDefaultLine);
    EXPECT_EQ(request.estimatedSize, 240000);

    // Unknown keys and string entries are dropped; every field comes back.
    EXPECT_EQ(Conform(48000, 2, 0, u"Foo:1:bar;Copy:0:5;EmphasisType:0:1;Original:0:1;ChannelMode:0:1;", 0), 0);
    EXPECT_EQ(format.settingsText,
              u"ATH:0:0;BitsPerSecond:0:192;CRC:0:0;ChannelMode:0:1;CompressionType:0:0;Copy:0:1;EmphasisType:0:1;"
              u"Energy:0:0;MPEGVersion:0:1;Original:0:1;PAMType:0:1;PaddingType:0:0;ShowAdvanced:0:0;");
    EXPECT_EQ(request.description,
              u"MPEG-1 Audio Layer II, 192 kbps (CBR)\nJoint Stereo, 48000 Hz\n(50/15 \u00B5s Emphasis) (Copyright) (Original)");
    EXPECT_EQ(request.estimatedSize, 0);
}

TEST_F(Negotiation, VariableBitrateKeepsRateAndBitrate) {
    const std::u16string vbr = u"CompressionType:0:1;BitsPerSecond:0:48;";
    EXPECT_EQ(Conform(96000, 6, 96000, vbr, 0), -8); // only the channel count changes
    ExpectFormat(96000, 2, 96000);
    EXPECT_EQ(format.settingsText, DefaultLineWith(u"BitsPerSecond:0:192;CRC:0:0;ChannelMode:0:-1;CompressionType:0:0;",
                                                   u"BitsPerSecond:0:48;CRC:0:0;ChannelMode:0:-1;CompressionType:0:1;"));
    EXPECT_EQ(request.estimatedSize, 6000);
    EXPECT_EQ(Conform(11025, 1, 11025, vbr, 1), 0);
    ExpectFormat(11025, 1, 11025);

    EXPECT_EQ(Conform(0, 2, 441000, vbr, 0), 0);
    ExpectFormat(0, 2, 441000);
    EXPECT_EQ(request.estimatedSize, 0);
}

TEST_F(Negotiation, OddProposalsDoNotCrash) {
    // A zero rate at constant bitrate takes the bitrate's default rate; the length is kept.
    EXPECT_EQ(Conform(0, 2, 1000, kDefaultLine, 0), -8);
    ExpectFormat(44100, 2, 1000);
    EXPECT_EQ(request.estimatedSize, 544);

    // A bitrate with no row: the rate and the bitrate become 0 when the host forbids changes.
    EXPECT_EQ(Conform(44100, 2, 1000, u"BitsPerSecond:0:4;", 0), -8);
    ExpectFormat(0, 2, 0);
    EXPECT_EQ(request.estimatedSize, 0);
    EXPECT_EQ(format.settingsText, DefaultLineWith(u"BitsPerSecond:0:192;", u"BitsPerSecond:0:0;"));
    // Allowed, the bitrate first moves to one the table knows (32), which then picks 16000 Hz.
    EXPECT_EQ(Conform(44100, 2, 44100, u"BitsPerSecond:0:4;", 1), 0);
    ExpectFormat(16000, 2, 16000);

    // Extreme lengths and rates give some estimate and no trap.
    EXPECT_EQ(Conform(48000, 2, INT64_MAX, kDefaultLine, 1), 0);
    EXPECT_EQ(Conform(96000, 2, INT64_MAX, kDefaultLine, 1), 0);
    EXPECT_EQ(format.length, INT64_MAX / 2 + 1); // the double nearest INT64_MAX/2
    EXPECT_EQ(Conform(8000, 2, INT64_MAX, u"BitsPerSecond:0:384;", 1), 0);
    EXPECT_EQ(format.sampleRate, 44100);
    EXPECT_EQ(format.length, INT64_MAX); // saturated
    EXPECT_EQ(Conform(536870912, 2, 1000, u"CompressionType:0:1;", 1), 0);
    EXPECT_EQ(request.estimatedSize, 0); // rate x 8 wraps to 0 in 32 bits
    EXPECT_EQ(Conform(-44100, 2, -1000, kDefaultLine, 1), 0);
    EXPECT_EQ(format.sampleRate, 44100);
}
