// SPDX-License-Identifier: MIT
#include "host/StreamProblemJson.h"

namespace sovahost {
std::vector<JsonObject> ProblemsJson(const std::vector<StreamProblem>& problems) {
    std::vector<JsonObject> objects;
    for (const StreamProblem& problem : problems) {
        JsonObject entry;
        entry.Add("kind", problem.KindName());
        entry.Add("offset", static_cast<int64_t>(problem.offset));
        entry.Add("time_s", problem.seconds);
        if (problem.kind == StreamProblem::Kind::Junk || problem.kind == StreamProblem::Kind::Truncated)
            entry.Add("bytes", static_cast<int64_t>(problem.bytes));
        if (problem.kind == StreamProblem::Kind::Truncated) entry.Add("frame_bytes", static_cast<int64_t>(problem.expected));
        if (problem.kind == StreamProblem::Kind::FrameCount) {
            entry.Add("frames", static_cast<int64_t>(problem.found));
            entry.Add("frames_announced", static_cast<int64_t>(problem.expected));
        }
        if (!problem.detail.empty()) entry.Add("detail", problem.detail);
        objects.push_back(entry);
    }
    return objects;
}
} // namespace sovahost
