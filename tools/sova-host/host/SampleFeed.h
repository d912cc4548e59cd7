// SPDX-License-Identifier: MIT
// The samples an encode hands to the module, block by block, one buffer per channel: the
// source's own samples when nothing needs converting (16-bit integers for sources of 16 bits or
// fewer, else 32-bit float), or the source downmixed and resampled in float.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/AudioSource.h"
#include "host/Downmix.h"
#include "host/LoudnessLevel.h"
#include "host/Resampler.h"

namespace sovahost {
class SampleFeed {
public:
    // The source stays owned by the caller and must outlive the feed. forcedCode, when set, is
    // the sample format code to deliver in (a developer's choice); otherwise the feed picks the
    // one that keeps the source's precision. With `level`, a first pass measures the samples as
    // they will be handed over (mixed and resampled) and every sample then carries the gain chosen
    // (always in float).
    SampleFeed(AudioSource& source, int32_t rate, int32_t channels, std::optional<int32_t> forcedCode,
               const LevelRequest* level = nullptr);
    // A feed on another opening of the same source that converts as `like` does (its mix, guard
    // and gain, without a first pass): moved to a frame (AudioSource::Seek), it delivers the same
    // samples `like` delivers from there. `like` must read frame by frame.
    SampleFeed(AudioSource& source, const SampleFeed& like);
    ~SampleFeed();

    int32_t Code() const { return code_; }
    // What is done to the audio on its way, in words; empty when it passes unchanged.
    const std::string& Conversion() const { return conversion_; }
    // True when each sample handed over depends only on the source's frame at the same place (no
    // resampling): a replica feed (the constructor above) can then start anywhere.
    bool ReadsFrameByFrame() const { return !resampler_; }
    // Fills one buffer per channel with up to `frames` samples; returns the frames delivered (0 at
    // the end).
    int64_t Read(int64_t frames, std::vector<std::vector<uint8_t>>& buffers);
    // Samples beyond full scale delivered so far, which the module clips.
    int64_t OverFullScale() const { return overFullScale_; }
    // Set when a level was requested.
    const std::optional<LevelOutcome>& Level() const { return level_; }
    // Called by Read with every block it delivers (the buffers as filled, the frames, Code()), e.g.
    // to measure the loudness of what the module is handed; set before the first Read.
    using Observer = std::function<void(const std::vector<std::vector<uint8_t>>& buffers, int64_t frames, int32_t code)>;
    void Observe(Observer observer) { observer_ = std::move(observer); }
private:
    int64_t ReadBlock(int64_t frames, std::vector<std::vector<uint8_t>>& buffers);
    // One pass over the whole source before anything is delivered: the unguarded mix's peak (for
    // the downmix guard) and, with a level request, the loudness of what the module will get.
    void FirstPass(int32_t rate, const LevelRequest* level);
    void Refill(int64_t frames);
    void Store(const float* frame, std::vector<std::vector<uint8_t>>& buffers, int64_t index);

    AudioSource& source_;
    int32_t channels_;
    int32_t code_;
    bool floatPath_;
    std::optional<Downmix> mix_;
    std::unique_ptr<Resampler> resampler_;
    std::string conversion_;
    std::vector<float> read_, mixed_, pending_; // pending_: converted frames not yet delivered
    size_t pendingStart_ = 0;                   // first undelivered sample in pending_
    std::vector<int16_t> shorts_;
    bool ended_ = false;
    int64_t overFullScale_ = 0;
    std::optional<LevelOutcome> level_;
    float gain_ = 1.0f; // the level's gain, linear
    Observer observer_;
};
} // namespace sovahost
