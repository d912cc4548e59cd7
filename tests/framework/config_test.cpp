#include <gtest/gtest.h>

#include <tsacore/config/Error.h>
#include <tsacore/config/Localizer.h>
#include <tsacore/utility/StringConversion.h>

#include "TestSupport.h"

using namespace tsacore;
using tsacore::config::Localizer;

namespace {
class LocalizerTest : public ::testing::Test {
protected:
    void SetUp() override { Localizer::Get().ClearTranslations(); }
    void TearDown() override { Localizer::Get().ClearTranslations(); }
};

// The module reaches the look-up through position 1 of the localiser's table.
UString LocalizeThroughSlot1(const char* literal)
{
    using Slot = UString& (*)(Localizer*, UString&, const char*);
    Localizer* localizer = &Localizer::Get();
    Slot* table = *reinterpret_cast<Slot**>(localizer);
    UString out = u"stale";
    UString& result = table[1](localizer, out, literal);
    EXPECT_EQ(&result, &out);
    return out;
}
} // namespace

TEST_F(LocalizerTest, DefaultTextAndTranslationsFromAFile)
{
    const char* literal = "$$$/SovaPlugIns/SovaMp2/WriteStartGeneral=Error @0 creating file @1.";
    EXPECT_EQ(config::Localize(literal), u"Error @0 creating file @1.");
    EXPECT_EQ(LocalizeThroughSlot1(literal), u"Error @0 creating file @1.");
    EXPECT_EQ(config::Localize("$$$/Key/Empty="), u"");
    EXPECT_EQ(config::Localize("$$$/Key/WithEquals=a=b"), u"a=b");
    EXPECT_EQ(config::Localize("no key at all"), u"no key at all");
    EXPECT_EQ(config::Localize("$$$/Key/Utf8=caf\xC3\xA9"), u"caf\u00E9");
    EXPECT_EQ(config::Localize(nullptr), u"");

    TempFolder folder;
    const std::string path = folder / "de.txt";
    WriteWholeFile(path,
                   "\xEF\xBB\xBF# Deutsch\r\n"
                   "$$$/SovaPlugIns/SovaMp2/WriteStartGeneral=Fehler @0 beim Erstellen von @1.\r\n"
                   "\n"
                   "   # indented comment\n"
                   "not a translation line\n"
                   "  $$$/Key/Spaced  =  \xC3\x9C" "ber  \n"
                   "$$$/Key/Empty=leer\n");
    ASSERT_TRUE(Localizer::Get().LoadTranslations(path));
    EXPECT_EQ(LocalizeThroughSlot1(literal), u"Fehler @0 beim Erstellen von @1.");
    EXPECT_EQ(config::Localize("$$$/Key/Spaced=Over"), u"  \u00DCber  "); // text kept as written
    EXPECT_EQ(config::Localize("$$$/Key/Empty="), u"leer");
    EXPECT_EQ(config::Localize("$$$/Key/Missing=Fallback"), u"Fallback");
    EXPECT_EQ(config::Localize("# Deutsch"), u"# Deutsch"); // comments define nothing

    // A later file adds to and overrides the earlier translations.
    const std::string more = folder / "more.txt";
    WriteWholeFile(more, "$$$/Key/Empty=wieder leer\n$$$/Key/Missing=gefunden");
    ASSERT_TRUE(Localizer::Get().LoadTranslations(more));
    EXPECT_EQ(config::Localize("$$$/Key/Empty="), u"wieder leer");
    EXPECT_EQ(config::Localize("$$$/Key/Missing=Fallback"), u"gefunden"); // last line without newline
    EXPECT_EQ(config::Localize(literal), u"Fehler @0 beim Erstellen von @1.");

    EXPECT_FALSE(Localizer::Get().LoadTranslations(folder / "absent.txt"));
    EXPECT_FALSE(Localizer::Get().LoadTranslations(folder.Path().string())); // a folder
    Localizer::Get().ClearTranslations();
    EXPECT_EQ(config::Localize(literal), u"Error @0 creating file @1.");
}

TEST_F(LocalizerTest, ThrowErrorLocalisesAndFillsReplacements)
{
    const char* contract =
        "$$$/tsacore/utility/Error/Contract/InputContractViolation=An input contract violation has occurred!";
    try {
        config::ThrowError(0, contract, 105, 25, true, {}, {}, {}, {});
        FAIL() << "no exception";
    } catch (const config::Error& error) {
        EXPECT_EQ(error.Message(), u"An input contract violation has occurred!");
        EXPECT_STREQ(error.what(), "An input contract violation has occurred!");
        EXPECT_EQ(error.Literal(), contract);
        EXPECT_EQ(error.Level(), 0);
        EXPECT_EQ(error.Number1(), 105);
        EXPECT_EQ(error.Number2(), 25);
        EXPECT_TRUE(error.Flag());
    }

    Localizer::Get().AddTranslation("$$$/Test/Fill", u"\u00BB@3@2@1@0\u00AB @4");
    try {
        config::ThrowError(1, "$$$/Test/Fill=unused", 0, 0, false, {u"a"}, {u"b"}, {u"c"}, {u"@0"});
        FAIL() << "no exception";
    } catch (const std::runtime_error& error) { // the framework's error is a runtime_error
        EXPECT_STREQ(error.what(), "\xC2\xBB@0cba\xC2\xAB @4");
        const auto* framework = dynamic_cast<const config::Error*>(&error);
        ASSERT_NE(framework, nullptr);
        EXPECT_EQ(framework->Level(), 1);
        EXPECT_FALSE(framework->Flag());
    }
}
