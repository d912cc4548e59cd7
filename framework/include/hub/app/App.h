// SPDX-License-Identifier: MIT
// The application shell: the application object and its workspace, which supplies the
// drawing supplier for dialogs. Hosts also open their main window through it.
#pragma once

#include <cstdint>
#include <memory>

#include <tsacore/String.h>
#include <tsaui/Export.h>
#include <tsaui/drawbot/Supplier.h>

namespace hub::app {
class TSAUI_API Workspace {
public:
    Workspace();
    virtual ~Workspace();
    tsaui::drawbot::SupplierInterface* GetDrawingSupplier();
private:
    std::unique_ptr<tsaui::drawbot::SupplierInterface> supplier_;
};

class TSAUI_API AppBase {
public:
    AppBase();
    virtual ~AppBase();
    virtual Workspace* GetWorkspace();
private:
    std::unique_ptr<Workspace> workspace_;
};

class TSAUI_API App : public AppBase {
public:
    // The process's application, created on first use (with the UI toolkit's application).
    static App* GetApp();
    // Host side: opens a top-level window and returns its window value for dialogs' parents.
    int64_t OpenMainWindow(const tsacore::UString& title, int32_t width, int32_t height);
    void CloseMainWindow(int64_t window);
    // True when windows go nowhere visible (Qt's offscreen platform).
    static bool IsOffscreen();
private:
    App();
};
} // namespace hub::app
