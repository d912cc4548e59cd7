// An input audio file, delivered in blocks of host samples (one buffer per channel, in a
// sample format code of the protocol): straight from libsndfile when the target keeps the
// file's rate and channel count, otherwise through a float downmix and libsoxr.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <sndfile.h>
#include <soxr.h>

#include <sova/SampleFormatCode.h>

namespace sovahost {
class AudioSource {
public:
    // Opens path with libsndfile; shownName is how messages name the file. Throws
    // std::runtime_error when libsndfile cannot read it.
    AudioSource(const std::string& path, const std::string& shownName);
    ~AudioSource();
    AudioSource(const AudioSource&) = delete;
    AudioSource& operator=(const AudioSource&) = delete;

    int32_t Rate() const { return info_.samplerate; }
    int32_t Channels() const { return info_.channels; }
    int64_t Frames() const { return info_.frames; }

    // Sets the format blocks are delivered in; returns what the conversion does, in words
    // (empty when the audio passes unchanged). Called once, before the first Read.
    std::string Target(int32_t rate, int32_t channels, int32_t code);
    // Fills each channel buffer with up to `frames` samples; returns the frames delivered
    // (0 at the end).
    int64_t Read(int64_t frames, std::vector<std::vector<uint8_t>>& buffers);

private:
    int64_t ReadDirect(int64_t frames, std::vector<std::vector<uint8_t>>& buffers);
    void BuildMix();
    void Refill(int64_t frames);
    void StoreFloat(float value, uint8_t* out, int64_t index) const;

    SF_INFO info_{};
    SNDFILE* file_ = nullptr;
    int32_t rate_ = 0, channels_ = 0, code_ = sova::sdk::kSampleInt16;
    bool converting_ = false, drained_ = false;
    soxr_t resampler_ = nullptr;
    std::vector<float> mix_, floats_, pending_;
    std::vector<int32_t> ints_;
    std::vector<int16_t> shorts_;
};
} // namespace sovahost
