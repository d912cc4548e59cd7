// SPDX-License-Identifier: MIT
// The problems a frame walk found, as JSON objects for info --json and check --json.
#pragma once

#include <vector>

#include "host/FrameWalk.h"
#include "host/Json.h"

namespace sovahost {
// One object per problem: kind, offset, time_s and what each kind has besides.
std::vector<JsonObject> ProblemsJson(const std::vector<StreamProblem>& problems);
} // namespace sovahost
