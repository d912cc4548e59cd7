// SPDX-License-Identifier: MIT
// Every label of the dialog shows its whole text at full size, Advanced section open, on a
// plain screen and on one scaled by two (ctest runs this file a second time with
// QT_SCALE_FACTOR=2), with the DejaVu faces the packages bring. A picture of each is kept in
// the temporary folder as sova-dialog-scale<N>.png for a person to look at.
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>

#include <QFont>
#include <QLabel>
#include <tsaui/controls/UI_StaticText.h>

#include "DialogHarness.h"

namespace dialogtest {
namespace {
using tsaui::controls::UI_StaticText;

void ForEachLabel(tsaui::ui::UI_Node& node, const std::function<void(UI_StaticText&)>& visit) {
    if (auto* text = dynamic_cast<UI_StaticText*>(&node))
        visit(*text);
    for (const auto& child : node.GetChildren())
        ForEachLabel(*child, visit);
}

uint32_t Be32(const std::string& bytes, size_t at) {
    return (uint32_t(uint8_t(bytes[at])) << 24) | (uint32_t(uint8_t(bytes[at + 1])) << 16) |
           (uint32_t(uint8_t(bytes[at + 2])) << 8) | uint32_t(uint8_t(bytes[at + 3]));
}

using LabelFit = DialogTest;

TEST_F(LabelFit, EveryLabelShowsItsWholeTextWithAdvancedOpen) {
    const char* factor = std::getenv("QT_SCALE_FACTOR");
    const int scale = factor ? std::atoi(factor) : 1;
    const std::string png =
        (std::filesystem::temp_directory_path() / ("sova-dialog-scale" + std::to_string(scale) + ".png")).string();
    std::filesystem::remove(png);
    int labels = 0;
    float rightmostLabel = 0.0f;
    float width = 0.0f, height = 0.0f;
    Show(48000, 2, u"ShowAdvanced:0:1;", [&](User& user) {
        const auto group = user.Where("BytestreamGroupBoxID");
        ForEachLabel(user.Dialog(), [&](UI_StaticText& text) {
            auto* label = qobject_cast<QLabel*>(text.GetWidget());
            ASSERT_NE(label, nullptr);
            const std::string full = Utf8(text.GetValue());
            EXPECT_EQ(Utf8(text.GetShownText()), full);
            EXPECT_EQ(label->font().pixelSize(), 11) << full << ": shrunk to fit";
            EXPECT_TRUE(label->isVisible()) << full;
            ++labels;
            const auto rect = tsaui::ui::automation::RectInDialog(text);
            if (rect.top >= group.top && rect.top < group.top + group.height)
                rightmostLabel = std::max(rightmostLabel, rect.left + rect.width);
        });
        // The check boxes beside the group's longest label moved right with its column.
        EXPECT_GT(rightmostLabel, 0.0f);
        EXPECT_GE(user.Where("CRCCheckboxID").left, rightmostLabel);
        width = user.Width();
        height = user.Height();
        EXPECT_TRUE(tsaui::ui::automation::SavePicture(user.Dialog(), png));
        user.Cancel();
    });
    EXPECT_EQ(labels, 12);
    EXPECT_GT(width, 252.0f); // the archive's width, too narrow for the labels
    EXPECT_EQ(height, 486.0f);
    const std::string bytes = ReadFile(png);
    ASSERT_GT(bytes.size(), 24u) << png;
    EXPECT_EQ(Be32(bytes, 16), static_cast<uint32_t>(width) * scale);
    EXPECT_EQ(Be32(bytes, 20), static_cast<uint32_t>(height) * scale);
}
} // namespace
} // namespace dialogtest
