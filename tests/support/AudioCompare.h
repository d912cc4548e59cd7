// SPDX-License-Identifier: MIT
// Audio that tests make and compare: a test signal written in any libsndfile format, audio read
// back as doubles, MPEG audio decoded with libmpg123 (with every frame's header), levels, and
// the correlation of two signals after finding the delay between them.
// Thread-safe except MpegDecoderReady, which the main thread calls once before decoding.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

#include <mpg123.h>
#include <sndfile.h>

namespace testsupport {
// Interleaved samples, full scale 1.0.
struct Audio {
    int rate = 0, channels = 0;
    std::vector<double> samples;

    size_t Frames() const { return channels ? samples.size() / static_cast<size_t>(channels) : 0; }
    std::vector<double> Channel(int c) const {
        std::vector<double> one(Frames());
        for (size_t i = 0; i < one.size(); ++i) one[i] = samples[i * static_cast<size_t>(channels) + c];
        return one;
    }
};

// `seconds` of a low tone (110 Hz, 165 Hz in a second channel, so that swapped channels show)
// under a slow swell, with faint white noise; peaks near 0.5 (-6 dBFS). Low tones stay faithful
// down to 8 kbit/s stereo, where twolame cannot keep a chord. The tones are the same at every
// rate, the noise is not.
inline Audio TestSignal(int rate, int channels, double seconds = 0.4) {
    static const double kNotes[2] = {110.0, 165.0};
    Audio audio{rate, channels, {}};
    const auto frames = static_cast<size_t>(std::lround(seconds * rate));
    audio.samples.resize(frames * static_cast<size_t>(channels));
    uint32_t noise = 2463534242u;
    for (size_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / rate, swell = 0.75 + 0.25 * std::sin(2 * M_PI * 3.0 * t);
        for (int c = 0; c < channels; ++c) {
            noise ^= noise << 13, noise ^= noise >> 17, noise ^= noise << 5;
            audio.samples[i * static_cast<size_t>(channels) + c] =
                0.48 * swell * std::sin(2 * M_PI * kNotes[c % 2] * t) + 0.01 * (noise / 2147483648.0 - 1.0);
        }
    }
    return audio;
}

// Writes audio with libsndfile; format is a container and a sample type, e.g.
// SF_FORMAT_WAV | SF_FORMAT_PCM_U8.
inline void WriteAudio(const std::string& path, const Audio& audio, int format) {
    SF_INFO info{};
    info.samplerate = audio.rate;
    info.channels = audio.channels;
    info.format = format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file) throw std::runtime_error("cannot write " + path + ": " + sf_strerror(nullptr));
    const auto frames = static_cast<sf_count_t>(audio.Frames());
    const bool written = sf_writef_double(file, audio.samples.data(), frames) == frames;
    sf_close(file);
    if (!written) throw std::runtime_error("cannot write the samples of " + path);
}

// Any file libsndfile reads, as doubles.
inline Audio ReadAudio(const std::string& path) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file) throw std::runtime_error("cannot read " + path + ": " + sf_strerror(nullptr));
    Audio audio{info.samplerate, info.channels, {}};
    audio.samples.resize(static_cast<size_t>(info.frames) * static_cast<size_t>(info.channels));
    audio.samples.resize(static_cast<size_t>(sf_readf_double(file, audio.samples.data(), info.frames)) *
                         static_cast<size_t>(info.channels));
    sf_close(file);
    return audio;
}

// What one MPEG audio frame header says, as libmpg123 reads it.
struct MpegFrameFacts {
    int version = 0; // 1 = MPEG-1, 2 = MPEG-2 LSF, 3 = MPEG 2.5
    int layer = 0;
    long rate = 0;
    int bitrate = 0; // kbit/s
    int mode = 0;    // 0 stereo, 1 joint stereo, 2 dual channel, 3 mono
    bool operator==(const MpegFrameFacts&) const = default;
};

struct DecodedMpeg {
    std::string error; // empty when the whole file decoded
    Audio audio;
    std::vector<MpegFrameFacts> frames; // one per decoded frame, in order
};

inline void MpegDecoderReady() { mpg123_init(); }

