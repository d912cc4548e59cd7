// SPDX-License-Identifier: MIT
#include "DialogHarness.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

#include <tsacore/config/Error.h>

// Leak checking (sanitizer builds): fontconfig keeps a few bytes of its configuration until
// the process ends.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

namespace dialogtest {
namespace automation = tsaui::ui::automation;

tsaui::ui::UI_Node& User::Node(const char* id) {
    auto node = dialog_.GetNodeForID(id);
    if (!node) {
        ADD_FAILURE() << "no node " << id;
        return dialog_;
    }
    return *node;
}

std::string User::Shown(const char* id) { return Utf8(automation::ShownText(Node(id))); }

std::vector<std::string> User::Items(const char* id) {
    std::vector<std::string> items;
    for (const auto& item : automation::ShownItems(Node(id)))
        items.push_back(Utf8(item));
    return items;
}

bool User::Enabled(const char* id) { return automation::ShownEnabled(Node(id)); }
bool User::Visible(const char* id) { return automation::ShownVisible(Node(id)); }
tsaui::ui::UI_Rect User::Where(const char* id) { return automation::RectInDialog(Node(id)); }
void User::Choose(const char* id, int32_t position) { EXPECT_TRUE(automation::ChooseItem(Node(id), position)) << id; }
void User::Click(const char* id) { EXPECT_TRUE(automation::Click(Node(id))) << id; }
void User::Type(const char* id, const std::u16string& text) { EXPECT_TRUE(automation::TypeValue(Node(id), text)) << id; }
void User::Step(const char* id, int32_t steps, int32_t modifier) {
    EXPECT_TRUE(automation::StepValue(Node(id), steps, modifier)) << id;
}
float User::Height() { return automation::DialogWindowRect(dialog_).height; }
float User::Width() { return automation::DialogWindowRect(dialog_).width; }

void DialogTest::SetUp() {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    module_ = std::make_unique<sovahost::HostModule>(SOVA_MODULE_PATH);
    ASSERT_EQ(module_->Call(sova::sdk::kSelectorDescribePlugIn, nullptr, &registrar_), 0);
}

void DialogTest::TearDown() {
    automation::SetModalRunObserver({});
    automation::ClearArchiveOverrides();
    if (module_)
        module_->Call(sova::sdk::kSelectorShutdown, nullptr, nullptr);
}

Outcome DialogTest::Show(int32_t rate, int32_t channels, const std::u16string& settings,
                         std::function<void(User&)> person) {
    Outcome outcome;
    automation::SetModalRunObserver([&](tsaui::ui::UI_Dialog& dialog) {
        outcome.shown = true;
        auto* archived = dynamic_cast<tsaui::ui::UI_ArchivedDialog*>(&dialog);
        ASSERT_NE(archived, nullptr);
        User user(*archived);
        person(user);
    });
    sovahost::AudioFormat format;
    format.sink = &sink_;
    format.sampleRate = rate;
    format.channelCount = channels;
    format.settingsText = settings;
    sovahost::DialogRequest request;
    request.sink = &sink_;
    request.format = &format;
    try {
        outcome.result = module_->Call(sova::sdk::kSelectorShowSettingsDialog, nullptr, &request);
    } catch (const tsacore::config::Error& error) {
        outcome.error = Utf8(error.Message());
    }
    automation::SetModalRunObserver({});
    outcome.cancelledSet = request.cancelledSet;
    outcome.cancelled = request.cancelled;
    outcome.text = format.settingsText;
    return outcome;
}

std::optional<int32_t> Entry(const std::u16string& text, const std::string& key) {
    const std::string utf8 = Utf8(text), marker = key + ":0:";
    for (size_t at = utf8.find(marker); at != std::string::npos; at = utf8.find(marker, at + 1))
        if (at == 0 || utf8[at - 1] == ';')
            return std::stoi(utf8.substr(at + marker.size()));
    return std::nullopt;
}

std::string Utf8(const std::u16string& text) { return sovahost::ToUtf8(text); }

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}
} // namespace dialogtest
