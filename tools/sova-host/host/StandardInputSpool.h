// SPDX-License-Identifier: MIT
// Standard input copied to a temporary file, so that libsndfile can seek in any format.
#pragma once

#include <memory>

#include "host/TempFile.h"

namespace sovahost {
// Reads standard input to its end into a file in $TMPDIR (or /tmp); throws std::runtime_error
// with the reason when it cannot (the file then removed).
std::unique_ptr<TempFile> SpoolStandardInput();
} // namespace sovahost
