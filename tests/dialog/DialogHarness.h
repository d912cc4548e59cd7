// SPDX-License-Identifier: MIT
// Runs the module's settings dialog (selector 15) the way a host does, with a person stood in
// by a function that clicks, chooses and types through the dialog's real widgets.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <tsaui/ui/UI_Automation.h>

#include "module/HostModule.h"
#include "module/HostObjects.h"

namespace dialogtest {
// The open dialog, as the person sees it.
class User {
public:
    explicit User(tsaui::ui::UI_ArchivedDialog& dialog) : dialog_(dialog) {}
    tsaui::ui::UI_Node& Node(const char* id);
    std::string Shown(const char* id);              // UTF-8
    std::vector<std::string> Items(const char* id); // UTF-8
    bool Enabled(const char* id);
    bool Visible(const char* id);
    tsaui::ui::UI_Rect Where(const char* id);       // in the dialog window
    void Choose(const char* id, int32_t position);
    void Click(const char* id);
    void Type(const char* id, const std::u16string& text);
    void Step(const char* id, int32_t steps, int32_t modifier);
    float Height();
    float Width();
    void Ok() { Click("OKButtonID"); }
    void Cancel() { Click("CancelButtonID"); }
    tsaui::ui::UI_ArchivedDialog& Dialog() { return dialog_; }
private:
    tsaui::ui::UI_ArchivedDialog& dialog_;
};

struct Outcome {
    int32_t result = -99;      // selector 15's result
    bool cancelledSet = false; // the module reported the cancelled flag
    bool cancelled = false;
    bool shown = false;        // the dialog came up
    std::u16string text;       // the host's settings text afterwards
    std::optional<std::string> error; // the framework error that left the module
};

class DialogTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    Outcome Show(int32_t rate, int32_t channels, const std::u16string& settings, std::function<void(User&)> person);
    std::unique_ptr<sovahost::HostModule> module_;
    sovahost::Registrar registrar_;
    sovahost::MessageSink sink_;
};

// Value of an integer entry of a settings text; nullopt when missing.
std::optional<int32_t> Entry(const std::u16string& text, const std::string& key);
std::string Utf8(const std::u16string& text);
std::string ReadFile(const std::string& path);
} // namespace dialogtest
