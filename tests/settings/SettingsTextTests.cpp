// SPDX-License-Identifier: MIT
// The settings record, its text form and the property map behind it.
#include <bit>
#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "settings/EncoderSettings.h"
#include "settings/PropertyMap.h"

using sova::EncoderSettings;
using sova::PropertyMap;

namespace {
const std::u16string kDefaultLine =
    u"ATH:0:0;BitsPerSecond:0:192;CRC:0:0;ChannelMode:0:-1;CompressionType:0:0;Copy:0:0;EmphasisType:0:0;"
    u"Energy:0:0;MPEGVersion:0:1;Original:0:0;PAMType:0:1;PaddingType:0:0;ShowAdvanced:0:0;";

EncoderSettings Parse(const std::u16string& text) {
    EncoderSettings settings;
    settings.SetBitsPerSecond(999); // FromText must replace the whole record
    settings.FromText(text);        // answers true by contract, whatever the text
    return settings;
}

PropertyMap ParseMap(const std::u16string& text) {
    PropertyMap map;
    map.SetInteger(u"Stale", 1); // parsing starts from an empty map
    map.FromText(text);
    return map;
}
} // namespace

TEST(SettingsText, DefaultRecordAndItsLine) {
    const EncoderSettings defaults;
    EXPECT_EQ(defaults.GetCompressionType(), 0);
    EXPECT_EQ(defaults.GetBitsPerSecond(), 192);
    EXPECT_EQ(defaults.GetChannelMode(), -1);
    EXPECT_EQ(defaults.GetMPEGVersion(), 1);
    EXPECT_EQ(defaults.GetPaddingType(), 0);
    EXPECT_EQ(defaults.GetEmphasisType(), 0);
    EXPECT_EQ(defaults.GetPAMType(), 1);
    EXPECT_EQ(std::bit_cast<uint32_t>(defaults.GetATH()), 0u);
    EXPECT_FALSE(defaults.GetCopy() || defaults.GetOriginal() || defaults.GetCRC() || defaults.GetEnergy() ||
                 defaults.GetShowAdvanced());
    EXPECT_EQ(defaults.ToText(), kDefaultLine);

    EXPECT_EQ(Parse(u""), defaults);
    EXPECT_EQ(Parse(u"no colon at all; just words"), defaults);
    EXPECT_EQ(Parse(kDefaultLine).ToText(), kDefaultLine);
}

TEST(SettingsText, EveryFieldSurvivesTheRoundTrip) {
    EncoderSettings settings;
    settings.SetCompressionType(3);
    settings.SetBitsPerSecond(-7); // setters store what they are given
    settings.SetChannelMode(2);
    settings.SetMPEGVersion(0);
    settings.SetPaddingType(1);
    settings.SetEmphasisType(2);
    settings.SetPAMType(-1);
    settings.SetATH(-1.0f);
    settings.SetCopy(true);
    settings.SetOriginal(true);
    settings.SetCRC(true);
    settings.SetEnergy(true);
    settings.SetShowAdvanced(true);
    const std::u16string text = settings.ToText();
    EXPECT_EQ(text, u"ATH:0:-1082130432;BitsPerSecond:0:-7;CRC:0:1;ChannelMode:0:2;CompressionType:0:3;Copy:0:1;"
                    u"EmphasisType:0:2;Energy:0:1;MPEGVersion:0:0;Original:0:1;PAMType:0:-1;PaddingType:0:1;"
                    u"ShowAdvanced:0:1;");
    EXPECT_EQ(Parse(text), settings);

    // A NaN keeps its exact bit pattern through the text.
    settings.SetATH(std::bit_cast<float>(0x7FC00123u));
    EXPECT_EQ(std::bit_cast<uint32_t>(Parse(settings.ToText()).GetATH()), 0x7FC00123u);
}

