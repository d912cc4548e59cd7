// SPDX-License-Identifier: MIT
// An input audio file read with libsndfile, in interleaved frames at the file's own precision:
// 16-bit integers for files of 16 bits or fewer, 32-bit float for everything else (24- and 32-bit
// integers, float, double, and compressed formats such as FLAC, MP3 and Ogg).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <sndfile.h>

#include "host/DeclaredLength.h"

namespace sovahost {
class AudioSource {
public:
    // Opens path; shownName is how messages name the file ("standard input" for a spool), and
    // output the MP2 it is for (named in the ffmpeg advice for a format libsndfile cannot read).
    // Throws std::runtime_error with the reason in words: missing, a folder, not audio, no
    // samples, a sample rate below 1000 Hz.
    AudioSource(const std::string& path, const std::string& shownName, const std::string& output = "out.mp2");
    ~AudioSource();
    AudioSource(const AudioSource&) = delete;
    AudioSource& operator=(const AudioSource&) = delete;

    int32_t Rate() const { return info_.samplerate; }
    int32_t Channels() const { return info_.channels; }
    int64_t Frames() const { return info_.frames; }
    // "24-bit PCM WAV", "FLAC 16-bit", "MPEG Layer III"...
    std::string FormatName() const;
    // True when every sample is an integer of 16 bits or fewer, so 16-bit samples carry it exactly.
    bool FitsInt16() const;
    // libsndfile's SF_CHANNEL_MAP_* role of each channel, empty when the file names none.
    std::vector<int> ChannelRoles();
    // Set when the header promises more samples than the file holds.
    const std::optional<CutShort>& CutShortBy() const { return cutShort_; }

    // Up to `frames` interleaved frames; returns the frames read (0 at the end). ReadFloat throws
    // std::runtime_error naming the sample when one is not a finite number.
    int64_t ReadFloat(float* out, int64_t frames);
    int64_t ReadShort(int16_t* out, int64_t frames);
    // Back to the first frame, for a second pass; throws std::runtime_error when the file cannot seek.
    void Rewind();
    // On to `frame`, where the next read starts (exact for PCM and FLAC); throws std::runtime_error
    // when the file cannot seek there.
    void Seek(int64_t frame);
private:
    std::string shown_;
    SF_INFO info_{};
    SNDFILE* file_ = nullptr;
    int64_t position_ = 0; // frames read so far
    std::optional<CutShort> cutShort_;
};
} // namespace sovahost
