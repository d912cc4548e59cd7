// SPDX-License-Identifier: MIT
#include "host/Resampler.h"

#include <stdexcept>

#include <fmt/format.h>

namespace sovahost {
namespace {
constexpr size_t kPieceFrames = 8192;
}

Resampler::Resampler(int32_t fromRate, int32_t toRate, int32_t channels)
    : channels_(channels), piece_(kPieceFrames * static_cast<size_t>(channels)) {
    soxr_error_t error = nullptr;
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
    soxr_ = soxr_create(fromRate, toRate, static_cast<unsigned>(channels), &error, nullptr, &quality, nullptr);
    if (error) throw std::runtime_error(fmt::format("cannot set up the resampler: {}", error));
}

Resampler::~Resampler() { soxr_delete(soxr_); }

void Resampler::Process(const float* in, int64_t frames, std::vector<float>& out) {
    const size_t total = static_cast<size_t>(frames);
    size_t consumed = 0;
    for (;;) {
        size_t used = 0, produced = 0;
        // A null input tells libsoxr that the input has ended: it then drains what it holds.
        const float* input = frames > 0 ? in + consumed * static_cast<size_t>(channels_) : nullptr;
        const soxr_error_t error =
            soxr_process(soxr_, input, total - consumed, &used, piece_.data(), kPieceFrames, &produced);
        if (error) throw std::runtime_error(fmt::format("resampling failed: {}", error));
        consumed += used;
        out.insert(out.end(), piece_.begin(), piece_.begin() + static_cast<std::ptrdiff_t>(produced * channels_));
        if (frames > 0 ? consumed >= total && produced < kPieceFrames : produced == 0) return;
    }
}
} // namespace sovahost
