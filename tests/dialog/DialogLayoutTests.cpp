// SPDX-License-Identifier: MIT
// The layout the module carries, how the dialog is built from it, and what happens when it
// lacks a control the dialog needs.
#include <dlfcn.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <regex>

#include <pugixml.hpp>
#include <tsaui/utility/OS_ResourceManager.h>

#include "DialogHarness.h"
#include "Process.h"

namespace dialogtest {
namespace {
const char* const kLookedUpIds[] = {
    "MpegModeDynamicTextID", "ChannelModePopupID",     "ConstantBitratePopupID", "AdvancedSectionViewID",
    "CopyrightCheckboxID",   "OriginalCheckboxID",     "EmbedPeakCheckboxID",    "CRCCheckboxID",
    "EnablePaddingCheckboxID", "DeEmphasisModelPopupID", "PsycModelPopupID",     "AthHotTextID",
    "OKButtonID",            "CancelButtonID"};

std::string Key(const pugi::xml_node& pair) { return pair.child("key").text().get(); }

pugi::xml_node Value(const pugi::xml_node& list, const std::string& key) {
    for (const auto& pair : list.children("prop.pair"))
        if (Key(pair) == key)
            return pair.child("key").next_sibling();
    return {};
}

// Every prop.list keeps its keys in ascending byte order.
void ExpectSortedKeys(const pugi::xml_node& node, int& lists) {
    for (const auto& child : node.children()) {
        if (std::string(child.name()) == "prop.list") {
            ++lists;
            std::string previous;
            for (const auto& pair : child.children("prop.pair")) {
                EXPECT_LT(previous, Key(pair)) << "keys out of order after " << previous;
                previous = Key(pair);
            }
        }
        ExpectSortedKeys(child, lists);
    }
}

struct PlacedNode {
    std::string adapter;
    tsaui::ui::UI_Rect rect; // in the dialog window, with every section open
    int count = 0;           // nodes with this id
};

// Walks the node tree adding up bounds; a section's children sit below its header.
void Place(const pugi::xml_node& node, float left, float top, std::map<std::string, PlacedNode>& placed) {
    const auto sections = Value(node, "sections");
    std::string adapter = Value(node, "adapter").text().get();
    float headerHeight = 0.0f;
    tsaui::ui::UI_Rect bounds;
    std::string id;
    std::vector<pugi::xml_node> children;
    for (const auto& pair : sections.children("prop.pair")) {
        const auto section = pair.child("prop.list");
        if (!section)
            continue;
        if (auto b = Value(section, "bounds"))
            bounds = {Value(b, "left").text().as_float(), Value(b, "top").text().as_float(),
                      Value(b, "width").text().as_float(), Value(b, "height").text().as_float()};
        if (auto i = Value(section, "id"))
            id = i.text().get();
        if (auto h = Value(section, "headerHeight"))
            headerHeight = h.text().as_float();
        if (auto kids = Value(section, "children"))
            for (const auto& kid : kids.children("prop.pair"))
                if (kid.child("prop.list"))
                    children.push_back(kid.child("prop.list"));
    }
    const bool root = placed.empty();
    const float x = root ? 0.0f : left + bounds.left, y = root ? 0.0f : top + bounds.top;
    auto& entry = placed[id];
    entry.adapter = adapter;
    entry.rect = {x, y, bounds.width, bounds.height};
    ++entry.count;
    for (const auto& child : children)
        Place(child, x, y + headerHeight, placed);
}

std::string WithoutId(std::string xml, const std::string& id, const std::string& replacement) {
    const std::string from = "<string>" + id + "</string>";
    const size_t at = xml.find(from);
    if (at != std::string::npos)
        xml.replace(at, from.size(), "<string>" + replacement + "</string>");
    return xml;
}

// Every localised text of the layout with "X" as its English default.
std::string WithShortTexts(const std::string& xml) {
    return std::regex_replace(xml, std::regex(R"((<ustring>\(\$\$\$/[^=<]*=)[^<]*\)</ustring>)"), "$1X)</ustring>");
}

using DialogLayout = DialogTest;

TEST_F(DialogLayout, ResourceIsTheArchiveWithCrLfLinesAndSortedKeys) {
    const std::string file = ReadFile(SOVA_DIALOG_LAYOUT);
    ASSERT_FALSE(file.empty());
    void* handle = dlopen(SOVA_MODULE_PATH, RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(handle, nullptr);
    const tsaui::utility::OS_ResourceManager resources(handle);
    const auto resource = resources.Find("XML", "FormatOptions");
    ASSERT_TRUE(resource);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(resource.data), resource.size), file);
    dlclose(handle);

    EXPECT_EQ(file.rfind("<?xml version='1.0'?>\r\n<prop.map version='4'>\r\n", 0), 0u);
    for (size_t at = file.find('\n'); at != std::string::npos; at = file.find('\n', at + 1))
        ASSERT_EQ(file[at - 1], '\r') << "bare line feed at " << at;

    pugi::xml_document document;
    ASSERT_TRUE(document.load_buffer(file.data(), file.size()));
    const auto top = document.child("prop.map").child("prop.list");
    EXPECT_EQ(Value(top, "UINodeArchive").text().as_uint(), 1u);
    EXPECT_STREQ(Value(top, "UINodeArchive").attribute("type").value(), "unsigned");
    int lists = 0;
    ExpectSortedKeys(document, lists);
    EXPECT_GT(lists, 100);

