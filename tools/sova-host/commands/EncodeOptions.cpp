// SPDX-License-Identifier: MIT
// The options of `encode` (and `convert`, which hands them on to one `encode` per file): how they
// read on the command line, and how they are written back for a child.
#include <algorithm>
#include <cmath>

#include <fmt/format.h>

#include "cmd_encode.h"
#include "ProfileOptions.h"
#include "host/LayerTwoRules.h"
#include "host/SettingsText.h"

namespace sovahost {
namespace {
// Every bitrate some Layer II rate allows, ascending.
std::vector<int32_t> LayerTwoBitrates() {
    std::vector<int32_t> all;
    for (int32_t rate : layer2::kRates)
        for (bool mono : {false, true})
            for (int32_t kbps : layer2::AllowedBitrates(rate, mono))
                if (std::find(all.begin(), all.end(), kbps) == all.end()) all.push_back(kbps);
    std::sort(all.begin(), all.end());
    return all;
}

// "128k" as ffmpeg users type it reads as 128.
std::string WithoutKilo(std::string& text) {
    if (!text.empty() && (text.back() == 'k' || text.back() == 'K')) text.pop_back();
    return {};
}
} // namespace

EncodeOptionSet AddEncodeOptions(CLI::App& command, EncodeOptions& options) {
    EncodeOptionSet set;
    const size_t before = command.get_options().size();
    // An option that a settings text carries: after --dialog the confirmed text replaces it.
    const auto inSettings = [&set](CLI::Option* option) {
        set.inSettings.push_back(option);
        return option;
    };
    inSettings(command.add_option("--settings", options.settingsText,
                       "Starting settings text: 'Key:0:value;' entries, e.g. 'BitsPerSecond:0:128;ChannelMode:0:1;'; "
                       "keys: " + KnownSettingsKeys() + ". The options below override it; unknown keys and "
                       "malformed entries are warned about, values that cannot be written are refused "
                       "(default: the plug-in's preferred settings)"));
    command.add_option("--rate", options.rate,
                       "Output sample rate in Hz, resampled with libsoxr (default: the input's when it is an MPEG "
                       "rate, else the next MPEG rate above it, 48000 above 48000)")
        ->check(CLI::IsMember(std::vector<int32_t>(layer2::kRates.begin(), layer2::kRates.end())));
    command.add_option("--channels", options.channels,
                       "Output channels, downmixed or copied as needed (default: what -m needs, else the input's, "
                       "two at most; 5.1 is downmixed by ITU-R BS.775)")
        ->check(CLI::IsMember({1, 2}));
    inSettings(command.add_option("-b,--bitrate", options.bitrate,
                       fmt::format("Bitrate in kbit/s ('128' or '128k'). Layer II allows at 32/44.1/48 kHz: mono {}; "
                                   "stereo {}; at 16/22.05/24 kHz: {} (default: 192 stereo, 96 mono at 32 kHz and up; "
                                   "96 stereo, 48 mono below, as twolame)",
                                   fmt::join(layer2::AllowedBitrates(48000, true), ","),
                                   fmt::join(layer2::AllowedBitrates(48000, false), ","),
                                   fmt::join(layer2::AllowedBitrates(24000, false), ",")))
        ->transform(CLI::Validator(WithoutKilo, "", "kbit/s"))
        ->check(CLI::IsMember(LayerTwoBitrates())));
    inSettings(command.add_option("-m,--mode", options.mode,
                       "Channel mode: (s)tereo, (j)oint, (d)ual, (m)ono or (a)uto (default: a, mono for one channel "
                       "and stereo for two)")
        ->check(CLI::IsMember({"s", "j", "d", "m", "a", "stereo", "joint", "dual", "mono", "auto"})));
    inSettings(command.add_option("-P,--psyc-mode", options.psymodel, "Psychoacoustic model -1 to 4 (default: 1)")->check(CLI::Range(-1, 4)));
    inSettings(command.add_option("-l,--ath", options.ath, "ATH level, used by models 3 and 4 (default: 0)")
        ->check(CLI::Validator(
            [](std::string& text) {
                float value = 0.0f;
                return CLI::detail::lexical_cast(text, value) && std::isfinite(value) ? std::string()
                                                                                       : "the ATH level must be a finite number";
            },
            "NUMBER")));
    inSettings(command.add_option("-e,--deemphasis", options.emphasis, "Emphasis: (n)one, (5)0/15 us or (c)citt (default: n)")
        ->check(CLI::IsMember({"n", "5", "c"})));
    inSettings(command.add_flag("-p,--protect", options.protect, "Enable CRC error protection"));
    inSettings(command.add_flag("-d,--padding", options.padding, "Enable frame padding"));
    inSettings(command.add_flag("-E,--energy", options.energy, "Turn on energy level extensions"));
    inSettings(command.add_flag("-c,--copyright", options.copyright, "Mark as copyright"));
    inSettings(command.add_flag("--non-copyright", options.nonCopyright, "Mark as non-copyright (the default)"));
    inSettings(command.add_flag("--original", options.original, "Mark as original"));
    inSettings(command.add_flag("-o,--non-original", options.nonOriginal, "Mark as non-original (the default)"));
    command.add_option("--container", options.broadcast.container,
                       "mp2: the raw Layer II frames; bwf: a broadcast WAV file holding them (fmt 0x0050, fact, mext, "
                       "bext) (default: bwf for an output named .wav, .wave or .bwf, else mp2)")
        ->check(CLI::IsMember({"mp2", "bwf"}));
    command.add_option("--description", options.broadcast.description,
                       "Broadcast WAV: the bext description, up to 256 ASCII characters (default: the source's bext "
                       "description, else its LIST INFO comment or title)");
    command.add_option("--originator", options.broadcast.originator,
                       "Broadcast WAV: the bext originator, up to 32 ASCII characters (default: the source's)");
    command.add_option("--originator-reference", options.broadcast.originatorReference,
                       "Broadcast WAV: the bext originator reference, up to 32 ASCII characters (default: the source's)");
    AddProfileOption(command, options.profile);
    inSettings(command.add_flag("--dialog", options.dialog, "Edit the settings in the plug-in's dialog first"));
    command.add_option("--loudness", options.loudness,
                       "Integrated loudness to reach, in LUFS (EBU R 128: -23; e.g. -24 for US public radio): the "
                       "samples are measured first, then encoded with the one gain that reaches it. Where that gain "
                       "would take the true peak over --true-peak, the gain stops there and a warning says so; the "
                       "decoded MP2's true peak is checked afterwards")
        ->check(CLI::Range(-70.0, 0.0));
    command.add_option("--true-peak", options.truePeak, "True-peak ceiling for --loudness, in dBTP")
        ->check(CLI::Range(-30.0, 0.0))
        ->capture_default_str();
    command.add_flag("--no-progress", options.noProgress, "Never draw a progress bar");
    const char* developer = "Developer options (protocol testing)";
    command.add_option("--format", options.sampleFormat,
                       "Sample format handed to the plug-in (auto: 16-bit for sources of 16 bits or fewer, else 32-bit "
                       "float)")
        ->check(CLI::IsMember({"auto", "u8", "s16", "s24", "f32"}))
        ->capture_default_str()
        ->group(developer);
    command.add_option("--block", options.blockFrames, "Frames per block handed to the plug-in")
        ->check(CLI::Range(int64_t(1), int64_t(1) << 24))
        ->capture_default_str()
        ->group(developer);
    command.add_flag("--no-conform", options.skipConform,
                     "Skip the format negotiation and the host's checks; hand the settings straight to the writer")
        ->group(developer);
    const std::vector<CLI::Option*> added = command.get_options();
    set.all.assign(added.begin() + static_cast<std::ptrdiff_t>(before), added.end());
    return set;
}

void AddSegmentOptions(CLI::App& command, EncodeOptions& options) {
    command.add_option("-j,--jobs", options.jobs,
                       "Processes encoding the file side by side, each a segment of it; the output is byte for byte "
                       "the one of --jobs 1 (default: one per processor, 8 at most; short files take one)")
        ->check(CLI::Range(1, 64));
    command.add_option("--segment-frames", options.segmentFrames, "The shortest segment worth a process, in Layer II frames")
        ->check(CLI::Range(int64_t(1), int64_t(1) << 32))
        ->group("Developer options (protocol testing)");
}

std::vector<std::string> ForwardedArguments(const std::vector<CLI::Option*>& given,
                                            const std::vector<CLI::Option*>& leaveOut) {
    std::vector<std::string> args;
    for (const CLI::Option* option : given) {
        if (option->count() == 0 || std::find(leaveOut.begin(), leaveOut.end(), option) != leaveOut.end()) continue;
        const std::string name = option->get_name(); // the long name where there is one
        if (option->get_expected_max() == 0) { // a flag, as often as it was given
            for (size_t i = 0; i < option->count(); ++i) args.push_back(name);
            continue;
        }
        for (const std::string& value : option->results()) {
            args.push_back(name);
            args.push_back(value);
        }
    }
    return args;
}
} // namespace sovahost
