// SPDX-License-Identifier: MIT
#include "QtSupport.h"

#include <cstdlib>

#include <QApplication>
#include <QtGlobal>

namespace tsaui::qt {
namespace {
QtMessageHandler sPreviousHandler = nullptr;

// The offscreen platform reports every window-manager request it cannot carry out, and Qt
// notes a missing runtime folder it does not need here; neither says anything to the user.
void FilterMessages(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type != QtCriticalMsg && type != QtFatalMsg &&
        (message.startsWith(QLatin1String("This plugin does not support")) ||
         message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set"))))
        return;
    if (sPreviousHandler)
        sPreviousHandler(type, context, message);
}
} // namespace

void EnsureApplication() {
    if (QCoreApplication::instance())
        return;
    // With no display to show windows on, Qt would stop the process: draw offscreen instead.
    if (!std::getenv("QT_QPA_PLATFORM") && !std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY"))
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int argc = 1;
    static char name[] = "sova";
    static char* argv[] = {name, nullptr};
    sPreviousHandler = qInstallMessageHandler(FilterMessages);
    new QApplication(argc, argv); // lives as long as the process
    QApplication::setStyle(QStringLiteral("Fusion"));
}
} // namespace tsaui::qt
