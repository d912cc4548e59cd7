// SPDX-License-Identifier: MIT
#include "host/AudioSource.h"

#include <cmath>
#include <stdexcept>

#include <fmt/format.h>

#include "host/InputFormats.h"
#include "host/InputProblem.h"

namespace sovahost {
namespace {
constexpr int32_t kLowestRate = 1000; // no one records below this; a header that says so is broken

std::string FormatInfoName(int format) {
    SF_FORMAT_INFO info{};
    info.format = format;
    if (sf_command(nullptr, SFC_GET_FORMAT_INFO, &info, sizeof info) != 0 || !info.name) return {};
    return info.name;
}
} // namespace

AudioSource::AudioSource(const std::string& path, const std::string& shownName, const std::string& output)
    : shown_(shownName) {
    if (const std::string problem = InputProblem(path); !problem.empty())
        throw std::runtime_error(shownName == path ? problem : fmt::format("{}: {}", shownName, problem));
    file_ = sf_open(path.c_str(), SFM_READ, &info_);
    if (!file_) {
        if (const std::string advice = UnreadableFormatAdvice(shownName, output); !advice.empty())
            throw std::runtime_error(advice);
        throw std::runtime_error(fmt::format("'{}' is not audio sova-host can read ({})", shownName, sf_strerror(nullptr)));
    }
    if (info_.samplerate < kLowestRate) {
        sf_close(file_);
        throw std::runtime_error(fmt::format("'{}' says its sample rate is {} Hz; sova-host reads audio of {} Hz or more",
                                             shownName, info_.samplerate, kLowestRate));
    }
    if (info_.frames <= 0) {
        sf_close(file_);
        throw std::runtime_error(fmt::format("'{}' holds no audio (0 samples)", shownName));
    }
    if ((info_.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_WAV) cutShort_ = FindCutShortWav(path);
}

AudioSource::~AudioSource() { sf_close(file_); }

std::string AudioSource::FormatName() const {
    const std::string major = FormatInfoName(info_.format & SF_FORMAT_TYPEMASK);
    const std::string sub = FormatInfoName(info_.format & SF_FORMAT_SUBMASK);
    return sub.empty() ? major : fmt::format("{}, {}", major, sub);
}

bool AudioSource::FitsInt16() const {
    switch (info_.format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8:
    case SF_FORMAT_PCM_16: return true;
    default: return false;
    }
}

std::vector<int> AudioSource::ChannelRoles() {
    std::vector<int> roles(static_cast<size_t>(info_.channels));
    if (sf_command(file_, SFC_GET_CHANNEL_MAP_INFO, roles.data(), static_cast<int>(roles.size() * sizeof(int))) != SF_TRUE)
        roles.clear();
    return roles;
}

int64_t AudioSource::ReadFloat(float* out, int64_t frames) {
    const sf_count_t got = sf_readf_float(file_, out, frames);
    const int64_t samples = got * info_.channels;
    for (int64_t i = 0; i < samples; ++i)
        if (!std::isfinite(out[i])) {
            const int64_t frame = position_ + i / info_.channels;
            throw std::runtime_error(fmt::format(
                "sample {} ({:.3f} s) of channel {} in '{}' is {}; sova-host does not encode a source with samples that "
                "are not numbers",
                frame, static_cast<double>(frame) / info_.samplerate, i % info_.channels + 1, shown_,
                std::isnan(out[i]) ? "NaN" : "infinite"));
        }
    position_ += got;
    return got;
}

void AudioSource::Rewind() {
    if (sf_seek(file_, 0, SEEK_SET) != 0)
        throw std::runtime_error(fmt::format("cannot read '{}' a second time: {}", shown_, sf_strerror(file_)));
    position_ = 0;
}

void AudioSource::Seek(int64_t frame) {
    if (sf_seek(file_, frame, SEEK_SET) != frame)
        throw std::runtime_error(fmt::format("cannot seek to sample {} in '{}': {}", frame, shown_, sf_strerror(file_)));
    position_ = frame;
}

int64_t AudioSource::ReadShort(int16_t* out, int64_t frames) {
    const sf_count_t got = sf_readf_short(file_, out, frames);
    position_ += got;
    return got;
}
} // namespace sovahost
