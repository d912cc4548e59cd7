// SPDX-License-Identifier: MIT
// The settings dialog's rules, exercised the way a user meets them: through the module's
// selector 15, with clicks, choices and typing on the dialog's widgets.
#include <cstring>

#include <tsacore/config/Localizer.h>

#include "DialogHarness.h"

namespace dialogtest {
namespace {
const std::u16string kDefaultText =
    u"ATH:0:0;BitsPerSecond:0:192;CRC:0:0;ChannelMode:0:-1;CompressionType:0:0;Copy:0:0;EmphasisType:0:0;"
    u"Energy:0:0;MPEGVersion:0:1;Original:0:0;PAMType:0:1;PaddingType:0:0;ShowAdvanced:0:0;";

int32_t FloatBits(float value) {
    int32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

std::vector<std::string> BitrateItems(const std::vector<int>& kbps, const std::vector<int>& rates) {
    std::vector<std::string> items;
    for (size_t i = 0; i < kbps.size(); ++i)
        items.push_back(std::to_string(kbps[i]) + " kbps (" + std::to_string(rates[i]) + " Hz)");
    return items;
}

using DialogBehaviour = DialogTest;

TEST_F(DialogBehaviour, DefaultsAt44100StereoAndOkWithoutEdits) {
    const Outcome outcome = Show(44100, 2, u"", [](User& user) {
        EXPECT_EQ(user.Dialog().GetTitle(), u"TwoLame MPEG Audio Layer II Settings");
        EXPECT_EQ(user.Shown("ChannelModePopupID"), "(Automatic)");
        EXPECT_EQ(user.Items("ChannelModePopupID"),
                  (std::vector<std::string>{"(Automatic)", "Mono", "Dual Mono", "Stereo", "Joint Stereo"}));
        EXPECT_EQ(user.Shown("ConstantBitratePopupID"), "192 kbps (44100 Hz)");
        EXPECT_EQ(user.Items("ConstantBitratePopupID"),
                  BitrateItems({32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
                               {16000, 44100, 44100, 44100, 44100, 44100, 44100, 44100, 44100, 44100, 44100, 44100,
                                44100, 44100}));
        EXPECT_EQ(user.Shown("MpegModeDynamicTextID"), "MPEG-1 Audio Layer II");
        EXPECT_EQ(user.Shown("PsycModelPopupID"), "Type I  (Standard)");
        EXPECT_EQ(user.Items("PsycModelPopupID"),
                  (std::vector<std::string>{"(None)", "Fast", "Type I  (Standard)", "Type II (Standard)",
                                            "Type I  (Alternate)", "Type II (Alternate)"}));
        EXPECT_FALSE(user.Enabled("AthHotTextID"));
        EXPECT_EQ(user.Shown("AthHotTextID"), "0.0 dB");
        EXPECT_EQ(user.Shown("DeEmphasisModelPopupID"), "No Emphasis");
        EXPECT_EQ(user.Items("DeEmphasisModelPopupID"),
                  (std::vector<std::string>{"No Emphasis", "50/15 \u00B5s", "CCITT J.17"}));
        EXPECT_FALSE(user.Visible("CopyrightCheckboxID")); // the Advanced section starts closed
        EXPECT_EQ(user.Height(), 486 - 332);
        EXPECT_GT(user.Width(), 252); // the archive's width widened for the labels
        user.Ok();
    });
    EXPECT_TRUE(outcome.shown);
    EXPECT_EQ(outcome.result, 0);
    EXPECT_TRUE(outcome.cancelledSet);
    EXPECT_FALSE(outcome.cancelled);
    EXPECT_EQ(outcome.text, kDefaultText);
}

TEST_F(DialogBehaviour, MonoSourceOffersTheLsfListAndStoresItsLargestBitrate) {
    const Outcome outcome = Show(44100, 1, u"", [](User& user) {
        const auto items = user.Items("ConstantBitratePopupID");
        ASSERT_EQ(items.size(), 14u);
        EXPECT_EQ(items.front(), "8 kbps (16000 Hz)");
        EXPECT_EQ(items.back(), "160 kbps (44100 Hz)");
        EXPECT_EQ(user.Shown("ConstantBitratePopupID"), "160 kbps (44100 Hz)");
        user.Ok();
    });
    EXPECT_EQ(Entry(outcome.text, "BitsPerSecond"), 160);
    EXPECT_EQ(Entry(outcome.text, "ChannelMode"), -1);
}

TEST_F(DialogBehaviour, MpegVersionFollowsTheRateTheBitrateImplies) {
    Outcome outcome = Show(22050, 2, u"", [](User& user) {
        EXPECT_EQ(user.Shown("ConstantBitratePopupID"), "192 kbps (44100 Hz)");
        EXPECT_EQ(user.Shown("MpegModeDynamicTextID"), "MPEG-1 Audio Layer II");
        user.Choose("ConstantBitratePopupID", 0); // 32 kbps
        EXPECT_EQ(user.Shown("ConstantBitratePopupID"), "32 kbps (22050 Hz)");
        EXPECT_EQ(user.Shown("MpegModeDynamicTextID"), "MPEG-2 LSF Audio Layer II");
        user.Ok();
    });
    EXPECT_EQ(Entry(outcome.text, "BitsPerSecond"), 32);
    EXPECT_EQ(Entry(outcome.text, "MPEGVersion"), 0);

    outcome = Show(22050, 2, u"BitsPerSecond:0:32;", [](User& user) {
        EXPECT_EQ(user.Shown("ConstantBitratePopupID"), "32 kbps (22050 Hz)");
        EXPECT_EQ(user.Shown("MpegModeDynamicTextID"), "MPEG-2 LSF Audio Layer II");
        user.Ok();
    });
    EXPECT_EQ(Entry(outcome.text, "MPEGVersion"), 0);

    outcome = Show(96000, 2, u"", [](User& user) {
        EXPECT_EQ(user.Shown("ConstantBitratePopupID"), "192 kbps (48000 Hz)");
        EXPECT_EQ(user.Shown("MpegModeDynamicTextID"), "MPEG-1 Audio Layer II");
        user.Ok();
    });
    EXPECT_EQ(Entry(outcome.text, "MPEGVersion"), 1);
}

TEST_F(DialogBehaviour, ChannelModeChoosesTheBitrateList) {
    Outcome outcome = Show(44100, 2, u"", [](User& user) {
        user.Choose("ChannelModePopupID", 1); // Mono
        EXPECT_EQ(user.Items("ConstantBitratePopupID").front(), "8 kbps (16000 Hz)");
        EXPECT_EQ(user.Shown("ConstantBitratePopupID"), "160 kbps (44100 Hz)");
        user.Choose("ChannelModePopupID", 3); // Stereo
        EXPECT_EQ(user.Items("ConstantBitratePopupID").front(), "32 kbps (16000 Hz)");
        EXPECT_EQ(user.Shown("ConstantBitratePopupID"), "160 kbps (44100 Hz)");
        user.Ok();
    });
    EXPECT_EQ(Entry(outcome.text, "BitsPerSecond"), 160);
    EXPECT_EQ(Entry(outcome.text, "ChannelMode"), 0);

    // (Automatic) after Mono keeps the mono list.
    outcome = Show(44100, 2, u"", [](User& user) {
        user.Choose("ChannelModePopupID", 1);
        user.Choose("ChannelModePopupID", 0);
        EXPECT_EQ(user.Items("ConstantBitratePopupID").back(), "160 kbps (44100 Hz)");
        user.Choose("ChannelModePopupID", 4); // Joint Stereo
        EXPECT_EQ(user.Items("ConstantBitratePopupID").back(), "384 kbps (44100 Hz)");
        user.Ok();
    });
    EXPECT_EQ(Entry(outcome.text, "ChannelMode"), 1);
    EXPECT_EQ(Entry(outcome.text, "BitsPerSecond"), 160);
}

TEST_F(DialogBehaviour, StoredBitrateBetweenItemsRoundsUpOnlyForConstantBitrate) {
    Outcome outcome = Show(44100, 2, u"BitsPerSecond:0:100;", [](User& user) {
        EXPECT_EQ(user.Shown("ConstantBitratePopupID"), "112 kbps (44100 Hz)");
        user.Ok();
    });
    EXPECT_EQ(Entry(outcome.text, "BitsPerSecond"), 112);

    outcome = Show(44100, 2, u"CompressionType:0:1;BitsPerSecond:0:100;", [](User& user) {
        EXPECT_EQ(user.Shown("ConstantBitratePopupID"), "112 kbps (44100 Hz)");
        user.Choose("ConstantBitratePopupID", 0); // writes nothing for variable bitrate
        EXPECT_EQ(user.Shown("MpegModeDynamicTextID"), "MPEG-1 Audio Layer II");
        user.Ok();
    });
    EXPECT_EQ(Entry(outcome.text, "BitsPerSecond"), 100);
    EXPECT_EQ(Entry(outcome.text, "CompressionType"), 1);
    EXPECT_EQ(Entry(outcome.text, "MPEGVersion"), 1);
}

TEST_F(DialogBehaviour, AlternateModelsEnableTheAthField) {
    const Outcome outcome = Show(44100, 2, u"ShowAdvanced:0:1;", [](User& user) {
        EXPECT_FALSE(user.Enabled("AthHotTextID"));
        user.Choose("PsycModelPopupID", 4); // Type I  (Alternate)
        EXPECT_TRUE(user.Enabled("AthHotTextID"));
        user.Type("AthHotTextID", u"3.5");
        EXPECT_EQ(user.Shown("AthHotTextID"), "3.5 dB");
        user.Step("AthHotTextID", 1, 1);  // Shift: +3
        user.Step("AthHotTextID", -1, 2); // Ctrl: -0.1
        user.Step("AthHotTextID", 1, 0);  // +1
        EXPECT_EQ(user.Shown("AthHotTextID"), "7.4 dB");
        user.Choose("PsycModelPopupID", 5); // Type II (Alternate)
        EXPECT_TRUE(user.Enabled("AthHotTextID"));
        user.Choose("PsycModelPopupID", 1); // Fast: disabled, the value stays stored
        EXPECT_FALSE(user.Enabled("AthHotTextID"));
        user.Ok();
    });
    EXPECT_EQ(Entry(outcome.text, "PAMType"), 0);
    EXPECT_EQ(Entry(outcome.text, "ATH"), FloatBits(7.4f));
}

TEST_F(DialogBehaviour, AthIsReadAtOpeningOnlyForAlternateModels) {
    // The stored ATH shows in the field; with model 4 it is taken, with model 1 it is kept.
    Outcome outcome = Show(44100, 2, u"ShowAdvanced:0:1;PAMType:0:4;ATH:0:-1082130432;", [](User& user) {
        EXPECT_TRUE(user.Enabled("AthHotTextID"));
        EXPECT_EQ(user.Shown("AthHotTextID"), "-1.0 dB");
        user.Step("AthHotTextID", -20, 1); // stops at the range's end
        EXPECT_EQ(user.Shown("AthHotTextID"), "-10.0 dB");
        user.Ok();
    });
    EXPECT_EQ(Entry(outcome.text, "ATH"), FloatBits(-10.0f));
}

TEST_F(DialogBehaviour, FlagsAndPaddingComeBackFromTheCheckBoxes) {
    Outcome outcome = Show(44100, 2, u"PaddingType:0:5;EmphasisType:0:3;", [](User& user) {
        user.Click("AdvancedSectionViewID");
        EXPECT_EQ(user.Shown("DeEmphasisModelPopupID"), "CCITT J.17");
        user.Click("CopyrightCheckboxID");
        user.Click("CRCCheckboxID");
        user.Click("EmbedPeakCheckboxID");
        user.Click("EmbedPeakCheckboxID");
        user.Choose("DeEmphasisModelPopupID", 1);
        user.Ok();
    });
    EXPECT_EQ(Entry(outcome.text, "PaddingType"), 1);
    EXPECT_EQ(Entry(outcome.text, "Copy"), 1);
    EXPECT_EQ(Entry(outcome.text, "CRC"), 1);
    EXPECT_EQ(Entry(outcome.text, "Energy"), 0);
    EXPECT_EQ(Entry(outcome.text, "Original"), 0);
    EXPECT_EQ(Entry(outcome.text, "EmphasisType"), 1);
    EXPECT_EQ(Entry(outcome.text, "ShowAdvanced"), 1);

    // Values the pop-ups do not offer show no item and stay as stored.
    outcome = Show(44100, 2, u"EmphasisType:0:2;PAMType:0:9;ChannelMode:0:7;", [](User& user) {
        EXPECT_EQ(user.Shown("DeEmphasisModelPopupID"), "");
        EXPECT_EQ(user.Shown("PsycModelPopupID"), "");
        EXPECT_EQ(user.Shown("ChannelModePopupID"), "");
        user.Ok();
    });
    EXPECT_EQ(Entry(outcome.text, "EmphasisType"), 2);
    EXPECT_EQ(Entry(outcome.text, "PAMType"), 9);
    EXPECT_EQ(Entry(outcome.text, "ChannelMode"), 7);
}

TEST_F(DialogBehaviour, AdvancedSectionResizesTheDialogBy332) {
    Outcome outcome = Show(44100, 2, u"", [](User& user) {
        const float closed = user.Height();
        EXPECT_EQ(user.Where("OKButtonID").top, 453 - 332);
        user.Click("AdvancedSectionViewID");
        EXPECT_EQ(user.Height(), closed + 332);
        EXPECT_TRUE(user.Visible("CopyrightCheckboxID"));
        EXPECT_EQ(user.Where("OKButtonID").top, 453);
        user.Click("AdvancedSectionViewID");
        EXPECT_EQ(user.Height(), closed);
        EXPECT_FALSE(user.Visible("CopyrightCheckboxID"));
        user.Click("AdvancedSectionViewID");
        user.Ok();
    });
    EXPECT_EQ(Entry(outcome.text, "ShowAdvanced"), 1);

    outcome = Show(44100, 2, u"ShowAdvanced:0:1;", [](User& user) {
        EXPECT_EQ(user.Height(), 486);
        EXPECT_TRUE(user.Visible("AthHotTextID"));
        user.Click("AdvancedSectionViewID");
        EXPECT_EQ(user.Height(), 486 - 332);
        user.Ok();
    });
    EXPECT_EQ(Entry(outcome.text, "ShowAdvanced"), 0);
}

TEST_F(DialogBehaviour, TextsComeThroughTheLocalizer) {
    auto& localizer = tsacore::config::Localizer::Get();
    localizer.AddTranslation("$$$/SovaTwoLame/FormatOptionsViewXML/Advanced", u"Erweitert");
    localizer.AddTranslation("$$$/sova/SovaMp2SettingsDialog/ChannelMono", u"Mono (\u00FCbersetzt)");
    localizer.AddTranslation("$$$/sova/SovaMp2SettingsDialog/BitRatePopup", u"@0 kbit/s bei @1 Hz");
    localizer.AddTranslation("$$$/sova/SovaMp2SettingsDialog/TwoLameSettings", u"TwoLame-Einstellungen");
    Show(44100, 2, u"", [](User& user) {
        EXPECT_EQ(user.Dialog().GetTitle(), u"TwoLame-Einstellungen");
        EXPECT_EQ(user.Shown("AdvancedSectionViewID"), "Erweitert");
        EXPECT_EQ(user.Items("ChannelModePopupID")[1], "Mono (\u00FCbersetzt)");
        EXPECT_EQ(user.Shown("ConstantBitratePopupID"), "192 kbit/s bei 44100 Hz");
        EXPECT_EQ(user.Shown("OKButtonID"), "OK");
        EXPECT_EQ(Utf8(user.Node("CRCCheckboxID").GetToolTip()),
                  "Enabling this option will protect the MPEG file from bit errors by embedding CRC (Cyclic "
                  "Redundancy Check) information.");
        user.Cancel();
    });
    localizer.ClearTranslations();
}

TEST_F(DialogBehaviour, CancelLeavesTheHostsTextUntouched) {
    const std::u16string text = u"Copy:0:1;BitsPerSecond:0:100;Unknown:1:kept;PaddingType:0:5";
    Outcome outcome = Show(44100, 2, text, [](User& user) {
        user.Choose("ChannelModePopupID", 1);
        user.Click("AdvancedSectionViewID");
        user.Click("CopyrightCheckboxID");
        user.Cancel();
    });
    EXPECT_EQ(outcome.result, 0);
    EXPECT_TRUE(outcome.cancelledSet);
    EXPECT_TRUE(outcome.cancelled);
    EXPECT_EQ(outcome.text, text);

    // Escape closes the dialog as Cancel does.
    outcome = Show(44100, 2, text, [](User& user) { tsaui::ui::automation::PressEscape(user.Dialog()); });
    EXPECT_TRUE(outcome.cancelled);
    EXPECT_EQ(outcome.text, text);
}
} // namespace
} // namespace dialogtest
