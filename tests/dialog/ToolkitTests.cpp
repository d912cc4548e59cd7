// SPDX-License-Identifier: MIT
// The toolkit's promises the dialog relies on, checked on a small archive of its own.
#include <cstdlib>

#include <gtest/gtest.h>
#include <tsacore/config/Error.h>
#include <tsaui/controls/UI_Checkbox.h>
#include <tsaui/controls/UI_HotTextNumber.h>
#include <tsaui/controls/UI_Popup.h>
#include <tsaui/ui/UI_Automation.h>

namespace {
namespace automation = tsaui::ui::automation;
using namespace tsaui::controls;

std::string Node(const std::string& adapter, const std::string& id, const std::string& extra = "",
                 const std::string& children = "") {
    const std::string kids = children.empty() ? "" : "<prop.pair><key>children</key><prop.list>" + children +
                                                         "</prop.list></prop.pair>";
    return "<prop.list><prop.pair><key>adapter</key><string>" + adapter +
           "</string></prop.pair><prop.pair><key>sections</key><prop.list>"
           "<prop.pair><key>count</key><int type='unsigned' size='32'>1</int></prop.pair>"
           "<prop.pair><key>section-0</key><prop.list>"
           "<prop.pair><key>bounds</key><prop.list><prop.pair><key>height</key><float>20</float></prop.pair>"
           "<prop.pair><key>left</key><float>5</float></prop.pair><prop.pair><key>top</key><float>7</float></prop.pair>"
           "<prop.pair><key>width</key><float>90</float></prop.pair></prop.list></prop.pair>" +
           kids + extra + "<prop.pair><key>id</key><string>" + id +
           "</string></prop.pair></prop.list></prop.pair></prop.list></prop.pair></prop.list>";
}

std::string Child(int index, const std::string& node) {
    return "<prop.pair><key>child-" + std::to_string(index) + "</key>" + node + "</prop.pair>";
}

std::string Archive() {
    const std::string children =
        Child(0, Node("tsaui::controls::UI_Popup", "popup",
                      "<prop.pair><key>items</key><array><array.type>ustring</array.type><ustring>(A)</ustring>"
                      "<ustring>($$$/test/Item=Second)</ustring></array></prop.pair>")) +
        Child(1, Node("tsaui::controls::UI_Checkbox", "box")) +
        Child(2, Node("tsaui::controls::UI_HotTextNumber", "number",
                      "<prop.pair><key>maxValue</key><float>2</float></prop.pair>"
                      "<prop.pair><key>minValue</key><float>-2</float></prop.pair>"
                      "<prop.pair><key>decimalPlaces</key><int type='unsigned' size='32'>1</int></prop.pair>")) +
        Child(3, Node("some::Unknown_Class", "unknown")) + "<prop.pair><key>count</key><int>4</int></prop.pair>";
    return "<?xml version='1.0'?><prop.map version='4'><prop.list><prop.pair><key>root</key>" +
           Node("tsaui::ui::UI_SubView", "root", "", children) + "</prop.pair></prop.list></prop.map>";
}

TEST(DialogToolkit, ControlsTellOnlyOfUserEdits) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    automation::SetArchiveOverride("Small", Archive());
    tsaui::ui::UI_ArchivedDialog dialog(nullptr, nullptr, "small", u"Small", 0, true, false, {}, {}, false);
    automation::ClearArchiveOverrides();

    EXPECT_EQ(dialog.GetNodeForID(""), nullptr);
    EXPECT_EQ(dialog.GetNodeForID("missing"), nullptr);
    ASSERT_NE(dialog.GetNodeForID("unknown"), nullptr); // a class the toolkit does not know is a plain view
    EXPECT_EQ(std::dynamic_pointer_cast<UI_ControlView>(dialog.GetNodeForID("unknown")), nullptr);
    EXPECT_EQ(dialog.GetWidth(), 90);
    EXPECT_EQ(dialog.GetHeight(), 20);

    auto popup = std::dynamic_pointer_cast<UI_Popup>(dialog.GetNodeForID("popup"));
    auto box = std::dynamic_pointer_cast<UI_Checkbox>(dialog.GetNodeForID("box"));
    auto number = std::dynamic_pointer_cast<UI_HotTextNumber>(dialog.GetNodeForID("number"));
    ASSERT_TRUE(popup && box && number);
    EXPECT_EQ(popup->GetItemText(1), u"Second");
    int changes = 0;
    const auto count = std::make_shared<tsaui::ui::UI_NodeCallback>([&](const tsaui::ui::UI_NodeMessage& message) {
        EXPECT_NE(dynamic_cast<const UI_ControlChangedMessage*>(&message), nullptr);
        ++changes;
    });
    popup->NotifyWhenChanged(count);
    box->NotifyWhenChanged(count);
    number->NotifyWhenChanged(count);

    popup->SetValue(1);
    box->SetChecked(true);
    number->SetValue(5.0); // beyond the range: clamped
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(number->GetValue(), 2.0);
    EXPECT_TRUE(box->IsChecked());

    popup->SetValue(2); // not an item: nothing shown, the position reported back
    EXPECT_EQ(automation::ShownText(*popup), u"");
    EXPECT_EQ(popup->GetValue(), 2);
    EXPECT_TRUE(popup->RemoveItem(0));
    EXPECT_TRUE(popup->RemoveItem(0));
    EXPECT_FALSE(popup->RemoveItem(0));

    number->SetDisabled(true);
    EXPECT_FALSE(automation::StepValue(*number, 1, 0));
    EXPECT_EQ(number->GetValue(), 2.0);

    // Widgets only take input in a running dialog, as a user would give it.
    automation::SetModalRunObserver([&](tsaui::ui::UI_Dialog& running) {
        automation::Click(*box);
        number->SetDisabled(false);
        automation::StepValue(*number, -1, 0);
        running.EndModal(tsaui::ui::kDialogResultOK);
    });
    EXPECT_EQ(dialog.RunModal(), tsaui::ui::kDialogResultOK);
    automation::SetModalRunObserver({});
    EXPECT_EQ(changes, 2);
    EXPECT_FALSE(box->IsChecked());
    EXPECT_EQ(number->GetValue(), 1.0);

    // Without anyone to answer it, an offscreen dialog is cancelled at once.
    EXPECT_EQ(dialog.RunModal(), tsaui::ui::kDialogResultCancel);
}

TEST(DialogToolkit, MissingArchiveRaisesTheFrameworkError) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    try {
        tsaui::ui::UI_ArchivedDialog dialog(nullptr, nullptr, "Nowhere", u"", 0, true, false, {}, {}, false);
        FAIL() << "built a dialog without an archive";
    } catch (const tsacore::config::Error& error) {
        EXPECT_EQ(error.Message(), u"The dialog layout could not be found.");
    }
}
} // namespace
