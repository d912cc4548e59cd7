// SPDX-License-Identifier: MIT
// sova-host info FILE...: opens each file through the module and says what it is in plain
// terms (or, with --json, one JSON object a line for scripts); --verify reads each stream to its
// end through the module for its exact length, and compares it and the decoder's failures with
// what a walk of the frame headers shows. A refused file says why in words.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "Commands.h"
#include "RunCommand.h"
#include "host/FileFacts.h"
#include "host/LoudnessScan.h"
#include "host/ProgressBar.h"
#include "host/StandardInputSpool.h"
#include "host/StreamProblemJson.h"
#include "host/Json.h"

namespace sovahost {
namespace {
struct InfoArguments {
    std::vector<std::string> files;
    bool json = false;
    bool settings = false;
    bool verify = false;
    bool loudness = false;
    int32_t block = 4096;
};

std::string YesNo(bool value) { return value ? "yes" : "no"; }

// "100, 101": the host channel types the module set, by channel.
std::string ChannelTypes(const AudioFormat& format) {
    std::string text;
    for (int32_t channel = 0; channel < format.channelCount; ++channel) {
        if (channel) text += ", ";
        const auto found = format.channelTypes.find(channel);
        text += found == format.channelTypes.end() ? std::string("unset") : std::to_string(found->second);
    }
    return text;
}

std::string DurationText(const FileFacts& facts) {
    const int64_t samples = facts.Samples();
    if (samples < 0) return "unknown";
    const std::string seconds = facts.format.sampleRate > 0 ? fmt::format("{:.3f} s", facts.Seconds(samples)) : "?";
    const std::string frames = facts.walk && facts.walk->Found() && !facts.walk->freeFormat
                                   ? fmt::format(", {} MPEG frames", facts.walk->frames)
                                   : "";
    return fmt::format("{} ({} samples per channel{}, {})", seconds, samples, frames, facts.SamplesSource());
}

// "192 kbit/s CBR", "VBR, 263.5 kbit/s on average (256 to 320 kbit/s)", "free format".
std::string BitrateText(const FileFacts& facts) {
    const std::optional<FrameWalk>& walk = facts.walk;
    if (walk && walk->freeFormat) return "free format";
    if (!walk || !walk->Found()) return facts.bitrate ? fmt::format("{} kbit/s", *facts.bitrate) : "unknown";
    if (!walk->VariableBitrate()) return fmt::format("{} kbit/s CBR", walk->minBitrate);
    return fmt::format("VBR, {:.1f} kbit/s on average ({} to {} kbit/s)", walk->AverageBitrate(), walk->minBitrate,
                       walk->maxBitrate);
}

// With quiet set, only a file that is refused or damaged is shown, in one line.
void PrintLoudness(const std::optional<FileLoudness>& measured) {
    if (!measured) return;
    const LoudnessFacts& facts = measured->facts;
    const auto line = [](const char* label, const std::string& value) { fmt::print("  {:<13} {}\n", label, value); };
    line("loudness:", LevelText(facts.integratedLufs, "LUFS") + " integrated");
    line("range:", facts.rangeLu ? fmt::format("{:.1f} LU", *facts.rangeLu) : std::string("none"));
    line("true peak:", LevelText(facts.truePeakDbtp, "dBTP"));
    line("sample peak:", LevelText(facts.samplePeakDbfs, "dBFS"));
}

// A file the module refused as not MPEG audio but libsndfile reads: what it is, and its loudness.
void PrintAudioFile(const std::string& path, const FileLoudness& measured, bool json) {
    if (json) {
        JsonObject object;
        object.Add("path", path);
        object.Add("description", measured.formatName);
        object.Add("sample_rate", measured.rate);
        object.Add("channels", measured.channels);
        object.Add("duration_s", static_cast<double>(measured.frames) / measured.rate);
        object.Add("samples", measured.frames);
        AddLoudness(object, measured.facts);
        fmt::print("{}\n", object.Text());
        return;
    }
    fmt::print("{}\n", path);
    const auto line = [](const char* label, const std::string& value) { fmt::print("  {:<13} {}\n", label, value); };
    line("description:", measured.formatName + " (read with libsndfile)");
    line("sample rate:", fmt::format("{} Hz", measured.rate));
    line("channels:", std::to_string(measured.channels));
    line("duration:", fmt::format("{:.3f} s ({} samples per channel)", static_cast<double>(measured.frames) / measured.rate,
                                  measured.frames));
    PrintLoudness(measured);
}

void PrintText(const FileFacts& facts, const InfoArguments& arguments, const HostOptions& options) {
    if (options.quiet) {
        if (!facts.refusal.empty()) fmt::print("{}: refused: {}\n", facts.path, facts.refusal);
        else if (facts.Damaged())
            fmt::print("{}: {}\n", facts.path, facts.verified ? facts.VerifiedInWords() : facts.HeaderDamageInWords());
        return;
    }
    fmt::print("{}\n", facts.path);
    const auto line = [](const char* label, const std::string& value) { fmt::print("  {:<13} {}\n", label, value); };
    if (!facts.refusal.empty()) {
        line("refused:", facts.refusal);
        if (!facts.description.empty()) line("description:", facts.description);
        return;
    }
    line("description:", facts.description);
    const std::optional<FrameHeader> first = facts.walk ? facts.walk->first : std::nullopt;
    if (first) line("MPEG:", fmt::format("version {}, layer {}", first->Version(), LayerNumeral(first->layer)));
    line("bitrate:", BitrateText(facts));
    line("mode:", facts.ModeName());
    line("sample rate:", fmt::format("{} Hz", facts.format.sampleRate));
    line("channels:", std::to_string(facts.format.channelCount));
    line("duration:", DurationText(facts));
    line("CRC:", YesNo(facts.crc));
    line("padding:", first ? YesNo(facts.walk->padded) : "unknown");
    line("emphasis:", facts.EmphasisName());
    line("copyright:", YesNo(facts.copyright));
    line("original:", YesNo(facts.original));
    if (arguments.settings || options.verbose) line("settings:", facts.settingsText);
    if (options.verbose) {
        line("samples:", fmt::format("format code {}{}", facts.format.sampleFormat,
                                     facts.format.sampleFormat == 40 ? " (32-bit float)" : ""));
        line("channel types:", ChannelTypes(facts.format));
    }
    if (facts.verified) line("verified:", facts.VerifiedInWords());
    else if (facts.Damaged()) line("headers:", facts.HeaderDamageInWords());
}

void AddProblems(JsonObject& json, const std::vector<StreamProblem>& found) { json.Add("problems", ProblemsJson(found)); }

void AddDamage(JsonObject& json, const StreamDamage& damage) {
    json.Add("damaged", damage.Damaged());
    json.Add("damaged_at_s", damage.Places());
    AddProblems(json, damage.problems);
    json.Add("decoder_failed_at_s", damage.decoderFailedAt);
    if (damage.promised) json.Add("promised_samples", *damage.promised);
    else json.AddNull("promised_samples");
    json.Add("lost_samples", damage.Lost());
    json.Add("lost_frames", damage.Lost()); // the older name of "lost_samples", kept for scripts
    json.Add("extra_samples", damage.Extra());
}

void PrintJson(const FileFacts& facts, const InfoArguments& arguments, const std::optional<FileLoudness>& measured) {
    JsonObject json;
    json.Add("path", facts.path);
    if (!facts.refusal.empty()) {
        json.Add("error", facts.refusalKind);
        json.Add("message", facts.refusal);
        if (facts.walk && !facts.walk->problems.empty()) AddProblems(json, facts.walk->problems);
        fmt::print("{}\n", json.Text());
        return;
    }
    json.Add("description", facts.description);
    const std::optional<FrameWalk>& walk = facts.walk;
    const bool walked = walk && walk->Found() && !walk->freeFormat;
    if (walk && walk->first) {
        json.Add("mpeg_version", walk->first->Version());
        json.Add("layer", walk->first->layer);
    } else {
        json.AddNull("mpeg_version");
        json.AddNull("layer");
    }
    if (facts.bitrate) json.Add("bitrate_kbps", *facts.bitrate);
    else json.AddNull("bitrate_kbps");
    if (walk && walk->freeFormat) json.Add("bitrate_mode", "free format");
    else if (walked) json.Add("bitrate_mode", walk->VariableBitrate() ? "VBR" : "CBR");
    else json.AddNull("bitrate_mode");
    if (walked) json.Add("average_bitrate_kbps", walk->AverageBitrate());
    else json.AddNull("average_bitrate_kbps");
    json.Add("mode", facts.ModeName());
    json.Add("sample_rate", facts.format.sampleRate);
    json.Add("channels", facts.format.channelCount);
    const int64_t samples = facts.Samples();
    if (samples >= 0 && facts.format.sampleRate > 0) json.Add("duration_s", facts.Seconds(samples));
    else json.AddNull("duration_s");
    for (const char* key : {"samples", "frames"}) { // "frames": the older name of "samples", kept for scripts
        if (samples >= 0) json.Add(key, samples);
        else json.AddNull(key);
    }
    if (walked) json.Add("mpeg_frames", walk->frames);
    else json.AddNull("mpeg_frames");
    json.Add("frames_exact", facts.verified.has_value() && !facts.verified->DecoderFailed());
    json.Add("crc", facts.crc);
    if (walk && walk->first) json.Add("padding", walk->padded);
    else json.AddNull("padding");
    json.Add("emphasis", facts.EmphasisName());
    json.Add("copyright", facts.copyright);
    json.Add("original", facts.original);
    if (arguments.settings) json.Add("settings", facts.settingsText);
    if (facts.damage) {
        AddDamage(json, *facts.damage);
    } else if (walk) { // what the headers show without reading through
        json.Add("damaged", facts.Damaged());
        AddProblems(json, walk->problems);
    }
    if (measured) AddLoudness(json, measured->facts);
    fmt::print("{}\n", json.Text());
}

int Info(const HostOptions& options, const InfoArguments& arguments) {
    StartedModule module(options);
    module.RequireStarted();
    bool allGood = true;
    for (const std::string& file : arguments.files) {
        std::unique_ptr<TempFile> spooled; // standard input, kept in a file the module can open by name
        if (file == "-") spooled = SpoolStandardInput();
        FileFacts facts = GatherFileFacts(module, spooled ? spooled->Path() : file,
                                          {arguments.verify, arguments.block, !options.trace});
        facts.path = file;
        std::optional<FileLoudness> measured;
        // A file the module refuses may still be audio that libsndfile reads.
        if (arguments.loudness && facts.refusalKind != "missing" && facts.refusalKind != "unreadable") {
            ProgressBar progress("measuring", !options.quiet, facts.refusal.empty() ? facts.Samples() : -1);
            measured = MeasureFile(module, spooled ? spooled->Path() : file, facts.refusal.empty(), !options.trace,
                                   [&progress](int64_t done) { progress.Update(done); });
        }
        if (measured && !facts.refusal.empty()) {
            PrintAudioFile(file, *measured, arguments.json);
            std::fflush(stdout);
            continue;
        }
        if (arguments.json) PrintJson(facts, arguments, measured);
        else if (PrintText(facts, arguments, options); !options.quiet) PrintLoudness(measured);
        allGood = allGood && facts.refusal.empty() && !facts.Damaged();
        std::fflush(stdout);
    }
    return allGood ? 0 : 1;
}
} // namespace

void RegisterInfoCommand(CLI::App& app, HostOptions& options) {
    auto* command = app.add_subcommand("info", "Say what MPEG audio files are: version, layer, bitrate, mode, rate, "
                                               "duration and header flags, as the module reports them");
    auto arguments = std::make_shared<InfoArguments>();
    command->add_option("files", arguments->files, "Files to open, '-' for standard input")->required();
    command->add_flag("--json", arguments->json, "One JSON object a line per file, for scripts");
    command->add_flag("--settings", arguments->settings, "Show the settings text the module derives from the stream");
    command->add_flag("--verify", arguments->verify,
                      "Read each stream to its end through the module too: exact length, decoder failures and loss "
                      "against what the frame headers promise (damage makes the exit status 1, as damage the headers show does without it)");
    command->add_flag("--loudness", arguments->loudness,
                      "Measure each file's loudness by EBU R 128 (integrated, range, true and sample peak), "
                      "reading it to its end; files that are not MPEG audio are read with libsndfile");
    command->add_option("--block", arguments->block, "Frames asked for per read with --verify")
        ->capture_default_str()
        ->check(CLI::Range(1, 1 << 24))
        ->group("Developer options");
    RunsAs(*command, options, [&options, arguments] { return Info(options, *arguments); });
}
} // namespace sovahost
