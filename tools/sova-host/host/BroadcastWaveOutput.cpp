// SPDX-License-Identifier: MIT
#include "host/BroadcastWaveOutput.h"

#include <sndfile.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <filesystem>
#include <stdexcept>

#include <fmt/format.h>

namespace sovahost {
namespace {
std::string Lowered(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string FieldProblem(const char* option, const std::optional<std::string>& value, size_t width) {
    if (!value) return {};
    if (value->size() > width)
        return fmt::format("{} is {} bytes long; the bext chunk holds {}", option, value->size(), width);
    for (char ch : *value)
        if (static_cast<unsigned char>(ch) < 0x20 || static_cast<unsigned char>(ch) >= 0x7F)
            return fmt::format("{} may hold only printable ASCII characters (a bext chunk holds no other)", option);
    return {};
}

// NUL-terminated text of a fixed-size field.
template <size_t N> std::string Field(const char (&field)[N]) { return std::string(field, strnlen(field, N)); }

// Dates in LIST INFO are free text: only "yyyy-mm-dd..." is taken.
std::string IsoDate(const char* text) {
    if (!text) return {};
    const std::string date(text);
    const bool iso = date.size() >= 10 && date[4] == '-' && date[7] == '-' &&
                     std::all_of(date.begin(), date.begin() + 4, ::isdigit);
    return iso ? date.substr(0, 10) : std::string();
}

bool NamesWave(const std::string& outPath) {
    const std::string extension = Lowered(std::filesystem::path(outPath).extension().string());
    return extension == ".wav" || extension == ".wave" || extension == ".bwf";
}
} // namespace

bool WantsBroadcastWave(const std::string& outPath, const BroadcastOptions& options) {
    if (!options.container.empty()) return options.container == "bwf";
    return NamesWave(outPath);
}

std::string BroadcastOptionProblem(const std::string& outPath, const BroadcastOptions& options) {
    const bool broadcastWave = WantsBroadcastWave(outPath, options);
    if (!broadcastWave && NamesWave(outPath))
        return fmt::format("'{}' names a WAV file, but --container mp2 writes a raw MPEG Audio Layer II stream; name it .mp2",
                           outPath);
    if (!broadcastWave && (options.description || options.originator || options.originatorReference))
        return "--description, --originator and --originator-reference go in a broadcast WAV file's bext chunk; "
               "a raw MP2 has none (name the output .wav, or add --container bwf)";
    for (const std::string& problem : {FieldProblem("--description", options.description, 256),
                                       FieldProblem("--originator", options.originator, 32),
                                       FieldProblem("--originator-reference", options.originatorReference, 32)})
        if (!problem.empty()) return problem;
    return {};
}

BroadcastText SourceBroadcastText(const std::string& sourcePath) {
    BroadcastText text;
    std::error_code notAFile;
    if (!std::filesystem::is_regular_file(sourcePath, notAFile)) return text; // a named pipe was read once, and is empty now
    SF_INFO info{};
    SNDFILE* file = sf_open(sourcePath.c_str(), SFM_READ, &info);
    if (!file) return text;
    using LongBroadcastInfo = SF_BROADCAST_INFO_VAR(16384); // room for a long coding history
    auto bext = std::make_unique<LongBroadcastInfo>();
    if (sf_command(file, SFC_GET_BROADCAST_INFO, bext.get(), sizeof(*bext)) == SF_TRUE) {
        text.description = Field(bext->description);
        text.originator = Field(bext->originator);
        text.originatorReference = Field(bext->originator_reference);
        text.originationDate = Field(bext->origination_date);
        text.originationTime = Field(bext->origination_time);
        text.timeReference = bext->time_reference_low | static_cast<uint64_t>(bext->time_reference_high) << 32;
        text.codingHistory = std::string(bext->coding_history,
                                         strnlen(bext->coding_history, std::min<size_t>(bext->coding_history_size,
                                                                                         sizeof(bext->coding_history))));
    } else { // LIST INFO: the comment (else the title), the artist, the creation date
        const char* comment = sf_get_string(file, SF_STR_COMMENT);
        const char* title = sf_get_string(file, SF_STR_TITLE);
        if (comment) text.description = comment;
        else if (title) text.description = title;
        if (const char* artist = sf_get_string(file, SF_STR_ARTIST)) text.originator = artist;
        text.originationDate = IsoDate(sf_get_string(file, SF_STR_DATE));
    }
    sf_close(file);
    return text;
}

BroadcastText ComposeBroadcastText(const BroadcastOptions& options, const BroadcastText& source, int32_t sourceRate,
                                   const LayerTwoStream& stream, const std::string& software, std::time_t now) {
    BroadcastText text = source;
    if (options.description) text.description = *options.description;
    if (options.originator) text.originator = *options.originator;
    if (options.originatorReference) text.originatorReference = *options.originatorReference;
    if (text.originationDate.empty()) {
        std::tm local{};
        localtime_r(&now, &local);
        char date[11], time[9];
        std::strftime(date, sizeof date, "%Y-%m-%d", &local);
        std::strftime(time, sizeof time, "%H:%M:%S", &local);
        text.originationDate = date;
        text.originationTime = time;
    }
    if (sourceRate > 0 && sourceRate != stream.rate)
        text.timeReference = static_cast<uint64_t>(static_cast<long double>(source.timeReference) * stream.rate / sourceRate + 0.5L);
    std::string history = source.codingHistory;
    while (!history.empty() && (history.back() == '\0' || history.back() == '\n' || history.back() == '\r')) history.pop_back();
    if (!history.empty()) history += "\r\n";
    text.codingHistory = history + CodingHistoryLine(stream, software);
    return text;
}

StoredLoudness StoredFrom(const LoudnessFacts& facts) {
    StoredLoudness stored;
    stored.integratedLufs = facts.integratedLufs;
    stored.rangeLu = facts.rangeLu;
    stored.maxTruePeakDbtp = facts.truePeakDbtp; // -inf for silence: stored as missing
    stored.maxMomentaryLufs = facts.maxMomentaryLufs;
    stored.maxShortTermLufs = facts.maxShortTermLufs;
    return stored;
}

BroadcastWaveOutput::BroadcastWaveOutput(const std::string& finalPath) {
    const std::string folder = finalPath == "-" ? "." : std::filesystem::path(finalPath).parent_path().string();
    frames_ = std::make_unique<TempFile>(folder.empty() ? "." : folder, "frames.mp2");
}

std::string BroadcastWaveOutput::Prepare(int64_t samples, int32_t rate, int32_t kbps, bool padding) const {
    if (const std::string problem = BroadcastWaveSizeProblem(samples, rate, kbps); !problem.empty())
        throw std::runtime_error(problem);
    return PaddingNote(rate, padding);
}

LayerTwoStream BroadcastWaveOutput::Finish(const BroadcastOptions& options, const std::string& sourcePath,
                                           int32_t sourceRate, bool energyLevels, const StoredLoudness& loudness,
                                           const std::string& software, const std::string& workPath) const {
    LayerTwoStream stream = DescribeLayerTwoFrames(FramesPath());
    stream.energyLevels = energyLevels;
    const BroadcastText text =
        ComposeBroadcastText(options, SourceBroadcastText(sourcePath), sourceRate, stream, software, std::time(nullptr));
    WriteBroadcastWave(FramesPath(), stream, text, loudness, workPath);
    return stream;
}

std::string PaddingNote(int32_t rate, bool padding) {
    if (rate != 22050 && rate != 44100) return {};
    if (padding)
        return "padding: on, as asked: the frames differ in size by a byte, and the mext chunk declares them not "
               "homogeneous";
    return "padding: off, so that every frame has the same size and the mext chunk declares the frames homogeneous "
           "(-d turns it on)";
}
} // namespace sovahost
