// SPDX-License-Identifier: MIT
// The true and sample peaks of an MP2 file as the module decodes it, measured by up to `jobs`
// child processes side by side: each decodes its own run of frames, copied into a file of its
// own with two frames before it, so the decoder has settled (it does within 480 samples) when its
// run begins. The figures are the same as one pass over the whole file finds.
#pragma once

#include <optional>
#include <string>

#include "host/Loudness.h"
#include "host/LoudnessScan.h"
#include "module/ReadSession.h"

namespace sovahost {
// nullopt when the file cannot be decoded. A stream that is not plain Layer II frames from end to
// end (damage, tags, a change of format) is measured in one pass, as is a short one. The children
// use only the reading selectors 5, 6, 7 and 12 of the started module and end with this process.
std::optional<LoudnessFacts> DecodedPeaks(StartedModule& module, const std::string& path, int jobs,
                                          const MeasureProgress& progress = {});
// The parts DecodedPeaks cuts the file into for `jobs` (1: one pass).
size_t DecodedPeakParts(const std::string& path, int jobs);
} // namespace sovahost
