// SPDX-License-Identifier: MIT
// Registration (selector 0) through the module's export, with the real codec libraries.
#include <tsacore/config/Localizer.h>

#include "HostFixture.h"

using namespace settingstest;

namespace {
constexpr const char* kIdentifier = "08E931A6-B7EE-4F0C-8EFA-213C25E9C6DC";

class Registration : public ModuleHost {
protected:
    sovahost::Registrar Register() {
        sovahost::Registrar registrar;
        EXPECT_EQ(module.Call(sova::sdk::kSelectorDescribePlugIn, nullptr, &registrar), 0);
        EXPECT_EQ(module.Call(sova::sdk::kSelectorShutdown, nullptr, nullptr), 0);
        return registrar;
    }

    static void ExpectOneFormatTwice(const sovahost::Registrar& registrar, const std::u16string& name) {
        ASSERT_EQ(registrar.formats.size(), 2u);
        for (size_t i = 0; i < 2; ++i) {
            EXPECT_EQ(registrar.formats[i].again, i == 1); // AddFormat, then AddFormatAgain
            EXPECT_EQ(registrar.formats[i].name, name);
            EXPECT_EQ(registrar.formats[i].extensions, std::vector<std::string>{"mp2"});
        }
    }
};
} // namespace

TEST_F(Registration, IdentityAndOneFormatRegisteredTwice) {
    const sovahost::Registrar registrar = Register();
    EXPECT_EQ(registrar.prepared, (std::vector<std::pair<int32_t, int32_t>>{{1, 1}}));
    ASSERT_EQ(registrar.identities.size(), 1u);
    EXPECT_EQ(registrar.identities[0].first, kIdentifier);
    EXPECT_EQ(registrar.identities[0].second, u"Velmora MPEG Audio Layer II Sova plug-in");
    ExpectOneFormatTwice(registrar, u"MP2 Audio");
}

TEST_F(Registration, FormatNameIsLocalisedOncePerProcess) {
    auto& localizer = tsacore::config::Localizer::Get();
    localizer.AddTranslation("$$$/SovaPlugIns/SovaMp2/PlugInName", u"MPEG-Audio-Schicht-II-Modul");
    localizer.AddTranslation("$$$/SovaPlugIns/SovaMp2/MP2Audio", u"MP2-Audio");
    sovahost::Registrar first = Register();
    ASSERT_EQ(first.identities.size(), 1u);
    EXPECT_EQ(first.identities[0].second, u"MPEG-Audio-Schicht-II-Modul");
    ExpectOneFormatTwice(first, u"MP2-Audio");

    // The display name follows the localiser on every call; the format name stays as first found.
    localizer.ClearTranslations();
    localizer.AddTranslation("$$$/SovaPlugIns/SovaMp2/MP2Audio", u"Audio MP2");
    sovahost::Registrar second = Register();
    localizer.ClearTranslations();
    ASSERT_EQ(second.identities.size(), 1u);
    EXPECT_EQ(second.identities[0].second, u"Velmora MPEG Audio Layer II Sova plug-in");
    ExpectOneFormatTwice(second, u"MP2-Audio");
}

TEST_F(Registration, ASecondRegistrationWithoutShutdownLetsTheFirstResourcesGo) {
    // LeakSanitizer, in the sanitizer build, tells whether the first resource manager and image
    // provider were released.
    sovahost::Registrar first;
    EXPECT_EQ(module.Call(sova::sdk::kSelectorDescribePlugIn, nullptr, &first), 0);
    const sovahost::Registrar second = Register();
    ExpectOneFormatTwice(second, u"MP2 Audio");
}
