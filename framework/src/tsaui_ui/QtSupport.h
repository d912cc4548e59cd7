// SPDX-License-Identifier: MIT
// Shared helpers of the toolkit's Qt side.
#pragma once

#include <QString>

#include <tsacore/String.h>

namespace tsaui::qt {
// Creates the application object on first use (offscreen when there is no display).
void EnsureApplication();
inline QString ToQString(const tsacore::UString& text) {
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}
inline tsacore::UString FromQString(const QString& text) { return text.toStdU16String(); }
} // namespace tsaui::qt
