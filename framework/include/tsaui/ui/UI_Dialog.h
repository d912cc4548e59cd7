// SPDX-License-Identifier: MIT
// Modal dialogs, and dialogs built from a node archive that a module carries as a resource.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include <tsaui/controls/UI_Button.h>
#include <tsaui/drawbot/Supplier.h>
#include <tsaui/ui/UI_Node.h>
#include <tsaui/utility/OS_ResourceManager.h>

namespace tsaui::ui {
// The host's window value: on this platform a native window id (0 for none).
using UI_WindowRef = int64_t;

enum UI_DialogResult : int32_t { kDialogResultCancel = 0, kDialogResultOK = 1 };

class TSAUI_API UI_Dialog : public UI_Node {
public:
    UI_Dialog(const tsacore::UString& title, UI_WindowRef parentWindow);
    ~UI_Dialog() override;
    void SetOkButton(const std::shared_ptr<tsaui::controls::UI_Button>& button);
    void SetCancelButton(const std::shared_ptr<tsaui::controls::UI_Button>& button);
    // Shows the dialog and returns when it closes: kDialogResultOK after OK, else Cancel.
    virtual int32_t RunModal();
    int32_t GetResult() const { return result_; }
    void EndModal(int32_t result); // closes a running dialog with a result
    bool IsRunning() const { return running_; }
    const tsacore::UString& GetTitle() const { return title_; }
    // The dialog's size is the content's; Resize changes both.
    void Resize(float width, float height) override;
    float GetWidth() const override;
    float GetHeight() const override;
    UI_Rect GetBounds() const override;
protected:
    UI_WindowRef parentWindow_;
    std::shared_ptr<UI_Node> root_;
private:
    tsacore::UString title_;
    int32_t result_ = kDialogResultCancel;
    bool running_ = false;
};

// Makes nodes for archive class names; an empty factory (or a null result) leaves it to the toolkit.
class TSAUI_API UI_NodeFactory {
public:
    virtual ~UI_NodeFactory();
    virtual std::shared_ptr<UI_Node> CreateNode(const std::string& adapter) = 0;
};
using UI_NodeFactoryRef = std::shared_ptr<UI_NodeFactory>;

class TSAUI_API UI_ArchivedDialog : public UI_Dialog {
public:
    // Builds the whole node tree of the archive that the resource manager finds under id
    // (type "XML"), localising "($$$/key=default)" texts. resizable lets the user resize the
    // window; centered centres it over its parent (else it opens at origin); the last flag
    // keeps the archive's own window position. Raises tsacore::config::Error when the archive
    // is missing or unreadable.
    UI_ArchivedDialog(tsaui::drawbot::SupplierInterface* supplier, tsaui::utility::OS_ResourceManager* resources,
                      const char* id, const tsacore::UString& title, UI_WindowRef parentWindow, bool centered,
                      bool resizable, UI_Point origin, const UI_NodeFactoryRef& factory, bool keepArchivePosition);
    ~UI_ArchivedDialog() override;
    // The first node with the id, depth first; empty when there is none.
    std::shared_ptr<UI_Node> GetNodeForID(const char* id);
    std::shared_ptr<UI_Node> GetRoot() const { return root_; }
};

// Swaps the positions of the two buttons where the platform puts OK after Cancel (macOS);
// elsewhere it leaves them.
TSAUI_API void FlipNodePositionsOnMac(const std::shared_ptr<UI_Node>& okButton,
                                      const std::shared_ptr<UI_Node>& cancelButton);
} // namespace tsaui::ui
