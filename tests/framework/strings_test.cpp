// SPDX-License-Identifier: MIT
#include <climits>

#include <gtest/gtest.h>

#include <tsacore/config/Error.h>
#include <tsacore/utility/Numbers.h>
#include <tsacore/utility/ReplaceInString.h>
#include <tsacore/utility/StringConversion.h>

using namespace tsacore;
using namespace tsacore::utility;

TEST(Strings, Utf8AndUtf16BothWaysWithBrokenInputReplaced)
{
    const UString text = u"A\u00E9\u20AC\U0001D11E"; // one to four UTF-8 bytes, a surrogate pair
    EXPECT_EQ(UTF16to8(text), "A\xC3\xA9\xE2\x82\xAC\xF0\x9D\x84\x9E");
    EXPECT_EQ(UTF8to16(UTF16to8(text)), text);
    EXPECT_EQ(UTF16to8(UString(u"a\0b", 3)), std::string("a\0b", 3));
    EXPECT_EQ(UTF16to8(static_cast<const char16_t*>(nullptr)), "");
    EXPECT_EQ(AsciiToUTF16(nullptr), u"");

    const std::string bad8 = "\xEF\xBF\xBD";
    EXPECT_EQ(UTF16to8(UString{u'a', char16_t(0xD834)}), "a" + bad8);                // lone high
    EXPECT_EQ(UTF16to8(UString{char16_t(0xDD1E), char16_t(0xD834)}), bad8 + bad8);   // reversed pair

    const UString bad(1, char16_t(0xFFFD));
    EXPECT_EQ(UTF8to16("\x80x"), bad + u"x");              // stray continuation byte
    EXPECT_EQ(UTF8to16("\xC0\x80"), bad + bad);            // overlong lead, then a stray byte
    EXPECT_EQ(UTF8to16("\xED\xA0\x80"), bad);              // an encoded surrogate
    EXPECT_EQ(UTF8to16("\xF4\x90\x80\x80"), bad);          // beyond U+10FFFF
    EXPECT_EQ(UTF8to16("ab\xE2\x82"), u"ab" + bad);        // truncated at the end
    EXPECT_EQ(UTF8to16("\xE2\x82z"), bad + u"z");          // truncated before a letter
    EXPECT_EQ(AsciiToUTF16("a\xFF"), u"a" + bad);
}

TEST(Strings, ReplaceFillsPlaceholdersInOnePass)
{
    EXPECT_EQ(ReplaceInString(u"Error @0 creating file @1.", u"2", u"/tmp/out.mp2"),
              u"Error 2 creating file /tmp/out.mp2.");
    EXPECT_EQ(ReplaceInString(u"@9@8@0", u"zero", u"", u"", u"", u"", u"", u"", u"", u"eight", u"nine"),
              u"nineeightzero");
    EXPECT_EQ(ReplaceInString(u"@0 and @1", u"@1", u"one"), u"@1 and one"); // not scanned again
    EXPECT_EQ(ReplaceInString(u"a@b @ @@1 end@", u"x", u"y"), u"a@b @ @y end@");
    EXPECT_EQ(ReplaceInString(u"[@3]"), u"[]");
}

TEST(Strings, NumbersToTextAndBackIn32Bits)
{
    EXPECT_EQ(NumberToString(-17), u"-17");
    EXPECT_EQ(NumberToString(INT32_MIN), u"-2147483648");

    struct Case {
        UString text;
        bool ok;
        int32_t value;
    };
    const Case cases[] = {
        {u"  -42", true, -42}, {u"+007", true, 7},   {u"2147483647", true, INT32_MAX},
        {u"-2147483648", true, INT32_MIN},           {u"2147483648", false, 0}, {u"", false, 0},
        {u"-", false, 0},      {u"12 ", false, 0},   {u"1.5", false, 0},        {u"\u0661", false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(UTF16to8(c.text));
        int32_t out = 12345;
        EXPECT_EQ(StringToNumber(out, c.text, kStringToNumberQuiet), c.ok);
        EXPECT_EQ(out, c.ok ? c.value : 12345); // unchanged on failure
        out = 12345;
        try {
            EXPECT_TRUE(StringToNumber(out, c.text, kStringToNumberThrow));
            EXPECT_TRUE(c.ok);
        } catch (const config::Error& error) {
            EXPECT_FALSE(c.ok);
            EXPECT_NE(error.Message().find(c.text), UString::npos);
        }
        EXPECT_EQ(out, c.ok ? c.value : 12345);
    }
}
