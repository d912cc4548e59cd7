// SPDX-License-Identifier: MIT
// The SDK's UTF-8 / UTF-16 helpers: what a host hands the module as a path is exactly the name it
// was given, and a name that is not UTF-8 is refused rather than turned into another name.
#include <string>

#include <gtest/gtest.h>

#include <sova/Utf16.h>

using sova::sdk::Utf16ToUtf8;
using sova::sdk::Utf8SequenceLength;
using sova::sdk::Utf8ToUtf16;

TEST(SdkUtf16, WellFormedNamesConvertBothWaysUnchanged) {
    const std::string names[] = {"", "song.mp2", "/tmp/Ünïcödé/é.mp2", "/radio/日本語.mp2", "/x/🎵 take 2.mp2",
                                 "\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF\xF0\x90\x80\x80\xF4\x8F\xBF\xBF"};
    for (const std::string& name : names) {
        const auto wide = Utf8ToUtf16(name);
        ASSERT_TRUE(wide) << name;
        EXPECT_EQ(Utf16ToUtf8(wide->c_str()), name);
    }
    EXPECT_EQ(*Utf8ToUtf16("\xF0\x9F\x8E\xB5"), std::u16string(u"\xD83C\xDFB5")); // a surrogate pair
    EXPECT_EQ(*Utf8ToUtf16("\xC3\xA9"), std::u16string(u"\u00E9"));
    EXPECT_EQ(Utf8SequenceLength("a\xE2\x82\xAC", 1), 3u);
}

TEST(SdkUtf16, MalformedNamesAreRefused) {
    const std::string malformed[] = {
        "\x80",             // a continuation byte alone
        "name\xC3",         // cut in the middle of a sequence
        "\xE2\x82",         // cut
        "\xC0\xAF",         // overlong "/"
        "\xE0\x80\xAF",     // overlong "/"
        "\xED\xA0\x80",     // a surrogate
        "\xF4\x90\x80\x80", // above U+10FFFF
        "\xF8\x88\x80\x80\x80",
        "latin1 caf\xE9.mp2",
        std::string("a\0b.mp2", 7), // the module would read "a"
    };
    for (const std::string& name : malformed) EXPECT_FALSE(Utf8ToUtf16(name)) << name;
    EXPECT_EQ(Utf8SequenceLength("\xC3", 0), 0u);
    EXPECT_EQ(Utf8SequenceLength("abc", 3), 0u); // past the end
}

TEST(SdkUtf16, TextsFromTheModuleBecomeUtf8EvenWhenBroken) {
    EXPECT_EQ(Utf16ToUtf8(nullptr), "");
    EXPECT_EQ(Utf16ToUtf8(u"MPEG-1 Audio Layer II"), "MPEG-1 Audio Layer II");
    const char16_t lone[] = {u'a', 0xD800, u'b', 0xDC00, 0};
    EXPECT_EQ(Utf16ToUtf8(lone), "a\xEF\xBF\xBD" "b\xEF\xBF\xBD");
}
