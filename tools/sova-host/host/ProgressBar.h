// SPDX-License-Identifier: MIT
// A one-line progress bar on stderr ("encoding [#####     ]  50%"), drawn only on a terminal and
// redrawn only when the percentage moves.
#pragma once

#include <cstdint>
#include <string>

namespace sovahost {
class ProgressBar {
public:
    // Draws nothing unless wanted, total is known (> 0) and stderr is a terminal.
    ProgressBar(std::string label, bool wanted, int64_t total);
    ~ProgressBar() { End(); }
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;

    void Update(int64_t done);
    // Ends the bar's line, so that what follows starts on a line of its own.
    void End();
private:
    std::string label_;
    bool shown_;
    int64_t total_;
    int drawn_ = -1;
};
} // namespace sovahost