// The whole file decoded to float with libmpg123, delay and all (nothing trimmed).
inline DecodedMpeg DecodeMpeg(const std::string& path) {
    DecodedMpeg decoded;
    mpg123_handle* handle = mpg123_new(nullptr, nullptr);
    if (!handle) return {"mpg123_new failed", {}, {}};
    mpg123_param(handle, MPG123_ADD_FLAGS, MPG123_FORCE_FLOAT | MPG123_QUIET, 0);
    if (mpg123_open(handle, path.c_str()) != MPG123_OK) decoded.error = mpg123_strerror(handle);
    while (decoded.error.empty()) {
        off_t frameNumber = 0;
        unsigned char* data = nullptr;
        size_t bytes = 0;
        const int result = mpg123_decode_frame(handle, &frameNumber, &data, &bytes);
        if (result == MPG123_DONE) break;
        if (result == MPG123_NEW_FORMAT) {
            long rate = 0;
            int channels = 0, encoding = 0;
            mpg123_getformat(handle, &rate, &channels, &encoding);
            if (decoded.audio.channels && (rate != decoded.audio.rate || channels != decoded.audio.channels))
                decoded.error = "the format changes within the stream";
            if (encoding != MPG123_ENC_FLOAT_32) decoded.error = "libmpg123 gives no float output";
            decoded.audio.rate = static_cast<int>(rate);
            decoded.audio.channels = channels;
            continue;
        }
        if (result != MPG123_OK) {
            decoded.error = mpg123_strerror(handle);
            break;
        }
        mpg123_frameinfo info{};
        mpg123_info(handle, &info);
        decoded.frames.push_back({info.version == MPG123_1_0 ? 1 : info.version == MPG123_2_0 ? 2 : 3, info.layer,
                                  info.rate, info.bitrate, static_cast<int>(info.mode)});
        const auto* floats = reinterpret_cast<const float*>(data);
        decoded.audio.samples.insert(decoded.audio.samples.end(), floats, floats + bytes / sizeof(float));
    }
    mpg123_close(handle);
    mpg123_delete(handle);
    if (decoded.error.empty() && decoded.frames.empty()) decoded.error = "no MPEG audio frame";
    return decoded;
}

inline double LevelDb(double sumOfSquares, size_t count) {
    return count ? 10 * std::log10(std::max(sumOfSquares / static_cast<double>(count), 1e-30)) : -300.0;
}

// RMS level in dB relative to full scale 1.0.
inline double RmsDb(const std::vector<double>& samples) {
    double sum = 0;
    for (double s : samples) sum += s * s;
    return LevelDb(sum, samples.size());
}

// How a decoded signal matches its reference once the delay between them is found.
struct Match {
    long lag = 0;            // decoded[i + lag] corresponds to reference[i]
    double correlation = -1; // normalised, at that lag
    double levelDb = 0;      // level of the decoded part minus that of the reference part
};

// Finds the delay (lag in [minLag, maxLag]) at which decoded best follows the middle 70% of
// reference, first on every 4th sample, then exactly around the best coarse lag.
inline Match AlignAndCompare(const std::vector<double>& reference, const std::vector<double>& decoded, long minLag,
                             long maxLag) {
    const long n = static_cast<long>(reference.size()), begin = n / 10, end = n * 8 / 10;
    minLag = std::max(minLag, -begin);
    maxLag = std::min(maxLag, static_cast<long>(decoded.size()) - end);
    Match best;
    if (end <= begin || maxLag < minLag) return best;
    const auto correlate = [&](long lag, long step) {
        double product = 0, energyRef = 0, energyDec = 0;
        for (long i = begin; i < end; i += step) {
            const double r = reference[static_cast<size_t>(i)], d = decoded[static_cast<size_t>(i + lag)];
            product += r * d, energyRef += r * r, energyDec += d * d;
        }
        return Match{lag, energyRef > 0 && energyDec > 0 ? product / std::sqrt(energyRef * energyDec) : 0.0,
                     10 * std::log10(std::max(energyDec, 1e-30) / std::max(energyRef, 1e-30))};
    };
    long coarse = minLag;
    double coarseBest = -std::numeric_limits<double>::infinity();
    for (long lag = minLag; lag <= maxLag; ++lag)
        if (const double c = correlate(lag, 4).correlation; c > coarseBest) coarseBest = c, coarse = lag;
    for (long lag = std::max(minLag, coarse - 8); lag <= std::min(maxLag, coarse + 8); ++lag)
        if (const Match m = correlate(lag, 1); m.correlation > best.correlation) best = m;
    return best;
}
} // namespace testsupport
