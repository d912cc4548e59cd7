#include <climits>

#include <gtest/gtest.h>

#include <tsacore/config/Error.h>
#include <tsacore/utility/Numbers.h>
#include <tsacore/utility/ReplaceInString.h>
#include <tsacore/utility/StringConversion.h>

using namespace tsacore;
using namespace tsacore::utility;

TEST(StringConversion, Utf16ToUtf8HandlesEveryPlaneAndBrokenSurrogates)
{
    // A, e-acute, euro sign, G clef (a surrogate pair)
    const UString text = u"A\u00E9\u20AC\U0001D11E";
    EXPECT_EQ(UTF16to8(text), "A\xC3\xA9\xE2\x82\xAC\xF0\x9D\x84\x9E");
    EXPECT_EQ(UTF16to8(text.c_str()), UTF16to8(text));
    EXPECT_EQ(UTF8to16(UTF16to8(text)), text);

    const char* replacement = "\xEF\xBF\xBD";
    const UString loneHigh{u'a', char16_t(0xD834)};
    EXPECT_EQ(UTF16to8(loneHigh), std::string("a") + replacement);
    const UString loneLow{char16_t(0xDD1E), u'b'};
    EXPECT_EQ(UTF16to8(loneLow), std::string(replacement) + "b");
    const UString reversedPair{char16_t(0xDD1E), char16_t(0xD834)};
    EXPECT_EQ(UTF16to8(reversedPair), std::string(replacement) + replacement);
    const UString highThenLetter{char16_t(0xD834), u'c'};
    EXPECT_EQ(UTF16to8(highThenLetter), std::string(replacement) + "c");

    const char16_t* none = nullptr;
    EXPECT_EQ(UTF16to8(none), "");
    EXPECT_EQ(UTF16to8(UString{}), "");
    // An embedded zero in a UString is kept.
    EXPECT_EQ(UTF16to8(UString(u"a\0b", 3)), std::string("a\0b", 3));
}

TEST(StringConversion, Utf8ToUtf16ReplacesInvalidBytes)
{
    const UString fffd(1, char16_t(0xFFFD));
    EXPECT_EQ(UTF8to16("\xF0\x9D\x84\x9E"), UString(u"\U0001D11E"));
    EXPECT_EQ(UTF8to16("\x80x"), fffd + u"x");                    // stray continuation byte
    EXPECT_EQ(UTF8to16("\xC0\x80"), fffd + fffd);                  // overlong lead, then a stray byte
    EXPECT_EQ(UTF8to16("\xE0\x80\x80"), fffd);                     // overlong three-byte zero
    EXPECT_EQ(UTF8to16("\xED\xA0\x80"), fffd);                     // an encoded surrogate
    EXPECT_EQ(UTF8to16("\xF4\x90\x80\x80"), fffd);                 // beyond U+10FFFF
    EXPECT_EQ(UTF8to16("\xF5z"), fffd + u"z");
    EXPECT_EQ(UTF8to16("ab\xE2\x82"), u"ab" + fffd);               // truncated at the end
    EXPECT_EQ(UTF8to16("\xE2\x82z"), fffd + u"z");                 // truncated before a letter
    EXPECT_EQ(UTF8to16("\xEF\xBF\xBD"), fffd);                     // a real U+FFFD passes
}

TEST(StringConversion, AsciiToUtf16)
{
    EXPECT_EQ(AsciiToUTF16("libmpg123.dll"), u"libmpg123.dll");
    EXPECT_EQ(AsciiToUTF16(""), u"");
    EXPECT_EQ(AsciiToUTF16(nullptr), u"");
    EXPECT_EQ(AsciiToUTF16("a\xFF"), UString(u"a") + char16_t(0xFFFD)); // not ASCII
}

TEST(ReplaceInString, FillsPlaceholdersInOnePass)
{
    EXPECT_EQ(ReplaceInString(u"Error @0 creating file @1.", u"2", u"/tmp/out.mp2"),
              u"Error 2 creating file /tmp/out.mp2.");
    EXPECT_EQ(ReplaceInString(u"@9@8@0", u"zero", u"", u"", u"", u"", u"", u"", u"", u"eight", u"nine"),
              u"nineeightzero");
    // A replacement is not scanned again, even when it holds a placeholder.
    EXPECT_EQ(ReplaceInString(u"@0 and @1", u"@1", u"one"), u"@1 and one");
    // "@" before anything but a digit stays; "@@1" keeps the first "@".
    EXPECT_EQ(ReplaceInString(u"a@b @ @@1 end@", u"x", u"y"), u"a@b @ @y end@");
    // Placeholders without a value become empty.
    EXPECT_EQ(ReplaceInString(u"[@3]"), u"[]");
}

TEST(Numbers, NumberToString)
{
    EXPECT_EQ(NumberToString(0), u"0");
    EXPECT_EQ(NumberToString(-17), u"-17");
    EXPECT_EQ(NumberToString(INT32_MAX), u"2147483647");
    EXPECT_EQ(NumberToString(INT32_MIN), u"-2147483648");
}

TEST(Numbers, StringToNumberAcceptsOnlyWholeDecimalNumbersIn32Bits)
{
    struct Case {
        UString text;
        bool ok;
        int32_t value;
    };
    const Case cases[] = {
        {u"42", true, 42},          {u"  -42", true, -42},      {u"+7", true, 7},
        {u"007", true, 7},          {u"2147483647", true, INT32_MAX}, {u"-2147483648", true, INT32_MIN},
        {u"2147483648", false, 0},  {u"-2147483649", false, 0}, {u"99999999999999999999999", false, 0},
        {u"", false, 0},            {u"-", false, 0},           {u"1-", false, 0},
        {u"12 ", false, 0},         {u"1.5", false, 0},         {u"--1", false, 0},
        {u" ", false, 0},           {u"\u0661", false, 0}, // an Arabic-Indic digit is not decimal here
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(UTF16to8(c.text));
        int32_t out = 12345;
        EXPECT_EQ(StringToNumber(out, c.text, kStringToNumberQuiet), c.ok);
        EXPECT_EQ(out, c.ok ? c.value : 12345); // unchanged on failure

        out = 12345;
        if (c.ok) {
            EXPECT_TRUE(StringToNumber(out, c.text, kStringToNumberThrow));
            EXPECT_EQ(out, c.value);
        } else {
            try {
                StringToNumber(out, c.text, kStringToNumberThrow);
                ADD_FAILURE() << "no exception";
            } catch (const config::Error& error) {
                EXPECT_NE(error.Message().find(c.text), UString::npos);
                EXPECT_EQ(std::string(error.what()), UTF16to8(error.Message()));
            }
            EXPECT_EQ(out, 12345);
        }
    }
}
