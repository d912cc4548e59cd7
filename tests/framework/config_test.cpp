// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <tsacore/config/Error.h>
#include <tsacore/config/Localizer.h>

#include "TestSupport.h"

using namespace tsacore;
using tsacore::config::Localizer;

namespace {
// The module reaches the look-up through position 1 of the localiser's table.
UString LocalizeThroughSlot1(const char* literal)
{
    using Slot = UString& (*)(Localizer*, UString&, const char*);
    Localizer* localizer = &Localizer::Get();
    UString out = u"stale";
    EXPECT_EQ(&(*reinterpret_cast<Slot**>(localizer))[1](localizer, out, literal), &out);
    return out;
}
} // namespace

TEST(Localizer, DefaultTextAndTranslationsFromFiles)
{
    Localizer::Get().ClearTranslations();
    const char* literal = "$$$/SovaPlugIns/SovaMp2/WriteStartGeneral=Error @0 creating file @1.";
    EXPECT_EQ(LocalizeThroughSlot1(literal), u"Error @0 creating file @1.");
    EXPECT_EQ(config::Localize("$$$/Key/WithEquals=a=b"), u"a=b");

    TempFolder folder;
    WriteWholeFile(folder / "de.txt",
                   "\xEF\xBB\xBF# Deutsch\r\n"
                   "$$$/SovaPlugIns/SovaMp2/WriteStartGeneral=Fehler @0 beim Erstellen von @1.\r\n"
                   "not a translation line\n"
                   "  $$$/Key/Spaced  =  \xC3\x9C" "ber  \n");
    WriteWholeFile(folder / "more.txt", "$$$/Key/Spaced=wieder\n$$$/Key/Missing=gefunden"); // no last newline
    ASSERT_TRUE(Localizer::Get().LoadTranslations(folder / "de.txt"));
    EXPECT_EQ(LocalizeThroughSlot1(literal), u"Fehler @0 beim Erstellen von @1.");
    EXPECT_EQ(config::Localize("$$$/Key/Spaced=Over"), u"  \u00DCber  "); // text kept as written
    EXPECT_EQ(config::Localize("$$$/Key/Missing=Fallback"), u"Fallback");
    ASSERT_TRUE(Localizer::Get().LoadTranslations(folder / "more.txt")); // adds and overrides
    EXPECT_EQ(config::Localize("$$$/Key/Spaced=Over"), u"wieder");
    EXPECT_EQ(config::Localize("$$$/Key/Missing=Fallback"), u"gefunden");
    EXPECT_FALSE(Localizer::Get().LoadTranslations(folder / "absent.txt"));
    EXPECT_FALSE(Localizer::Get().LoadTranslations(folder.Path().string()));
    Localizer::Get().ClearTranslations();
    EXPECT_EQ(config::Localize(literal), u"Error @0 creating file @1.");
}

// The contract error's numbers and flag are checked where the module raises it (codec tests).
TEST(Localizer, ThrowErrorCarriesTheLocalisedMessage)
{
    Localizer::Get().AddTranslation("$$$/Test/Fill", u"\u00BB@3@2@1@0\u00AB @4");
    try {
        config::ThrowError(1, "$$$/Test/Fill=unused", 0, 0, false, {u"a"}, {u"b"}, {u"c"}, {u"@0"});
        FAIL() << "no exception";
    } catch (const config::Error& error) {
        EXPECT_STREQ(error.what(), "\xC2\xBB@0cba\xC2\xAB @4");
        EXPECT_EQ(error.Level(), 1);
    }
    Localizer::Get().ClearTranslations();
}