TEST(SettingsText, ParsingExamples) {
    const EncoderSettings defaults;
    EncoderSettings expected;
    expected.SetBitsPerSecond(128);
    EXPECT_EQ(Parse(u"BitsPerSecond:0:128;"), expected);

    // Rejected values: empty, a plus sign, a space, a decimal point, a lone minus, a minus after
    // a digit, a number beyond 32 bits.
    for (const char16_t* text : {u"PAMType:0:;", u"PAMType:0:+3;", u"PAMType:0: 3;", u"PAMType:0:3 ;",
                                 u"PAMType:0:3.0;", u"PAMType:0:-;", u"PAMType:0:3-;", u"PAMType:0:2147483648;",
                                 u"PAMType:+0:3;", u"PAMType::3;", u"PAMType:x:3;"})
        EXPECT_EQ(Parse(text), defaults) << std::u16string(text).size();

    expected = defaults;
    expected.SetPAMType(-2147483647 - 1);
    EXPECT_EQ(Parse(u"PAMType:0:-2147483648;"), expected);
    expected.SetPAMType(2);
    EXPECT_EQ(Parse(u"PAMType:-0:002;"), expected); // "-0" is type 0

    // The first occurrence wins; a rejected first occurrence does not count.
    expected = defaults;
    expected.SetBitsPerSecond(64);
    EXPECT_EQ(Parse(u"BitsPerSecond:0:64;BitsPerSecond:0:320;"), expected);
    EXPECT_EQ(Parse(u"BitsPerSecond:0:x;BitsPerSecond:0:64;BitsPerSecond:0:320;"), expected);

    // Keys are case-sensitive; a one-character key and unknown keys are ignored.
    EXPECT_EQ(Parse(u"bitspersecond:0:64;B:0:64;Z:0:1;Unknown:0:5;"), defaults);

    // A string entry does not set an integer field, even with a numeric value.
    EXPECT_EQ(Parse(u"ChannelMode:1:3;"), defaults);
    EXPECT_EQ(Parse(u"ChannelMode:-4:3;"), defaults);

    // A final entry without ";" is ignored; what comes before it counts.
    expected = defaults;
    expected.SetCRC(true);
    EXPECT_EQ(Parse(u"CRC:0:1;PAMType:0:3"), expected);

    EXPECT_EQ(Parse(u"ATH:0:1065353216;").GetATH(), 1.0f);
    const float tiny = Parse(u"ATH:0:1;").GetATH();
    EXPECT_EQ(tiny, std::numeric_limits<float>::denorm_min());

    const EncoderSettings copy = Parse(u"Copy:0:7;");
    EXPECT_TRUE(copy.GetCopy());
    EXPECT_NE(copy.ToText().find(u"Copy:0:1;"), std::u16string::npos);
    EXPECT_FALSE(Parse(u"Copy:0:0;Original:0:-1;").GetCopy());
    EXPECT_TRUE(Parse(u"Copy:0:0;Original:0:-1;").GetOriginal());
}

TEST(PropertyMapText, SerialisationOrderAndFirstInsertionWins) {
    PropertyMap map;
    EXPECT_EQ(map.ToText(), u"");
    EXPECT_TRUE(map.SetString(u"b", u"x:y"));
    EXPECT_TRUE(map.SetInteger(u"abc", -5));
    EXPECT_TRUE(map.SetInteger(u"ab", 7));
    EXPECT_TRUE(map.SetInteger(u"Zed", 0));
    EXPECT_FALSE(map.SetInteger(u"ab", 8));
    EXPECT_FALSE(map.SetString(u"b", u"other"));
    EXPECT_TRUE(map.SetString(u"ab", u"text")); // the two maps are separate
    // Integers first, upper case before lower case, a key before its longer extensions.
    EXPECT_EQ(map.ToText(), u"Zed:0:0;ab:0:7;abc:0:-5;ab:1:text;b:1:x:y;");

    int32_t value = 42;
    EXPECT_TRUE(map.GetInteger(u"ab", value));
    EXPECT_EQ(value, 7);
    value = 42;
    EXPECT_FALSE(map.GetInteger(u"b", value));
    EXPECT_EQ(value, 42);

    // Code-unit order, not code-point order: a surrogate pair sorts below U+FFFD.
    PropertyMap wide;
    wide.SetInteger(u"\uFFFD\uFFFD", 1);
    wide.SetInteger(u"\U0001F600", 2);
    EXPECT_EQ(wide.ToText(), u"\U0001F600:0:2;\uFFFD\uFFFD:0:1;");
}

