#include "host/AudioSource.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>

#include <fmt/format.h>

namespace sovahost {
using namespace sova::sdk;

AudioSource::AudioSource(const std::string& path, const std::string& shownName) {
    file_ = sf_open(path.c_str(), SFM_READ, &info_);
    if (!file_) throw std::runtime_error(fmt::format("cannot read '{}': {}", shownName, sf_strerror(nullptr)));
}

AudioSource::~AudioSource() {
    if (resampler_) soxr_delete(resampler_);
    sf_close(file_);
}

std::string AudioSource::Target(int32_t rate, int32_t channels, int32_t code) {
    rate_ = rate;
    channels_ = channels;
    code_ = code;
    std::string words;
    if (channels != info_.channels) {
        BuildMix();
        words += fmt::format("downmixing {} channels to {}", info_.channels, channels);
    }
    if (rate != info_.samplerate) {
        soxr_error_t error = nullptr;
        const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
        resampler_ = soxr_create(info_.samplerate, rate, static_cast<unsigned>(channels), &error, nullptr,
                                 &quality, nullptr);
        if (error) throw std::runtime_error(fmt::format("cannot set up the resampler: {}", error));
        words += fmt::format("{}resampling {} Hz to {} Hz with libsoxr", words.empty() ? "" : ", ",
                             info_.samplerate, rate);
    }
    converting_ = !words.empty();
    return words;
}

int64_t AudioSource::Read(int64_t frames, std::vector<std::vector<uint8_t>>& buffers) {
    const int bytes = BytesPerSample(code_);
    buffers.resize(static_cast<size_t>(channels_));
    for (auto& buffer : buffers) buffer.resize(static_cast<size_t>(frames * bytes));
    if (!converting_) return ReadDirect(frames, buffers);
    while (static_cast<int64_t>(pending_.size() / channels_) < frames && !drained_) Refill(frames);
    const int64_t count = std::min<int64_t>(frames, static_cast<int64_t>(pending_.size() / channels_));
    for (int64_t i = 0; i < count; ++i)
        for (int32_t c = 0; c < channels_; ++c) StoreFloat(pending_[i * channels_ + c], buffers[c].data(), i);
    pending_.erase(pending_.begin(), pending_.begin() + count * channels_);
    return count;
}

int64_t AudioSource::ReadDirect(int64_t frames, std::vector<std::vector<uint8_t>>& buffers) {
    const int32_t n = channels_;
    sf_count_t got = 0;
    switch (code_) {
    case kSampleFloat32: {
        floats_.resize(static_cast<size_t>(frames * n));
        got = sf_readf_float(file_, floats_.data(), frames);
        for (sf_count_t i = 0; i < got; ++i)
            for (int32_t c = 0; c < n; ++c)
                std::memcpy(buffers[c].data() + 4 * i, &floats_[i * n + c], 4);
        break;
    }
    case kSampleInt24: {
        ints_.resize(static_cast<size_t>(frames * n));
        got = sf_readf_int(file_, ints_.data(), frames);
        for (sf_count_t i = 0; i < got; ++i)
            for (int32_t c = 0; c < n; ++c) {
                const int32_t value = ints_[i * n + c] >> 8; // libsndfile scales to 32 bits
                uint8_t* out = buffers[c].data() + 3 * i;
                out[0] = static_cast<uint8_t>(value);
                out[1] = static_cast<uint8_t>(value >> 8);
                out[2] = static_cast<uint8_t>(value >> 16);
            }
        break;
    }
    default: {
        shorts_.resize(static_cast<size_t>(frames * n));
        got = sf_readf_short(file_, shorts_.data(), frames);
        for (sf_count_t i = 0; i < got; ++i)
            for (int32_t c = 0; c < n; ++c) {
                const int16_t value = shorts_[i * n + c];
                if (code_ == kSampleInt16)
                    std::memcpy(buffers[c].data() + 2 * i, &value, 2);
                else
                    buffers[c][i] = static_cast<uint8_t>((value >> 8) + 128);
            }
        break;
    }
    }
    return got;
}

// Weights from each input channel to each output channel. Two outputs: the first two
// inputs are left and right, a channel the file marks as left or right side goes to that
// side, centre-like and unmarked ones to both at -3 dB, the LFE is dropped; rows are then
// scaled so that full-scale inputs cannot clip. One output: the average.
void AudioSource::BuildMix() {
    const int32_t in = info_.channels;
    std::vector<int> map(static_cast<size_t>(in), SF_CHANNEL_MAP_INVALID);
    const bool mapped = sf_command(file_, SFC_GET_CHANNEL_MAP_INFO, map.data(), in * int(sizeof(int))) == SF_TRUE;
    mix_.assign(static_cast<size_t>(channels_ * in), 0.0f);
    for (int32_t i = 0; i < in; ++i) {
        if (channels_ == 1) {
            mix_[i] = 1.0f / static_cast<float>(in);
            continue;
        }
        float left = 0.7071f, right = 0.7071f;
        const int role = mapped ? map[i] : SF_CHANNEL_MAP_INVALID;
        if (i == 0 || role == SF_CHANNEL_MAP_LEFT || role == SF_CHANNEL_MAP_REAR_LEFT ||
            role == SF_CHANNEL_MAP_SIDE_LEFT || role == SF_CHANNEL_MAP_FRONT_LEFT)
            left = 1.0f, right = 0.0f;
        else if (i == 1 || role == SF_CHANNEL_MAP_RIGHT || role == SF_CHANNEL_MAP_REAR_RIGHT ||
                 role == SF_CHANNEL_MAP_SIDE_RIGHT || role == SF_CHANNEL_MAP_FRONT_RIGHT)
            left = 0.0f, right = 1.0f;
        else if (role == SF_CHANNEL_MAP_LFE)
            left = right = 0.0f;
        mix_[i] = left;
        mix_[in + i] = right;
    }
    for (int32_t out = 0; out < channels_; ++out) {
        float sum = 0.0f;
        for (int32_t i = 0; i < in; ++i) sum += mix_[out * in + i];
        if (sum > 1.0f)
            for (int32_t i = 0; i < in; ++i) mix_[out * in + i] /= sum;
    }
}

void AudioSource::Refill(int64_t frames) {
    const int32_t in = info_.channels;
    floats_.resize(static_cast<size_t>(frames * in));
    const sf_count_t got = sf_readf_float(file_, floats_.data(), frames);
    std::vector<float> mixed;
    if (channels_ == in) {
        mixed.assign(floats_.begin(), floats_.begin() + got * in);
    } else {
        mixed.assign(static_cast<size_t>(got * channels_), 0.0f);
        for (sf_count_t f = 0; f < got; ++f)
            for (int32_t out = 0; out < channels_; ++out) {
                float sum = 0.0f;
                for (int32_t i = 0; i < in; ++i) sum += mix_[out * in + i] * floats_[f * in + i];
                mixed[f * channels_ + out] = sum;
            }
    }
    if (!resampler_) {
        pending_.insert(pending_.end(), mixed.begin(), mixed.end());
        drained_ = got == 0;
        return;
    }
    const double ratio = static_cast<double>(rate_) / info_.samplerate;
    const size_t room = static_cast<size_t>(static_cast<double>(std::max<sf_count_t>(got, 0)) * ratio) + 4096;
    std::vector<float> out(room * channels_);
    size_t consumed = 0;
    do { // with no input left, a null input pointer drains the resampler
        size_t used = 0, produced = 0;
        const float* input = got > 0 ? mixed.data() + consumed * channels_ : nullptr;
        const soxr_error_t error = soxr_process(resampler_, input, static_cast<size_t>(got) - consumed, &used,
                                                out.data(), room, &produced);
        if (error) throw std::runtime_error(fmt::format("resampling failed: {}", error));
        consumed += used;
        pending_.insert(pending_.end(), out.begin(), out.begin() + produced * channels_);
        if (got == 0 && produced == 0) drained_ = true;
        if (got == 0) break;
    } while (consumed < static_cast<size_t>(got));
}

void AudioSource::StoreFloat(float value, uint8_t* out, int64_t index) const {
    const auto scaled = [value](double scale, double low, double high) {
        return std::clamp(std::nearbyint(static_cast<double>(value) * scale), low, high);
    };
    switch (code_) {
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
} // namespace sovahost
