// SPDX-License-Identifier: MIT
// Dialogs: a modal window, and one built from a node archive in the module's resources.
#include <tsaui/ui/UI_Dialog.h>

#include <cmath>

#include <QDialog>
#include <QGuiApplication>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include <tsacore/config/Error.h>
#include <tsaui/controls/UI_Button.h>

#include "Archive.h"
#include "FitLabels.h"
#include "Internal.h"
#include "NodeBuilder.h"
#include "QtSupport.h"

namespace tsaui::ui {
using qt::ToQString;

namespace {
[[noreturn]] void ThrowArchiveError(const char* literal) {
    tsacore::config::ThrowError(1, literal, 105, 1, true, {}, {}, {}, {});
}
} // namespace

// Dialog -----------------------------------------------------------------------------------
UI_Dialog::UI_Dialog(const tsacore::UString& title, UI_WindowRef parentWindow)
    : parentWindow_(parentWindow), title_(title) {
    qt::EnsureApplication();
    QWidget* parent = parentWindow ? QWidget::find(static_cast<WId>(parentWindow)) : nullptr;
    auto* dialog = new QDialog(parent);
    dialog->setWindowTitle(ToQString(title));
    // The toolkit's dialog face: small and narrow, as the archived layouts are measured for it.
    QFont font = dialog->font();
    font.setPixelSize(11);
    font.setStretch(QFont::Condensed);
    dialog->setFont(font);
    AttachWidget(dialog);
}

UI_Dialog::~UI_Dialog() {
    QWidget* dialog = widget_;
    DetachWidgets();
    delete dialog; // and every widget in it
}

void UI_Dialog::SetOkButton(const std::shared_ptr<tsaui::controls::UI_Button>& button) {
    if (auto* push = button ? qobject_cast<QPushButton*>(button->GetWidget()) : nullptr) {
        push->setDefault(true);
        QObject::connect(push, &QPushButton::clicked, [this] { EndModal(kDialogResultOK); });
    }
}

void UI_Dialog::SetCancelButton(const std::shared_ptr<tsaui::controls::UI_Button>& button) {
    if (auto* push = button ? qobject_cast<QPushButton*>(button->GetWidget()) : nullptr)
        QObject::connect(push, &QPushButton::clicked, [this] { EndModal(kDialogResultCancel); });
}

int32_t UI_Dialog::RunModal() {
    result_ = kDialogResultCancel;
    auto* dialog = qobject_cast<QDialog*>(widget_);
    if (!dialog)
        return result_;
    const automation::ModalRunObserver observer = automation::CurrentModalRunObserver();
    // Nobody could see or answer a dialog drawn offscreen: without an observer it is cancelled.
    if (!observer && QGuiApplication::platformName() == QLatin1String("offscreen"))
        return result_;
    running_ = true;
    if (observer)
        QTimer::singleShot(0, dialog, [this, observer] {
            observer(*this);
            if (widget_ && widget_->isVisible()) // the observer left it open
                EndModal(kDialogResultCancel);
        });
    const int code = dialog->exec();
    running_ = false;
    result_ = code == kDialogResultOK ? kDialogResultOK : kDialogResultCancel;
    return result_;
}

void UI_Dialog::EndModal(int32_t result) {
    if (auto* dialog = qobject_cast<QDialog*>(widget_))
        dialog->done(result);
}

void UI_Dialog::Resize(float width, float height) {
    const int w = static_cast<int>(std::lround(width)), h = static_cast<int>(std::lround(height));
    if (widget_)
        widget_->setFixedSize(w, h);
    if (root_)
        root_->Resize(width, height);
}

float UI_Dialog::GetWidth() const { return widget_ ? static_cast<float>(widget_->width()) : 0.0f; }
float UI_Dialog::GetHeight() const { return widget_ ? static_cast<float>(widget_->height()) : 0.0f; }
UI_Rect UI_Dialog::GetBounds() const { return UI_Rect{0.0f, 0.0f, GetWidth(), GetHeight()}; }

UI_NodeFactory::~UI_NodeFactory() = default;

// Archived dialog ---------------------------------------------------------------------------
UI_ArchivedDialog::UI_ArchivedDialog(tsaui::drawbot::SupplierInterface* /*supplier: Qt draws*/,
                                     tsaui::utility::OS_ResourceManager* resources, const char* id,
                                     const tsacore::UString& title, UI_WindowRef parentWindow, bool centered,
                                     bool resizable, UI_Point origin, const UI_NodeFactoryRef& factory,
                                     bool keepArchivePosition)
    : UI_Dialog(title, parentWindow) {
    std::string text;
    if (const std::string* replacement = automation::FindArchiveOverride(id ? id : "")) {
        text = *replacement;
    } else {
        const auto resource = resources && id ? resources->Find("XML", id) : tsaui::utility::ResourceData{};
        if (!resource)
            ThrowArchiveError("$$$/tsaui/ui/Error/ArchiveNotFound=The dialog layout could not be found.");
        text.assign(reinterpret_cast<const char*>(resource.data), resource.size);
    }
    const archive::PropList top = archive::ParseArchive(text);
    auto root = top.find("root");
    if (root == top.end() || root->second.kind != archive::Prop::kList)
        ThrowArchiveError("$$$/tsaui/ui/Error/ArchiveUnreadable=The dialog layout could not be read.");

    NodeBuilder builder(factory);
    root_ = builder.Build(root->second.list, widget_);
    AddChild(root_);
    const UI_Rect archived = root_->GetBounds();
    root_->SetBounds(UI_Rect{0.0f, 0.0f, archived.width, archived.height});
    FitLabels(*root_);
    builder.Finish();
    const int width = static_cast<int>(std::lround(root_->GetBounds().width));
    const int height = static_cast<int>(std::lround(archived.height));
    if (resizable)
        widget_->setMinimumSize(0, 0);
    else
        widget_->setFixedSize(width, height);
    widget_->resize(width, height);
    if (!centered || !widget_->parentWidget())
        widget_->move(keepArchivePosition ? QPoint(static_cast<int>(archived.left), static_cast<int>(archived.top))
                                          : QPoint(static_cast<int>(origin.h), static_cast<int>(origin.v)));
}

UI_ArchivedDialog::~UI_ArchivedDialog() = default;

std::shared_ptr<UI_Node> UI_ArchivedDialog::GetNodeForID(const char* id) {
    return root_ && id ? root_->FindNodeForID(id) : nullptr;
}

void FlipNodePositionsOnMac([[maybe_unused]] const std::shared_ptr<UI_Node>& okButton,
                            [[maybe_unused]] const std::shared_ptr<UI_Node>& cancelButton) {
#ifdef Q_OS_MACOS
    if (!okButton || !cancelButton)
        return;
    UI_Rect ok = okButton->GetBounds(), cancel = cancelButton->GetBounds();
    std::swap(ok.left, cancel.left);
    okButton->SetBounds(ok);
    cancelButton->SetBounds(cancel);
#endif
}
} // namespace tsaui::ui
