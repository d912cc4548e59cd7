// SPDX-License-Identifier: MIT
// The words for a save format, in both forms, with and without translations.
#include <gtest/gtest.h>

#include <tsacore/config/Localizer.h>

#include "settings/DescribeTarget.h"
#include "settings/EncoderSettings.h"

using sova::DescribeTarget;
using sova::EncoderSettings;

TEST(DescribeTarget, FirstLineAndChannelLines) {
    EncoderSettings settings;
    EXPECT_EQ(DescribeTarget(44100, 2, settings, false), u"MPEG-1 Audio Layer II, 192 kbps (CBR)");
    EXPECT_EQ(DescribeTarget(44100, 2, settings, true), u"MPEG-1 Audio Layer II, 192 kbps (CBR)\nStereo, 44100 Hz\n");
    EXPECT_EQ(DescribeTarget(22050, 1, settings, true), u"MPEG-1 Audio Layer II, 192 kbps (CBR)\nMono, 22050 Hz\n");
    // No automatic line for other channel counts: the text ends with the first line's feed.
    EXPECT_EQ(DescribeTarget(44100, 6, settings, true), u"MPEG-1 Audio Layer II, 192 kbps (CBR)\n");

    settings.SetMPEGVersion(0);
    settings.SetBitsPerSecond(64);
    EXPECT_EQ(DescribeTarget(24000, 2, settings, false), u"MPEG-2 Audio Layer II, 64 kbps (CBR)");
    settings.SetMPEGVersion(-3); // any non-zero version reads as MPEG-1
    EXPECT_EQ(DescribeTarget(24000, 2, settings, false), u"MPEG-1 Audio Layer II, 64 kbps (CBR)");

    const struct {
        int32_t mode;
        int32_t channels;
        const char16_t* line;
    } modes[] = {
        {0, 1, u"Stereo, 32000 Hz\n"},      {1, 2, u"Joint Stereo, 32000 Hz\n"},
        {2, 2, u"Dual Mono, 32000 Hz\n"},   {3, 2, u"Mono, 32000 Hz\n"},
        {-1, 1, u"Mono, 32000 Hz\n"},       {7, 2, u"Stereo, 32000 Hz\n"},
        {-2, 0, u""},
    };
    settings = EncoderSettings{};
    for (const auto& mode : modes) {
        settings.SetChannelMode(mode.mode);
        EXPECT_EQ(DescribeTarget(32000, mode.channels, settings, true),
                  u"MPEG-1 Audio Layer II, 192 kbps (CBR)\n" + std::u16string(mode.line))
            << mode.mode;
    }
}

TEST(DescribeTarget, EmphasisAndFlags) {
    EncoderSettings settings;
    settings.SetChannelMode(1);
    settings.SetEmphasisType(1);
    settings.SetCopy(true);
    settings.SetOriginal(true);
    EXPECT_EQ(DescribeTarget(48000, 2, settings, true),
              u"MPEG-1 Audio Layer II, 192 kbps (CBR)\nJoint Stereo, 48000 Hz\n(50/15 \u00B5s Emphasis) (Copyright) (Original)");
    EXPECT_EQ(DescribeTarget(48000, 2, settings, false), u"MPEG-1 Audio Layer II, 192 kbps (CBR)");

    settings.SetEmphasisType(3);
    settings.SetOriginal(false);
    EXPECT_EQ(DescribeTarget(48000, 2, settings, true),
              u"MPEG-1 Audio Layer II, 192 kbps (CBR)\nJoint Stereo, 48000 Hz\n(CCITT J.17 Emphasis) (Copyright) ");

    settings.SetEmphasisType(2); // never produced, and has no text
    settings.SetCopy(false);
    settings.SetOriginal(true);
    EXPECT_EQ(DescribeTarget(48000, 2, settings, true),
              u"MPEG-1 Audio Layer II, 192 kbps (CBR)\nJoint Stereo, 48000 Hz\n(Original)");
}

TEST(DescribeTarget, UsesTheHostsTranslations) {
    auto& localizer = tsacore::config::Localizer::Get();
    localizer.AddTranslation("$$$/sova/SovaMp2/FormatDescription/MPEGDEscription", u"MPEG-@0 Schicht II, @1 kbit/s");
    localizer.AddTranslation("$$$/sova/FormatDescription/FormatMp2AutoStereo", u"Stereo bei @0 Hz|");
    localizer.AddTranslation("$$$/sova/FormatDescription/Emph50_15microSeconds", u"[50/15 @0s]");
    EncoderSettings settings;
    settings.SetEmphasisType(1);
    const std::u16string text = DescribeTarget(44100, 2, settings, true);
    localizer.ClearTranslations();
    EXPECT_EQ(text, u"MPEG-1 Schicht II, 192 kbit/s\nStereo bei 44100 Hz|[50/15 \u00B5s]");
}
