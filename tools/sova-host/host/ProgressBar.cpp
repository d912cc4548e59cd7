// SPDX-License-Identifier: MIT
#include "host/ProgressBar.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>

namespace sovahost {
namespace {
constexpr int kWidth = 40;
} // namespace

ProgressBar::ProgressBar(std::string label, bool wanted, int64_t total)
    : label_(std::move(label)), shown_(wanted && total > 0 && isatty(STDERR_FILENO)), total_(total) {}

void ProgressBar::Update(int64_t done) {
    if (!shown_) return;
    const int percent = static_cast<int>(std::clamp<int64_t>(done * 100 / total_, 0, 100));
    if (percent == drawn_) return;
    drawn_ = percent;
    const int filled = percent * kWidth / 100;
    std::fprintf(stderr, "\r%s [%s%s] %3d%%", label_.c_str(), std::string(filled, '#').c_str(),
                 std::string(kWidth - filled, ' ').c_str(), percent);
    std::fflush(stderr);
}

void ProgressBar::End() {
    if (shown_ && drawn_ >= 0) std::fputc('\n', stderr);
    drawn_ = -1;
}
} // namespace sovahost
