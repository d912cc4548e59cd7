#include "QtSupport.h"

#include <cstdlib>

#include <QApplication>
#include <QtGlobal>

namespace tsaui::qt {
namespace {
QtMessageHandler sPreviousHandler = nullptr;

// The offscreen platform warns about every top-level window it cannot size for a window
// manager; that says nothing to the user of a dialog.
void FilterMessages(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (message.contains(QLatin1String("does not support propagateSizeHints")))
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
