// SPDX-License-Identifier: MIT
#include "host/SampleFeed.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>

#include <fmt/format.h>
#include <sova/SampleFormatCode.h>

namespace sovahost {
using namespace sova::sdk;

namespace {
constexpr int64_t kReadFrames = 8192; // source frames per refill: bounds the feed's memory

// A float in [-1, 1] as `code` stores it (developer formats only); NaN never reaches here.
void StoreConverted(float value, int32_t code, uint8_t* out, int64_t index) {
    const auto scaled = [value](double scale, double low, double high) {
        return std::clamp(std::nearbyint(static_cast<double>(value) * scale), low, high);
    };
    switch (code) {
    case kSampleUInt8: out[index] = static_cast<uint8_t>(scaled(128.0, -128.0, 127.0) + 128.0); break;
    case kSampleInt16: {
        const auto sample = static_cast<int16_t>(scaled(32768.0, -32768.0, 32767.0));
        std::memcpy(out + 2 * index, &sample, 2);
        break;
    }
    case kSampleInt24: {
        const auto sample = static_cast<int32_t>(scaled(8388608.0, -8388608.0, 8388607.0));
        out[3 * index] = static_cast<uint8_t>(sample);
        out[3 * index + 1] = static_cast<uint8_t>(sample >> 8);
        out[3 * index + 2] = static_cast<uint8_t>(sample >> 16);
        break;
    }
    default: std::memcpy(out + 4 * index, &value, 4); break;
    }
}
} // namespace

SampleFeed::SampleFeed(AudioSource& source, int32_t rate, int32_t channels, std::optional<int32_t> forcedCode,
                       const LevelRequest* level)
    : source_(source), channels_(channels) {
    std::vector<std::string> steps;
    if (channels != source.Channels()) mix_.emplace(source.Channels(), channels, source.ChannelRoles());
    if ((mix_ && mix_->CanClip()) || level) FirstPass(rate, level);
    if (mix_) steps.push_back(mix_->Words());
    if (rate != source.Rate()) {
        resampler_ = std::make_unique<Resampler>(source.Rate(), rate, channels);
        steps.push_back(fmt::format("resampling {} Hz to {} Hz with libsoxr", source.Rate(), rate));
    }
    // No gain (silence, or a programme already at the target) leaves the samples as they are.
    if (level_ && level_->gainDb != 0.0) steps.push_back(fmt::format("gain {:+.2f} dB for the loudness", level_->gainDb));
    const bool converting = !steps.empty();
    // 16-bit samples pass a 16-bit-or-less source unchanged; anything else keeps its precision as float.
    floatPath_ = converting || !source.FitsInt16() || (forcedCode && *forcedCode != kSampleInt16);
    code_ = forcedCode.value_or(floatPath_ ? kSampleFloat32 : kSampleInt16);
    conversion_ = fmt::format("{}", fmt::join(steps, ", "));
}

SampleFeed::SampleFeed(AudioSource& source, const SampleFeed& like)
    : source_(source), channels_(like.channels_), code_(like.code_), floatPath_(like.floatPath_), mix_(like.mix_),
      conversion_(like.conversion_), level_(like.level_), gain_(like.gain_) {
    if (!like.ReadsFrameByFrame()) throw std::logic_error("a resampling feed cannot be replicated mid-stream");
}

SampleFeed::~SampleFeed() = default;

// NaN samples are refused here, before anything is written. The loudness is measured on the
// unguarded mix; the guard is one factor on every sample, added to the figures afterwards.
void SampleFeed::FirstPass(int32_t rate, const LevelRequest* level) {
    float peak = 0.0f;
    std::optional<LoudnessMeter> meter;
    std::unique_ptr<Resampler> resampler;
    if (level) {
        meter.emplace(rate, channels_, LoudnessMeter::Measures::IntegratedAndPeaks, level->threads);
        if (rate != source_.Rate()) resampler = std::make_unique<Resampler>(source_.Rate(), rate, channels_);
    }
    std::vector<float> out, resampled;
    read_.resize(static_cast<size_t>(kReadFrames * source_.Channels()));
    int64_t done = 0;
    const auto measure = [&](const float* frames, int64_t count) {
        if (!resampler) return meter->Add(frames, count);
        resampled.clear();
        resampler->Process(frames, count, resampled); // count == 0 drains it
        meter->Add(resampled.data(), static_cast<int64_t>(resampled.size()) / channels_);
    };
    for (int64_t got; (got = source_.ReadFloat(read_.data(), kReadFrames)) > 0;) {
        const float* frames = read_.data();
        if (mix_) {
            out.resize(static_cast<size_t>(got * channels_));
            mix_->Apply(read_.data(), got, out.data());
            for (float value : out) peak = std::max(peak, std::fabs(value));
            frames = out.data();
        }
        if (meter) measure(frames, got);
        done += got;
        if (level && level->progress) level->progress(done);
    }
    if (resampler) measure(nullptr, 0);
    source_.Rewind();
    float guard = 1.0f;
    if (mix_ && mix_->CanClip()) {
        mix_->Guard(peak);
        guard = mix_->GuardGain();
    }
    if (!level) return;
    LoudnessFacts facts = meter->Facts();
    const double guardDb = 20.0 * std::log10(guard);
    for (std::optional<double>* value : {&facts.integratedLufs, &facts.maxMomentaryLufs, &facts.maxShortTermLufs})
        if (*value) **value += guardDb;
    facts.truePeakDbtp += guardDb;
    facts.samplePeakDbfs += guardDb;
    level_ = ChooseGain(facts, level->targetLufs, level->ceilingDbtp);
    gain_ = static_cast<float>(std::pow(10.0, level_->gainDb / 20.0));
}

int64_t SampleFeed::Read(int64_t frames, std::vector<std::vector<uint8_t>>& buffers) {
    const int64_t got = ReadBlock(frames, buffers);
    if (observer_ && got > 0) observer_(buffers, got, code_);
    return got;
}

int64_t SampleFeed::ReadBlock(int64_t frames, std::vector<std::vector<uint8_t>>& buffers) {
    const int bytes = BytesPerSample(code_);
    buffers.resize(static_cast<size_t>(channels_));
    for (auto& buffer : buffers) buffer.resize(static_cast<size_t>(frames * bytes));
    if (!floatPath_) {
        shorts_.resize(static_cast<size_t>(frames * channels_));
        const int64_t got = source_.ReadShort(shorts_.data(), frames);
        for (int64_t i = 0; i < got; ++i)
            for (int32_t c = 0; c < channels_; ++c)
                std::memcpy(buffers[static_cast<size_t>(c)].data() + 2 * i, &shorts_[static_cast<size_t>(i * channels_ + c)], 2);
        return got;
    }
    const auto available = [&] { return static_cast<int64_t>((pending_.size() - pendingStart_) / channels_); };
    while (available() < frames && !ended_) Refill(kReadFrames);
    const int64_t count = std::min(frames, available());
    for (int64_t i = 0; i < count; ++i) Store(pending_.data() + pendingStart_ + i * channels_, buffers, i);
    pendingStart_ += static_cast<size_t>(count * channels_);
    if (pendingStart_ == pending_.size()) pending_.clear(), pendingStart_ = 0;
    return count;
}

void SampleFeed::Refill(int64_t frames) {
    // Move what is left to the front so that pending_ never grows beyond one block and one refill.
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(pendingStart_));
    pendingStart_ = 0;
    read_.resize(static_cast<size_t>(frames * source_.Channels()));
    const int64_t got = source_.ReadFloat(read_.data(), frames);
    const float* frame = read_.data();
    if (mix_) {
        mixed_.resize(static_cast<size_t>(got * channels_));
        mix_->Apply(read_.data(), got, mixed_.data());
        frame = mixed_.data();
    }
    if (resampler_)
        resampler_->Process(frame, got, pending_); // got == 0 drains the resampler
    else
        pending_.insert(pending_.end(), frame, frame + got * channels_);
    ended_ = got == 0;
}

void SampleFeed::Store(const float* frame, std::vector<std::vector<uint8_t>>& buffers, int64_t index) {
    for (int32_t c = 0; c < channels_; ++c) {
        const float value = frame[c] * gain_;
        if (std::fabs(value) > 1.0f) ++overFullScale_;
        StoreConverted(code_ == kSampleFloat32 ? value : std::clamp(value, -1.0f, 1.0f), code_,
                       buffers[static_cast<size_t>(c)].data(), index);
    }
}
} // namespace sovahost
