// SPDX-License-Identifier: MIT
#include "host/LoudnessScan.h"

#include <fmt/format.h>

#include "host/ReadThrough.h"

namespace sovahost {
namespace {
constexpr int64_t kSourceBlock = 16384; // frames per read from libsndfile
constexpr int32_t kModuleBlock = 16384; // frames per read through the module
} // namespace

LoudnessFacts MeasureSession(ReadSession& session, int32_t block, const MeasureProgress& progress,
                             LoudnessMeter::Measures measures) {
    const int32_t channels = session.Format().channelCount;
    LoudnessMeter meter(session.Format().sampleRate, channels, measures, LoudnessMeter::WhereThereIsASecondCore());
    std::vector<float> interleaved;
    int64_t done = 0;
    ReadThrough(session, block, [&](const ReadSession& read) {
        const int64_t frames = read.FramesDone();
        interleaved.resize(static_cast<size_t>(frames * channels));
        for (int32_t c = 0; c < channels; ++c) {
            const float* channel = read.Channel(c);
            for (int64_t i = 0; i < frames; ++i) interleaved[static_cast<size_t>(i * channels + c)] = channel[i];
        }
        meter.Add(interleaved.data(), frames);
        done += frames;
        if (progress) progress(done);
        return true;
    });
    return meter.Facts();
}

LoudnessFacts MeasureSource(AudioSource& source, const MeasureProgress& progress) {
    LoudnessMeter meter(source.Rate(), source.Channels(), LoudnessMeter::Measures::All, LoudnessMeter::WhereThereIsASecondCore());
    std::vector<float> samples(static_cast<size_t>(kSourceBlock * source.Channels()));
    int64_t done = 0;
    for (int64_t got; (got = source.ReadFloat(samples.data(), kSourceBlock)) > 0;) {
        meter.Add(samples.data(), got);
        done += got;
        if (progress) progress(done);
    }
    return meter.Facts();
}

std::optional<FileLoudness> MeasureFile(StartedModule& module, const std::string& path, bool mpeg, bool hideDecoderNotes,
                                        const MeasureProgress& progress, LoudnessMeter::Measures measures) {
    FileLoudness measured;
    if (mpeg) {
        ReadSession session(module, path);
        session.HideDecoderNotes(hideDecoderNotes);
        if (session.Open() != sova::sdk::kResultOK) return std::nullopt;
        measured.rate = session.Format().sampleRate;
        measured.channels = session.Format().channelCount;
        if (measured.channels < 1 || measured.channels > 8 || measured.rate < 1) return std::nullopt;
        measured.facts = MeasureSession(
            session, kModuleBlock,
            [&](int64_t done) {
                measured.frames = done;
                if (progress) progress(done);
            },
            measures);
        return measured;
    }
    std::optional<AudioSource> source;
    try {
        source.emplace(path, path);
    } catch (const std::runtime_error&) {
        return std::nullopt; // not audio libsndfile reads either: the module's refusal stands
    }
    if (source->Channels() > 8) return std::nullopt;
    measured.formatName = source->FormatName();
    measured.rate = source->Rate();
    measured.channels = source->Channels();
    measured.facts = MeasureSource(*source, [&](int64_t done) {
        measured.frames = done;
        if (progress) progress(done);
    });
    return measured;
}

std::string LevelText(const std::optional<double>& value, const char* unit) {
    return value && std::isfinite(*value) ? fmt::format("{:.1f} {}", *value, unit) : fmt::format("-inf {}", unit);
}

std::string LoudnessInWords(const LoudnessFacts& facts) {
    return fmt::format("integrated {}, range {}, true peak {}, sample peak {}", LevelText(facts.integratedLufs, "LUFS"),
                       facts.rangeLu ? fmt::format("{:.1f} LU", *facts.rangeLu) : std::string("none"),
                       LevelText(facts.truePeakDbtp, "dBTP"), LevelText(facts.samplePeakDbfs, "dBFS"));
}

void AddLoudness(JsonObject& json, const LoudnessFacts& facts) {
    const auto add = [&json](const char* key, const std::optional<double>& value) {
        if (value && std::isfinite(*value)) json.Add(key, *value);
        else json.AddNull(key);
    };
    add("loudness_lufs", facts.integratedLufs);
    add("loudness_range_lu", facts.rangeLu);
    add("true_peak_dbtp", facts.truePeakDbtp);
    add("sample_peak_dbfs", facts.samplePeakDbfs);
    add("max_momentary_lufs", facts.maxMomentaryLufs);
    add("max_short_term_lufs", facts.maxShortTermLufs);
}
} // namespace sovahost