    std::map<std::string, PlacedNode> placed;
    Place(Value(top, "root"), 0, 0, placed);
    for (const char* id : kLookedUpIds)
        EXPECT_EQ(placed[id].count, 1) << id;
    EXPECT_EQ(placed["AthHotTextID"].adapter, "tsaui::controls::UI_HotTextNumber");
    EXPECT_EQ(placed["OKButtonID"].adapter, "tsaui::controls::UI_TextButton");
}

TEST_F(DialogLayout, WidgetsSitWhereTheBoundsPutThem) {
    const std::string file = ReadFile(SOVA_DIALOG_LAYOUT);
    pugi::xml_document document;
    ASSERT_TRUE(document.load_buffer(file.data(), file.size()));
    std::map<std::string, PlacedNode> placed;
    Place(Value(document.child("prop.map").child("prop.list"), "root"), 0, 0, placed);
    // With texts short enough for the archived columns nothing moves; with the real ones the
    // label columns grow, which moves and widens nodes but never changes a height or a top.
    for (const bool shortTexts : {true, false}) {
        SCOPED_TRACE(shortTexts ? "short texts" : "archived texts");
        if (shortTexts)
            tsaui::ui::automation::SetArchiveOverride("FormatOptions", WithShortTexts(file));
        int checked = 0;
        Show(44100, 2, u"ShowAdvanced:0:1;", [&](User& user) {
            for (const auto& [id, node] : placed) {
                if (id.empty() || node.count != 1)
                    continue;
                const auto rect = user.Where(id.c_str());
                if (shortTexts) {
                    EXPECT_EQ(rect.left, node.rect.left) << id;
                    EXPECT_EQ(rect.width, node.rect.width) << id;
                } else {
                    EXPECT_GE(rect.left, node.rect.left) << id;
                    EXPECT_GE(rect.width, node.rect.width) << id;
                }
                EXPECT_EQ(rect.top, node.rect.top) << id;
                EXPECT_EQ(rect.height, node.rect.height) << id;
                EXPECT_TRUE(user.Visible(id.c_str())) << id;
                ++checked;
            }
            EXPECT_EQ(user.Height(), 486); // the root's height
            if (shortTexts) {
                EXPECT_EQ(user.Width(), 252); // and width
            }
            user.Cancel();
        });
        EXPECT_GE(checked, 25);
        tsaui::ui::automation::ClearArchiveOverrides();
    }
}

TEST_F(DialogLayout, MissingOrMistypedControlFailsBeforeTheDialogShows) {
    const std::string file = ReadFile(SOVA_DIALOG_LAYOUT);
    const std::u16string text = u"BitsPerSecond:0:100;";
    std::vector<std::string> layouts;
    for (const char* id : kLookedUpIds)
        layouts.push_back(WithoutId(file, id, std::string(id) + "Gone"));
    // A control of the wrong class: the copyright check box's id on the OK button.
    layouts.push_back(WithoutId(WithoutId(file, "CopyrightCheckboxID", "Swap"), "OKButtonID", "CopyrightCheckboxID"));
    for (size_t i = 0; i < layouts.size(); ++i) {
        SCOPED_TRACE(i < std::size(kLookedUpIds) ? kLookedUpIds[i] : "wrong class");
        ASSERT_NE(layouts[i], file);
        tsaui::ui::automation::SetArchiveOverride("FORMATOPTIONS", layouts[i]);
        const Outcome outcome = Show(44100, 2, text, [](User& user) { user.Ok(); });
        EXPECT_EQ(outcome.error, "Invalid type conversion.");
        EXPECT_FALSE(outcome.shown);
        EXPECT_FALSE(outcome.cancelledSet);
        EXPECT_EQ(outcome.text, text);
    }
    // A layout that is not an archive at all.
    tsaui::ui::automation::SetArchiveOverride("FormatOptions", "<prop.map version='4'><prop.list>");
    const Outcome outcome = Show(44100, 2, text, [](User& user) { user.Ok(); });
    EXPECT_EQ(outcome.error, "The dialog layout could not be read.");
    EXPECT_FALSE(outcome.shown);
    EXPECT_EQ(outcome.text, text);
}

TEST_F(DialogLayout, SovaHostTakesAPictureOfTheOpenDialog) {
    const std::string png = (std::filesystem::temp_directory_path() / "sova-dialog-test.png").string();
    std::filesystem::remove(png);
    // Offscreen, with no display to fall back on.
    const testsupport::ProcessSetup offscreen{"/dev/null", false, [] {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        setenv("LSAN_OPTIONS", "suppressions=" SOVA_LSAN_SUPPRESSIONS, 1);
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
    }};
    const testsupport::ProcessRun picture = testsupport::RunProcess(
        {SOVA_HOST_PATH, "--module", SOVA_MODULE_PATH, "settings", "--advanced", "--png", png}, offscreen);
    EXPECT_EQ(picture.ExitCode(), 0) << picture.err;
    const std::string bytes = ReadFile(png);
    ASSERT_GT(bytes.size(), 24u);
    EXPECT_EQ(bytes.substr(1, 3), "PNG");
    const auto be32 = [&](size_t at) {
        return (uint32_t(uint8_t(bytes[at])) << 24) | (uint32_t(uint8_t(bytes[at + 1])) << 16) |
               (uint32_t(uint8_t(bytes[at + 2])) << 8) | uint32_t(uint8_t(bytes[at + 3]));
    };
    EXPECT_GT(be32(16), 252u); // the whole dialog, Advanced section open, wider than archived for its labels
    EXPECT_EQ(be32(20), 486u);
    std::filesystem::remove(png);

    // Without a display and without --png nobody could answer the dialog.
    const testsupport::ProcessRun interactive =
        testsupport::RunProcess({SOVA_HOST_PATH, "--module", SOVA_MODULE_PATH, "settings"}, offscreen);
    EXPECT_EQ(interactive.ExitCode(), 2) << interactive.err;
}
} // namespace
} // namespace dialogtest
