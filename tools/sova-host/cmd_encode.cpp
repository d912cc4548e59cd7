// sova-host encode IN OUT.mp2: saves an audio file through the module the way an audio editor
// does: selectors 0 and 1 start the module, 13 proposes a format, 14 negotiates it, 17 opens
// the output, 18 takes each block of samples, 19 finishes, 2 shuts the module down.
#include "cmd_encode.h"

#include <unistd.h>

#include <algorithm>
#include <bit>
#include <chrono>
#include <cerrno>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <functional>
#include <memory>
#include <stdexcept>

#include <fmt/format.h>
#include <hub/app/App.h>

#include "Commands.h"
#include "HostObjects.h"
#include "host/ReadSession.h"
#include "host/AudioSource.h"
#include "host/LayerTwoRules.h"
#include "host/OutputFile.h"
#include "host/ProgressBar.h"
#include "host/SettingsDialog.h"
#include "host/SettingsText.h"
#include "host/StandardInputSpool.h"
#include "host/TempFile.h"

namespace sovahost {
using namespace sova::sdk;

namespace {
int32_t SampleFormatCode(const std::string& name) {
    if (name == "u8") return kSampleUInt8;
    if (name == "s16") return kSampleInt16;
    if (name == "s24") return kSampleInt24;
    return kSampleFloat32;
}

const char* SampleFormatName(int32_t code) {
    switch (code) {
    case kSampleUInt8: return "8-bit unsigned";
    case kSampleInt16: return "16-bit signed";
    case kSampleInt24: return "24-bit packed";
    case kSampleFloat32: return "32-bit float";
    default: return "unknown";
    }
}

// Entries placed before the starting text win: the settings text keeps the first occurrence
// of a key. The module writes the text back in its own order at negotiation.
std::string SettingsOverrides(const EncodeOptions& options) {
    std::string text;
    const auto add = [&text](const char* key, int32_t value) { text += fmt::format("{}:0:{};", key, value); };
    if (options.bitrate) add("BitsPerSecond", *options.bitrate);
    if (options.mode) {
        const char letter = options.mode->at(0);
        add("ChannelMode", letter == 's' ? 0 : letter == 'j' ? 1 : letter == 'd' ? 2 : letter == 'm' ? 3 : -1);
    }
    if (options.psymodel) add("PAMType", *options.psymodel);
    if (options.ath) add("ATH", std::bit_cast<int32_t>(*options.ath));
    if (options.emphasis) {
        const char letter = options.emphasis->at(0);
        add("EmphasisType", letter == '5' ? 1 : letter == 'c' ? 3 : 0);
    }
    if (options.protect) add("CRC", 1);
    if (options.padding) add("PaddingType", 1);
    if (options.energy) add("Energy", 1);
    if (options.copyright) add("Copy", 1);
    if (options.nonCopyright) add("Copy", 0);
    if (options.original) add("Original", 1);
    if (options.nonOriginal) add("Original", 0);
    return text;
}

std::string Indented(const std::u16string& text) {
    std::string lines = ToUtf8(text);
    while (!lines.empty() && lines.back() == '\n') lines.pop_back();
    std::string out = "  ";
    for (char ch : lines) {
        out += ch;
        if (ch == '\n') out += "  ";
    }
    return out;
}

int32_t ExpectedMpegVersion(int32_t rate) { return rate >= 32000 ? 1 : 0; }

// Proposes the format (selector 14) and returns its description; throws when refused.
std::u16string Negotiate(const HostModule& plugIn, MessageSink& sink, AudioFormat& format, int64_t* estimatedSize) {
    ConformRequest conform;
    conform.sink = &sink;
    conform.format = &format;
    const int32_t result = plugIn.Call(kSelectorConformWriteFormat, nullptr, &conform);
    if (result != kResultOK)
        throw std::runtime_error(fmt::format("the plug-in refused the save format: {}", ResultInWords(result)));
    *estimatedSize = conform.estimatedSize;
    return conform.description;
}

void StartOrExplain(const StartedModule& module) {
    if (module.StartResult() != kResultOK)
        throw std::runtime_error(fmt::format("the plug-in could not start ({}); are libmpg123 and libtwolame installed?",
                                             ResultInWords(module.StartResult())));
}

// The format sova-host proposes for source: the plug-in's preferred settings (or the user's)
// under the options' overrides, at the rate and channel count asked for or the source's.
AudioFormat ProposedFormat(const HostModule& plugIn, MessageSink& sink, const EncodeOptions& options,
                           const AudioSource& source) {
    AudioFormat format;
    format.sink = &sink;
    const int32_t preferred = plugIn.Call(kSelectorGetPreferredWriteFormat, nullptr, &format);
    if (preferred != kResultOK)
        throw std::runtime_error(fmt::format("the plug-in has no preferred save format: {}", ResultInWords(preferred)));
    const std::u16string base = options.settingsText.empty() ? format.settingsText : FromUtf8(options.settingsText);
    format.settingsText = FromUtf8(SettingsOverrides(options)) + base;
    format.sampleRate = options.rate.value_or(source.Rate());
    format.channelCount = options.channels.value_or(source.Channels());
    format.length = source.Rate() > 0 ? static_cast<int64_t>(static_cast<double>(source.Frames()) * format.sampleRate /
                                                             source.Rate())
                                      : source.Frames();
    format.sampleFormat = SampleFormatCode(options.sampleFormat);
    return format;
}

void RequireDisplay() {
    if (hub::app::App::IsOffscreen())
        throw std::runtime_error("no display to show the settings dialog on (set DISPLAY, or leave out --dialog)");
}

void EditInDialog(const HostModule& plugIn, AudioFormat& format) {
    std::string error;
    const int outcome = RunSettingsDialog(plugIn, format, &error);
    if (outcome == kDialogCancelled) throw std::runtime_error("cancelled in the settings dialog; nothing was written");
    if (outcome != kDialogConfirmed) throw std::runtime_error("the settings dialog failed: " + error);
}

// Negotiates the format (selector 14), keeps a rate the user asked for where Layer II allows
// it, refuses combinations Layer II does not allow, and sets MPEGVersion from the rate.
void AgreeOnFormat(const HostModule& plugIn, MessageSink& sink, const EncodeOptions& options, AudioFormat& format,
                   const std::function<void(const std::string&)>& say) {
    const int32_t proposedRate = format.sampleRate;
    int64_t estimatedSize = 0;
    std::u16string description = Negotiate(plugIn, sink, format, &estimatedSize);
    const int32_t kbps = SettingsValue(ToUtf8(format.settingsText), "BitsPerSecond", 192);
    if (options.bitrate && kbps != *options.bitrate && !options.rate)
        say(fmt::format("note: the plug-in changed the bitrate from {} to {} kbit/s", *options.bitrate, kbps));
    if (options.rate && format.sampleRate != *options.rate) {
        // The module's table ties bitrates to rates coarsely; a rate asked for is kept when
        // Layer II allows the bitrate there.
        say(fmt::format("note: the plug-in proposed {} Hz for {} kbit/s; keeping {} Hz as asked", format.sampleRate,
                        kbps, *options.rate));
        format.length = static_cast<int64_t>(static_cast<double>(format.length) * *options.rate /
                                             std::max(format.sampleRate, 1));
        format.sampleRate = *options.rate;
        if (options.bitrate) // the bitrate asked for, not the one the module chose for its rate
            format.settingsText = FromUtf8(fmt::format("BitsPerSecond:0:{};", *options.bitrate)) + format.settingsText;
        description.clear(); // the negotiation described another rate
    } else if (format.sampleRate != proposedRate) {
        say(fmt::format("note: {} kbit/s cannot be written at {} Hz; encoding at {} Hz ({})", kbps, proposedRate,
                        format.sampleRate, layer2::VersionName(format.sampleRate)));
    }
    const int32_t modeValue = SettingsValue(ToUtf8(format.settingsText), "ChannelMode", -1);
    const bool mono = modeValue == 3 || (modeValue == -1 && format.channelCount == 1);
    const std::string refused = layer2::Refusal(SettingsValue(ToUtf8(format.settingsText), "BitsPerSecond", 192),
                                                format.sampleRate, mono, mono              ? "mono"
                                                      : modeValue == 0 ? "stereo"
                                                      : modeValue == 1 ? "joint stereo"
                                                      : modeValue == 2 ? "dual channel"
                                                                       : "stereo (automatic)");
    if (!refused.empty()) throw std::runtime_error(refused);
    // The version the description names follows the rate, as in the settings dialog.
    const int32_t version = ExpectedMpegVersion(format.sampleRate);
    if (SettingsValue(ToUtf8(format.settingsText), "MPEGVersion", 1) != version) {
        format.settingsText = FromUtf8(fmt::format("MPEGVersion:0:{};", version)) + format.settingsText;
        if (!description.empty()) description = Negotiate(plugIn, sink, format, &estimatedSize);
    }
    say(fmt::format("negotiated: {} Hz, {} channel{}, {} samples (code {})", format.sampleRate,
                    format.channelCount, format.channelCount == 1 ? "" : "s", SampleFormatName(format.sampleFormat),
                    format.sampleFormat));
    say(fmt::format("estimated size: {} bytes", estimatedSize));
    if (!description.empty()) say("description:\n" + Indented(description));
}

int RunEncode(const HostOptions& hostOptions, const std::string& inPath, const std::string& outPath,
              const EncodeOptions& options) {
    // With the MP2 on standard output, everything else goes to stderr.
    FILE* const chat = outPath == "-" ? stderr : stdout;
    const auto say = [&](const std::string& line) {
        if (!hostOptions.quiet) std::fprintf(chat, "%s\n", line.c_str());
    };
    const auto detail = [&](const std::string& line) {
        if (hostOptions.verbose && !hostOptions.quiet) std::fprintf(chat, "%s\n", line.c_str());
    };
    WarnAboutSettingsText(options.settingsText);
    InstallInterruptCleanup();
    OutputFile output(outPath, hostOptions.overwrite, {inPath});
    const std::string shownOut = outPath == "-" ? "standard output" : outPath;
    const std::string shownIn = inPath == "-" ? "standard input" : inPath;
    std::unique_ptr<TempFile> spooled;
    if (inPath == "-") spooled = SpoolStandardInput();
    AudioSource source(spooled ? spooled->Path() : inPath, shownIn);
    say(fmt::format("input: {}, {} Hz, {} channel{}, {} frames ({:.2f} s)", shownIn, source.Rate(),
                    source.Channels(), source.Channels() == 1 ? "" : "s", source.Frames(),
                    source.Rate() > 0 ? static_cast<double>(source.Frames()) / source.Rate() : 0.0));

    StartedModule module(hostOptions);
    module.Sink().echo = false; // the messages are reported below, in context
    StartOrExplain(module);
    const HostModule& plugIn = module.Module();
    AudioFormat format = ProposedFormat(plugIn, module.Sink(), options, source);

    if (options.dialog) {
        RequireDisplay();
        EditInDialog(plugIn, format);
        detail("settings from the dialog: " + ToUtf8(format.settingsText));
    }

    if (!options.skipConform) AgreeOnFormat(plugIn, module.Sink(), options, format, say);
    detail("settings: " + ToUtf8(format.settingsText));
    if (format.channelCount < 1 || format.sampleRate < 1)
        throw std::runtime_error(fmt::format("cannot save {} channels at {} Hz", format.channelCount, format.sampleRate));
    const std::string conversion = source.Target(format.sampleRate, format.channelCount, format.sampleFormat);
    if (!conversion.empty()) say("converting: " + conversion);

    WriteOpenRequest open;
    open.sink = &module.Sink();
    open.path = FromUtf8(output.WorkPath());
    open.format = &format;
    const int32_t openResult = plugIn.Call(kSelectorOpenForWrite, nullptr, &open);
    if (openResult != kResultOK || !open.writeHandle) {
        // The module names the path it was given, the temporary one: show the user's.
        std::string reason = module.Sink().messages.empty() ? "" : ": " + output.Unmasked(ToUtf8(module.Sink().messages.back()));
        throw std::runtime_error(fmt::format("cannot create '{}' ({}){}", shownOut, ResultInWords(openResult), reason));
    }
    say(fmt::format("writing: {} ({})", shownOut, ToUtf8(open.description)));

    const auto started = std::chrono::steady_clock::now();
    WriteRequest write;
    write.sink = &module.Sink();
    write.format = &format;
    std::vector<std::vector<uint8_t>> buffers;
    ProgressBar progress("encoding", !hostOptions.quiet && !options.noProgress, format.length);
    int64_t framesDone = 0;
    CloseRequest close;
    close.sink = &module.Sink();
    bool closed = false;
    try {
        for (;;) {
            const int64_t frames = source.Read(options.blockFrames, buffers);
            if (frames == 0) break;
            write.frameCount = frames;
            write.buffers.clear();
            for (const auto& buffer : buffers) write.buffers.push_back(buffer.data());
            const int32_t result = plugIn.Call(kSelectorWriteSamples, open.writeHandle, &write);
            if (result != kResultOK)
                throw std::runtime_error(fmt::format("the plug-in could not encode the block at frame {}: {}",
                                                     framesDone, ResultInWords(result)));
            framesDone += frames;
            progress.Update(framesDone);
        }
        progress.End();
        // The writer is gone after selector 19, whatever it answers or raises (a file error while
        // the last bytes go out).
        closed = true;
        const int32_t closeResult = plugIn.Call(kSelectorCloseWriter, open.writeHandle, &close);
        if (closeResult != kResultOK)
            throw std::runtime_error(fmt::format("the plug-in could not finish the file: {}", ResultInWords(closeResult)));
    } catch (const std::exception& failure) {
        if (!closed) {
            try { // give the writer back so that the file is closed; its own failure adds nothing
                plugIn.Call(kSelectorCloseWriter, open.writeHandle, &close);
            } catch (...) {
            }
        }
        throw std::runtime_error(fmt::format("writing '{}' failed after {} frames: {}; {}", shownOut, framesDone,
                                             output.Unmasked(failure.what()),
                                             outPath == "-" ? "nothing was sent" : "the unfinished file was removed"));
    }
    std::error_code sizeError;
    const auto bytes = std::filesystem::file_size(output.WorkPath(), sizeError);
    output.Commit();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    say(fmt::format("done: {} frames, {} bytes in {:.2f} s", framesDone, sizeError ? 0 : bytes, seconds));
    return 0;
}
} // namespace

std::string SettingsFromDialog(const HostOptions& hostOptions, const EncodeOptions& options, const std::string& input) {
    RequireDisplay();
    AudioSource source(input, input);
    StartedModule module(hostOptions);
    StartOrExplain(module);
    AudioFormat format = ProposedFormat(module.Module(), module.Sink(), options, source);
    EditInDialog(module.Module(), format);
    return ToUtf8(format.settingsText);
}

void AddEncodeOptions(CLI::App& command, EncodeOptions& options) {
    command.add_option("--settings", options.settingsText,
                       "Starting settings text: 'Key:0:value;' entries, e.g. 'BitsPerSecond:0:128;ChannelMode:0:1;'; "
                       "keys: " + KnownSettingsKeys() + ". The options below override it; unknown keys and "
                       "malformed entries are warned about (default: the plug-in's preferred settings)");
    command.add_option("--rate", options.rate, "Output sample rate in Hz, resampled with libsoxr (default: the "
                                               "input's, or what the bitrate needs)")
        ->check(CLI::IsMember({16000, 22050, 24000, 32000, 44100, 48000}));
    command.add_option("--channels", options.channels, "Output channels, downmixed as needed (default: the input's)")
        ->check(CLI::IsMember({1, 2}));
    command.add_option("-b,--bitrate", options.bitrate, "Bitrate in kbit/s (default: 192)")->check(CLI::Range(8, 384));
    command.add_option("-m,--mode", options.mode, "Channel mode: (s)tereo, (j)oint, (d)ual, (m)ono or (a)uto (default: a)")
        ->check(CLI::IsMember({"s", "j", "d", "m", "a", "stereo", "joint", "dual", "mono", "auto"}));
    command.add_option("-P,--psyc-mode", options.psymodel, "Psychoacoustic model -1 to 4 (default: 1)")->check(CLI::Range(-1, 4));
    command.add_option("-l,--ath", options.ath, "ATH level, used by models 3 and 4 (default: 0)");
    command.add_option("-e,--deemphasis", options.emphasis, "Emphasis: (n)one, (5)0/15 us or (c)citt (default: n)")
        ->check(CLI::IsMember({"n", "5", "c"}));
    command.add_flag("-p,--protect", options.protect, "Enable CRC error protection");
    command.add_flag("-d,--padding", options.padding, "Enable frame padding");
    command.add_flag("-E,--energy", options.energy, "Turn on energy level extensions");
    command.add_flag("-c,--copyright", options.copyright, "Mark as copyright");
    command.add_flag("--non-copyright", options.nonCopyright, "Mark as non-copyright (the default)");
    command.add_flag("--original", options.original, "Mark as original");
    command.add_flag("-o,--non-original", options.nonOriginal, "Mark as non-original (the default)");
    command.add_flag("--dialog", options.dialog, "Edit the settings in the plug-in's dialog first");
    command.add_flag("--no-progress", options.noProgress, "Never draw a progress bar");
    const char* developer = "Developer options (protocol testing)";
    command.add_option("--format", options.sampleFormat, "Sample format handed to the plug-in")
        ->check(CLI::IsMember({"u8", "s16", "s24", "f32"}))
        ->capture_default_str()
        ->group(developer);
    command.add_option("--block", options.blockFrames, "Frames per block handed to the plug-in")
        ->check(CLI::Range(int64_t(1), int64_t(1) << 24))
        ->capture_default_str()
        ->group(developer);
    command.add_flag("--no-conform", options.skipConform,
                     "Skip the format negotiation and the host's checks; hand the settings straight to the writer")
        ->group(developer);
}

std::vector<std::string> EncodeArguments(const EncodeOptions& options) {
    std::vector<std::string> args;
    const auto value = [&args](const char* name, const std::string& text) {
        args.emplace_back(name);
        args.push_back(text);
    };
    const auto flag = [&args](const char* name, bool on) {
        if (on) args.emplace_back(name);
    };
    if (!options.settingsText.empty()) value("--settings", options.settingsText);
    if (options.rate) value("--rate", std::to_string(*options.rate));
    if (options.channels) value("--channels", std::to_string(*options.channels));
    if (options.bitrate) value("--bitrate", std::to_string(*options.bitrate));
    if (options.mode) value("--mode", *options.mode);
    if (options.psymodel) value("--psyc-mode", std::to_string(*options.psymodel));
    if (options.ath) value("--ath", fmt::format("{}", *options.ath));
    if (options.emphasis) value("--deemphasis", *options.emphasis);
    flag("--protect", options.protect);
    flag("--padding", options.padding);
    flag("--energy", options.energy);
    flag("--copyright", options.copyright);
    flag("--non-copyright", options.nonCopyright);
    flag("--original", options.original);
    flag("--non-original", options.nonOriginal);
    value("--format", options.sampleFormat);
    value("--block", std::to_string(options.blockFrames));
    flag("--no-conform", options.skipConform);
    flag("--dialog", options.dialog);
    flag("--no-progress", options.noProgress);
    return args;
}

void RegisterEncodeCommand(CLI::App& app, HostOptions& options) {
    struct Arguments {
        std::string in, out;
        EncodeOptions encode;
    };
    auto arguments = std::make_shared<Arguments>();
    CLI::App* command = app.add_subcommand("encode", "Save an audio file (WAV, FLAC, AIFF...) as MP2 through the module");
    command->add_option("input", arguments->in, "Audio file to encode, '-' for standard input")->required();
    command->add_option("output", arguments->out, "MP2 file to write, '-' for standard output")->required();
    AddEncodeOptions(*command, arguments->encode);
    command->callback([&options, arguments] {
        try {
            options.exitCode = RunEncode(options, arguments->in, arguments->out, arguments->encode);
        } catch (const std::exception& error) {
            std::fflush(stdout);
            std::fprintf(stderr, "sova-host: encoding '%s' failed: %s\n",
                         arguments->in == "-" ? "standard input" : arguments->in.c_str(), error.what());
            options.exitCode = 1;
        }
    });
}
} // namespace sovahost
