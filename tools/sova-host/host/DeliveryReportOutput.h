// SPDX-License-Identifier: MIT
// A delivery report for people (a block of lines) and for scripts (one JSON object).
#pragma once

#include <string>

#include "host/DeliveryCheck.h"

namespace sovahost {
// Lines ending in a newline: a verdict line with the path, the facts indented under it, and
// each failure.
std::string DeliveryReportInWords(const DeliveryReport& report);
// One JSON object, no newline.
std::string DeliveryReportJson(const DeliveryReport& report);
} // namespace sovahost
