#include "QtSupport.h"

#include <cstdlib>

#include <QApplication>

namespace tsaui::qt {
void EnsureApplication() {
    if (QCoreApplication::instance())
        return;
    // With no display to show windows on, Qt would stop the process: draw offscreen instead.
    if (!std::getenv("QT_QPA_PLATFORM") && !std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY"))
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int argc = 1;
    static char name[] = "sova";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv); // lives as long as the process
    QApplication::setStyle(QStringLiteral("Fusion"));
}
} // namespace tsaui::qt
