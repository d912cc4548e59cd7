// SPDX-License-Identifier: MIT
// The application shell over Qt: one application object per process and its workspace.
#include <hub/app/App.h>

#include <QGuiApplication>
#include <QWidget>

#include "../tsaui_ui/QtSupport.h"

namespace hub::app {
Workspace::Workspace() = default;
Workspace::~Workspace() = default;

tsaui::drawbot::SupplierInterface* Workspace::GetDrawingSupplier() {
    if (!supplier_)
        supplier_.reset(tsaui::drawbot::NewOSSupplier());
    return supplier_.get();
}

AppBase::AppBase() : workspace_(std::make_unique<Workspace>()) {}
AppBase::~AppBase() = default;
Workspace* AppBase::GetWorkspace() { return workspace_.get(); }

App::App() { tsaui::qt::EnsureApplication(); }

App* App::GetApp() {
    static App* app = new App; // lives as long as the process, like the host's application
    return app;
}

int64_t App::OpenMainWindow(const tsacore::UString& title, int32_t width, int32_t height) {
    auto* window = new QWidget;
    window->setWindowTitle(tsaui::qt::ToQString(title));
    window->resize(width, height);
    window->show();
    return static_cast<int64_t>(window->winId());
}

void App::CloseMainWindow(int64_t window) {
    if (QWidget* widget = QWidget::find(static_cast<WId>(window)))
        delete widget;
}

bool App::IsOffscreen() {
    tsaui::qt::EnsureApplication();
    return QGuiApplication::platformName() == QLatin1String("offscreen");
}
} // namespace hub::app