TEST(PropertyMapText, ParsingRules) {
    // String values keep colons and spaces, any non-zero type makes a string entry.
    PropertyMap map = ParseMap(u"Name:1:a:b c;Other:-3:7;Count:0:12;");
    EXPECT_EQ(map.Integers(), (PropertyMap::IntegerMap{{u"Count", 12}}));
    EXPECT_EQ(map.Strings(), (PropertyMap::StringMap{{u"Name", u"a:b c"}, {u"Other", u"7"}}));
    EXPECT_EQ(ParseMap(map.ToText()), map);

    // Each key starts right after the previous ";", whether or not that entry was accepted;
    // a key may therefore hold a ";" of text that precedes it without a colon.
    map = ParseMap(u"x:0:;ab:0:1;junk;cd:0:2;tail without end");
    EXPECT_EQ(map.Integers(), (PropertyMap::IntegerMap{{u"ab", 1}, {u"junk;cd", 2}}));
    EXPECT_TRUE(map.Strings().empty());

    // An entry whose value would run past the text's last ";" stops the parse.
    map = ParseMap(u"ab:0:1;cd:0:2");
    EXPECT_EQ(map.Integers(), (PropertyMap::IntegerMap{{u"ab", 1}}));
    map = ParseMap(u"ab:0");
    EXPECT_TRUE(map.Integers().empty());

    // The ";" closing an entry is searched from its second colon: "ab:0:;" has an empty value.
    map = ParseMap(u"ab:0:;cd:0:3;");
    EXPECT_EQ(map.Integers(), (PropertyMap::IntegerMap{{u"cd", 3}}));

    // Empty key, one-character key, string with an empty value: all skipped.
    map = ParseMap(u":0:1;k:1:v;kk:1:;kk:1:w;");
    EXPECT_TRUE(map.Integers().empty());
    EXPECT_EQ(map.Strings(), (PropertyMap::StringMap{{u"kk", u"w"}}));
}

TEST(SettingsConform, BitrateFollowsTheRateItImplies) {
    EncoderSettings settings;
    EXPECT_FALSE(settings.ConformBitrateToSampleRate(2, 44100)); // 192 at 44100 fits
    EXPECT_EQ(settings.GetBitsPerSecond(), 192);

    settings.SetBitsPerSecond(32); // implies 16000: true, but 32 is already usable there
    EXPECT_TRUE(settings.ConformBitrateToSampleRate(2, 44100));
    EXPECT_EQ(settings.GetBitsPerSecond(), 32);

    settings.SetBitsPerSecond(48); // implies 22050 from 11025, where 40 is the nearest bitrate
    EXPECT_TRUE(settings.ConformBitrateToSampleRate(1, 11025));
    EXPECT_EQ(settings.GetBitsPerSecond(), 40);

    settings.SetBitsPerSecond(100); // row 96 implies 44100 from 22050; 96 is nearest to 100
    EXPECT_TRUE(settings.ConformBitrateToSampleRate(2, 22050));
    EXPECT_EQ(settings.GetBitsPerSecond(), 96);

    settings.SetBitsPerSecond(4); // no row: implied rate 0, nearest default rate 16000 -> 32
    EXPECT_TRUE(settings.ConformBitrateToSampleRate(2, 44100));
    EXPECT_EQ(settings.GetBitsPerSecond(), 32);

    settings.SetBitsPerSecond(4);
    settings.SetCompressionType(1); // variable bitrate is left alone
    EXPECT_FALSE(settings.ConformBitrateToSampleRate(2, 11025));
    EXPECT_EQ(settings.GetBitsPerSecond(), 4);
}
