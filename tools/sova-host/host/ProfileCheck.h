// SPDX-License-Identifier: MIT
// `check --profile NAME`: a delivery profile's requirements added to a file's delivery report.
#pragma once

#include "host/DeliveryCheck.h"
#include "host/DeliveryProfiles.h"

namespace sovahost {
// The check options a profile needs: its loudness measured (and judged by the profile, not twice).
void PrepareProfileCheck(const DeliveryProfile& profile, DeliveryOptions& options);
// What the report found, as far as a profile looks at it; container from the file's first bytes.
DeliveredFile DeliveredFileOf(const DeliveryReport& report);
// Each requirement of the profile the file does not meet, as a "profile" failure of the report.
void AddProfileFailures(const DeliveryProfile& profile, DeliveryReport& report);
} // namespace sovahost
