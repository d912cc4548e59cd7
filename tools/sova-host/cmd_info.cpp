// sova-host info FILE...: opens each file through the module and says what it is in plain
// terms (or, with --json, one JSON object a line for scripts); --verify reads each stream to its
// end through the module for its exact length and any damage. A refused file says why in words.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "Commands.h"
#include "host/FileFacts.h"
#include "host/Json.h"

namespace sovahost {
namespace {
struct InfoArguments {
    std::vector<std::string> files;
    bool json = false;
    bool settings = false;
    bool verify = false;
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
    const int64_t frames = facts.Frames();
    if (frames < 0) return "unknown";
    const std::string seconds = facts.format.sampleRate > 0 ? fmt::format("{:.3f} s", facts.Seconds(frames)) : "?";
    return fmt::format("{} ({} frames, {})", seconds, frames, facts.verified ? "exact" : "estimated at open");
}

// With quiet set, only a file that is refused or damaged is shown, in one line.
void PrintText(const FileFacts& facts, const InfoArguments& arguments, const HostOptions& options) {
    if (options.quiet) {
        if (!facts.refusal.empty()) fmt::print("{}: refused: {}\n", facts.path, facts.refusal);
        else if (facts.verified && facts.verified->Damaged()) fmt::print("{}: {}\n", facts.path, facts.VerifiedInWords());
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
    if (facts.headers) line("MPEG:", fmt::format("version {}, layer {}", facts.headers->version, LayerNumeral(facts.headers->layer)));
    if (facts.bitrate) line("bitrate:", fmt::format("{} kbit/s", *facts.bitrate));
    line("mode:", facts.ModeName());
    line("sample rate:", fmt::format("{} Hz", facts.format.sampleRate));
    line("channels:", std::to_string(facts.format.channelCount));
    line("duration:", DurationText(facts));
    line("CRC:", YesNo(facts.crc));
    line("padding:", facts.headers ? YesNo(facts.headers->padding) : "unknown");
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
}

void PrintJson(const FileFacts& facts, const InfoArguments& arguments) {
    JsonObject json;
    json.Add("path", facts.path);
    if (!facts.refusal.empty()) {
        json.Add("error", facts.refusalKind);
        json.Add("message", facts.refusal);
        fmt::print("{}\n", json.Text());
        return;
    }
    json.Add("description", facts.description);
    if (facts.headers) {
        json.Add("mpeg_version", facts.headers->version);
        json.Add("layer", facts.headers->layer);
    } else {
        json.AddNull("mpeg_version");
        json.AddNull("layer");
    }
    if (facts.bitrate) json.Add("bitrate_kbps", *facts.bitrate);
    else json.AddNull("bitrate_kbps");
    json.Add("mode", facts.ModeName());
    json.Add("sample_rate", facts.format.sampleRate);
    json.Add("channels", facts.format.channelCount);
    const int64_t frames = facts.Frames();
    if (frames >= 0 && facts.format.sampleRate > 0) json.Add("duration_s", facts.Seconds(frames));
    else json.AddNull("duration_s");
    if (frames >= 0) json.Add("frames", frames);
    else json.AddNull("frames");
    json.Add("frames_exact", facts.verified.has_value());
    json.Add("crc", facts.crc);
    if (facts.headers) json.Add("padding", facts.headers->padding);
    else json.AddNull("padding");
    json.Add("emphasis", facts.EmphasisName());
    json.Add("copyright", facts.copyright);
    json.Add("original", facts.original);
    if (arguments.settings) json.Add("settings", facts.settingsText);
    if (facts.verified) {
        json.Add("damaged", facts.verified->Damaged());
        std::vector<double> places;
        for (const int64_t at : facts.verified->damagedAt) places.push_back(facts.Seconds(at));
        json.Add("damaged_at_s", places);
        json.Add("lost_frames", facts.verified->LostFrames());
    }
    fmt::print("{}\n", json.Text());
}

int Info(const HostOptions& options, const InfoArguments& arguments) {
    StartedModule module(options);
    if (module.StartResult() != sova::sdk::kResultOK) {
        std::fprintf(stderr, "sova-host: the module did not start: %s\n", ResultInWords(module.StartResult()).c_str());
        return 1;
    }
    bool allGood = true;
    for (const std::string& file : arguments.files) {
        const FileFacts facts = GatherFileFacts(module, file, {arguments.verify, arguments.block, !options.trace});
        if (arguments.json) PrintJson(facts, arguments);
        else PrintText(facts, arguments, options);
        allGood = allGood && facts.refusal.empty() && !(facts.verified && facts.verified->Damaged());
        std::fflush(stdout);
    }
    return allGood ? 0 : 1;
}
} // namespace

void RegisterInfoCommand(CLI::App& app, HostOptions& options) {
    auto* command = app.add_subcommand("info", "Say what MPEG audio files are: version, layer, bitrate, mode, rate, "
                                               "duration and header flags, as the module reports them");
    static InfoArguments arguments;
    command->add_option("files", arguments.files, "Files to open")->required();
    command->add_flag("--json", arguments.json, "One JSON object a line per file, for scripts");
    command->add_flag("--settings", arguments.settings, "Show the settings text the module derives from the stream");
    command->add_flag("--verify", arguments.verify,
                      "Read each stream to its end through the module: exact length and damage (exit status 1 when damaged)");
    command->add_option("--block", arguments.block, "Frames asked for per read with --verify")
        ->capture_default_str()
        ->check(CLI::Range(1, 1 << 24))
        ->group("Developer options");
    command->callback([&options] { options.exitCode = Info(options, arguments); });
}
} // namespace sovahost
