// SPDX-License-Identifier: MIT
// Silence at the head and the tail of decoded audio: the stretch before the first sample and
// after the last sample of any channel that reaches the threshold. Fed block by block, in order.
#pragma once

#include <cstdint>

namespace sovahost {
// -60 dBFS: below what a programme holds outside its pauses, above the noise of lossy coding
// of digital silence (which decodes to exact zeros for Layer II).
inline constexpr double kSilenceThresholdDbfs = -60.0;

class SilenceSpan {
public:
    explicit SilenceSpan(double thresholdDbfs = kSilenceThresholdDbfs);
    // `frames` frames of each channel: channels[c][0 .. frames).
    void Add(const float* const* channels, int32_t channelCount, int64_t frames);

    int64_t Frames() const { return frames_; }
    bool AllSilent() const { return firstLoud_ < 0; }
    int64_t HeadFrames() const { return AllSilent() ? frames_ : firstLoud_; }
    int64_t TailFrames() const { return AllSilent() ? frames_ : frames_ - lastLoud_ - 1; }
    double ThresholdDbfs() const { return thresholdDbfs_; }
private:
    double thresholdDbfs_;
    float threshold_;
    int64_t frames_ = 0;
    int64_t firstLoud_ = -1, lastLoud_ = -1;
};
} // namespace sovahost
