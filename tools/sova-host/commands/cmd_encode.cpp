// SPDX-License-Identifier: MIT
// sova-host encode IN OUT.mp2: saves an audio file through the module the way an audio editor
// does: selectors 0 and 1 start the module, 13 proposes a format, 14 negotiates it, 17 opens
// the output, 18 takes each block of samples, 19 finishes, 2 shuts the module down. What is
// written (rate, channels, bitrate, mode) is decided by sova-host's plan, not the module's table.
#include "cmd_encode.h"

#include <chrono>
#include <cerrno>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <functional>
#include <memory>
#include <thread>
#include <stdexcept>

#include <fmt/format.h>

#include "Commands.h"
#include "EncodeDialog.h"
#include "EncodeSettings.h"
#include "ModuleWriter.h"
#include "RunCommand.h"
#include "EncodeSegments.h"
#include "ProfileOptions.h"
#include "module/HostObjects.h"
#include "host/AudioSource.h"
#include "host/BroadcastWaveOutput.h"
#include "host/DecodedPeaks.h"
#include "host/HandedLoudness.h"
#include "host/EncodePlan.h"
#include "host/InputProblem.h"
#include "host/LayerTwoRules.h"
#include "host/LoudnessLevel.h"
#include "host/OutputFile.h"
#include "host/OutputName.h"
#include "host/ProgressBar.h"
#include "module/ReadSession.h"
#include "host/SampleFeed.h"
#include "host/SegmentPlan.h"
#include "host/SaveFormat.h"
#include "host/SettingsText.h"
#include "host/StandardInputSpool.h"
#include "host/TempFile.h"

namespace sovahost {
using namespace sova::sdk;

namespace {
const char* SampleFormatName(int32_t code) {
    switch (code) {
    case kSampleUInt8: return "8-bit unsigned";
    case kSampleInt16: return "16-bit signed";
    case kSampleInt24: return "24-bit packed";
    case kSampleFloat32: return "32-bit float";
    default: return "unknown";
    }
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

// TwoLAME writes a joint stereo frame that needs no joint coding as a stereo frame.
std::string JointStereoNote(const EncodePlan& plan) {
    return plan.mode == 1 && !plan.mono ? " (frames that need no joint coding are written as stereo)" : "";
}

std::string SourceLine(const std::string& shownIn, const AudioSource& source) {
    return fmt::format("input: {} ({}), {} Hz, {} channel{}, {} samples ({:.2f} s)", shownIn, source.FormatName(),
                       source.Rate(), source.Channels(), source.Channels() == 1 ? "" : "s", source.Frames(),
                       static_cast<double>(source.Frames()) / source.Rate());
}

// Lossy coding raises peaks: the MP2 is read back through the module and its true peak held
// against the ceiling.
void CheckDecodedPeak(StartedModule& module, const std::string& outPath, double ceilingDbtp, int jobs, ProgressBar& progress,
                      const std::function<void(const std::string&)>& say, const std::function<void(const std::string&)>& warn) {
    if (outPath == "-") return warn("the MP2 went to standard output: its true peak cannot be checked against the ceiling");
    const std::optional<LoudnessFacts> decoded =
        DecodedPeaks(module, outPath, jobs, [&progress](int64_t done) { progress.Update(done); });
    progress.End();
    if (!decoded) return warn("the MP2 written could not be read back to check its true peak");
    say(fmt::format("decoded: true peak {}, sample peak {}", LevelText(decoded->truePeakDbtp, "dBTP"),
                    LevelText(decoded->samplePeakDbfs, "dBFS")));
    if (const std::string over = CeilingExceeded(*decoded, ceilingDbtp); !over.empty()) warn(over);
}

int JobsWanted(const EncodeOptions& options) {
    if (options.jobs > 0) return options.jobs;
    return static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 8u));
}

int64_t SegmentFrames(const EncodeOptions& options) {
    return options.segmentFrames > 0 ? options.segmentFrames : kDefaultSegmentFrames;
}

int RunEncode(const HostOptions& hostOptions, const std::string& inPath, const std::string& outPath,
              const EncodeOptions& asked) {
    EncodeOptions options = asked;
    const DeliveryProfile* const profile = ApplyDeliveryProfile(options, outPath); // refuses before anything is read
    // With the MP2 on standard output, everything else goes to stderr.
    FILE* const chat = outPath == "-" ? stderr : stdout;
    const auto say = [&](const std::string& line) {
        if (!hostOptions.quiet) std::fprintf(chat, "%s\n", line.c_str());
    };
    const auto detail = [&](const std::string& line) {
        if (hostOptions.verbose && !hostOptions.quiet) std::fprintf(chat, "%s\n", line.c_str());
    };
    // A change to what was asked is always shown, also with -q.
    const auto warn = [&](const std::string& line) {
        std::fflush(chat);
        std::fprintf(stderr, "sova-host: warning: %s\n", line.c_str());
    };
    const SettingsReading userSettings = CheckedSettings(options.settingsText);
    if (inPath != "-")
        if (const std::string problem = InputProblem(inPath); !problem.empty()) throw std::runtime_error(problem);
    InstallInterruptCleanup();
    OutputFile output(outPath, hostOptions.overwrite, {inPath});
    if (const std::string problem = OutputNameProblem(outPath); !problem.empty()) throw std::runtime_error(problem);
    const bool broadcastWave = WantsBroadcastWave(outPath, options.broadcast);
    if (const std::string problem = BroadcastOptionProblem(outPath, options.broadcast); !problem.empty())
        throw std::runtime_error(problem);
    // A broadcast WAV file: the module writes the frames into a file of their own, wrapped at the end.
    const std::unique_ptr<BroadcastWaveOutput> wave = broadcastWave ? std::make_unique<BroadcastWaveOutput>(outPath) : nullptr;
    const std::string framesPath = wave ? wave->FramesPath() : output.WorkPath();
    const std::string shownOut = outPath == "-" ? "standard output" : outPath;
    const std::string shownIn = inPath == "-" ? "standard input" : inPath;
    std::unique_ptr<TempFile> spooled;
    if (inPath == "-") spooled = SpoolStandardInput();
    const std::string sourcePath = spooled ? spooled->Path() : inPath;
    AudioSource source(sourcePath, shownIn, outPath);
    say(SourceLine(shownIn, source));
    if (profile) say(fmt::format("profile: {}, {} (--profile list shows its sources)", profile->name, profile->title));
    if (const auto& cut = source.CutShortBy())
        warn(fmt::format("'{}' is cut short: its header promises {} samples, the file holds {}; encoding the {}", shownIn,
                         cut->promisedFrames, cut->presentFrames, cut->presentFrames));

    StartedModule module(hostOptions);
    module.Sink().echo = false; // the messages are reported below, in context
    module.RequireStarted();
    const HostModule& plugIn = module.Module();

    StartingSettings start = UserSettings(options, options.settingsText, userSettings);
    if (options.dialog) { // the dialog starts from the source's format and the options
        RequireDisplay();
        AudioFormat proposal = PreferredFormat(plugIn, module.Sink(), start.text);
        proposal.sampleRate = options.rate.value_or(source.Rate());
        proposal.channelCount = options.channels.value_or(std::min(source.Channels(), 2));
        EditInDialog(plugIn, proposal);
        const std::string confirmed = ToUtf8(proposal.settingsText);
        detail("settings from the dialog: " + confirmed);
        start = UserSettings(EncodeOptions{}, confirmed, CheckedSettings(confirmed));
    }

    AudioFormat format = PreferredFormat(plugIn, module.Sink(), start.text);
    const EncodePlan plan = Plan(options, start, source, profile);
    if (!options.skipConform) {
        if (!plan.refusal.empty()) throw std::runtime_error(plan.refusal);
        for (const std::string& warning : plan.warnings) warn(warning);
        ApplyPlan(plan, source.Frames(), source.Rate(), format);
    } else { // the developer's path: the settings go to the writer as the options give them
        format.sampleRate = options.rate.value_or(source.Rate());
        format.channelCount = options.channels.value_or(source.Channels());
        format.length = source.Frames();
        if (options.bitrate) format.settingsText = FromUtf8(fmt::format("BitsPerSecond:0:{};", *options.bitrate)) + format.settingsText;
        if (options.mode) format.settingsText = FromUtf8(fmt::format("ChannelMode:0:{};", ModeValue(*options.mode))) + format.settingsText;
    }
    if (format.channelCount < 1 || format.channelCount > 2 || format.sampleRate < 1)
        throw std::runtime_error(fmt::format("cannot save {} channels at {} Hz", format.channelCount, format.sampleRate));
    std::optional<LevelRequest> level;
    ProgressBar measuring("measuring", !hostOptions.quiet && !options.noProgress, source.Frames());
    if (options.loudness)
        level = LevelRequest{*options.loudness, options.truePeak, [&measuring](int64_t done) { measuring.Update(done); },
                             JobsWanted(options) > 1 ? LoudnessMeter::Threads::Two : LoudnessMeter::Threads::One};
    else if (options.truePeak != -1.0)
        warn("--true-peak is a ceiling for --loudness; without it, nothing is measured");
    SampleFeed feed(source, format.sampleRate, format.channelCount, ForcedSampleFormat(options.sampleFormat),
                    level ? &*level : nullptr);
    measuring.End();
    if (const auto& outcome = feed.Level()) {
        say("loudness: " + LevelInWords(*outcome, level->targetLufs));
        if (const std::string shortfall = LevelShortfall(*outcome, level->targetLufs, level->ceilingDbtp); !shortfall.empty())
            warn(shortfall);
    }
    format.sampleFormat = feed.Code();

    if (!options.skipConform) {
        int64_t estimatedSize = 0;
        const std::u16string description = Negotiate(plugIn, module.Sink(), plan, format, &estimatedSize, detail);
        say(fmt::format("output: {} Layer II, {} kbit/s, {}, {} Hz, {} channel{}", layer2::VersionName(plan.rate),
                        plan.bitrate, ChannelModeName(plan.mode, plan.mono) + JointStereoNote(plan), plan.rate, plan.channels,
                        plan.channels == 1 ? "" : "s"));
        detail(fmt::format("samples handed over: {} (code {})", SampleFormatName(format.sampleFormat), format.sampleFormat));
        detail(fmt::format("estimated size: {} bytes", estimatedSize));
        if (!description.empty()) detail("description:\n" + Indented(description));
    }
    detail("settings: " + ToUtf8(format.settingsText));
    if (!feed.Conversion().empty()) say("converting: " + feed.Conversion());
    const auto writtenSettings = SettingsEntries(ToUtf8(format.settingsText));
    if (wave)
        if (const std::string note = wave->Prepare(source.Frames() * format.sampleRate / source.Rate(), format.sampleRate,
                                                   plan.bitrate, SettingsNumber(writtenSettings, "PaddingType").value_or(0) != 0);
            !note.empty())
            say(note);
    std::unique_ptr<HandedLoudness> handed; // the bext loudness: what the module is handed, measured as it goes
    if (wave) {
        handed = std::make_unique<HandedLoudness>(format.sampleRate, format.channelCount);
        feed.Observe([&meter = *handed](const std::vector<std::vector<uint8_t>>& buffers, int64_t frames, int32_t code) {
            meter.Add(buffers, frames, code);
        });
    }

    ModuleWriter writer(plugIn, module.Sink(), output, shownOut, format, framesPath);
    say(fmt::format("writing: {} ({})", shownOut, ToUtf8(writer.Description())));
    const int jobs = JobsWanted(options);
    const int64_t expectedSamples = source.Frames() * format.sampleRate / source.Rate(); // after resampling
    const size_t segments = PlanSegments(expectedSamples, jobs, SegmentFrames(options)).size();
    // A source that is not resampled is read by each segment itself, from its own offset (a file
    // that can be opened again: not a pipe), unless the broadcast WAV's loudness is to be measured
    // on what this process hands on.
    const std::string readPath = spooled ? spooled->Path() : inPath;
    std::error_code notAFile;
    const bool ownReading = !handed && feed.ReadsFrameByFrame() && !source.CutShortBy() &&
                            std::filesystem::is_regular_file(readPath, notAFile);
    if (segments > 1)
        detail(fmt::format("encoding in {} segments, one process each{}", segments,
                           ownReading ? ", each reading the source itself" : ""));
    else if (jobs > 1 && options.jobs > 1)
        say(fmt::format("one job: {} samples are too few for segments of {} frames", expectedSamples, SegmentFrames(options)));

    const auto started = std::chrono::steady_clock::now();
    ProgressBar progress("encoding", !hostOptions.quiet && !options.noProgress, format.length);
    int64_t framesDone = 0;
    int64_t overFullScale = 0;
    try {
        if (segments > 1) {
            writer.Finish(); // the segments' writers encode; this one only created the file and described it
            const SegmentedEncode segmented{&plugIn,    &module.Sink(),         format,         options.blockFrames,
                                            jobs,       SegmentFrames(options), expectedSamples,
                                            ownReading ? readPath : std::string(), detail};
            const SegmentsDone done = EncodeInSegments(segmented, feed, framesPath, progress);
            framesDone = done.samples;
            overFullScale = done.overFullScale;
        } else {
            writer.WriteAll(feed, options.blockFrames, progress, framesDone);
            overFullScale = feed.OverFullScale();
        }
        if (wave) {
            const LayerTwoStream stream =
                wave->Finish(options.broadcast, sourcePath, source.Rate(), SettingsNumber(writtenSettings, "Energy").value_or(0) != 0,
                             StoredFrom(handed->Facts()), "sova-host " SOVA_VERSION, output.WorkPath());
            detail(fmt::format("broadcast WAV: {} frames of {} bytes{}", stream.frames, stream.frameBytes,
                               stream.sameSize ? "" : " (and padded ones)"));
        }
    } catch (const std::exception& failure) {
        progress.End();
        throw std::runtime_error(fmt::format("writing '{}' failed after {} samples: {}; {}", shownOut, framesDone,
                                             output.Unmasked(failure.what()),
                                             outPath == "-" ? "nothing was sent" : "the unfinished file was removed"));
    }
    std::error_code sizeError;
    const auto bytes = std::filesystem::file_size(output.WorkPath(), sizeError);
    output.Commit();
    if (overFullScale > 0)
        warn(fmt::format("{} samples beyond full scale were clipped to it (lower the level of the source to keep them)",
                         overFullScale));
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    say(fmt::format("done: {} samples, {} bytes in {:.2f} s", framesDone, sizeError ? 0 : bytes, seconds));
    if (level) {
        ProgressBar checking("checking", !hostOptions.quiet && !options.noProgress, framesDone);
        CheckDecodedPeak(module, outPath, level->ceilingDbtp, jobs, checking, say, warn);
    }
    return 0;
}
} // namespace

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
    AddSegmentOptions(*command, arguments->encode);
    RunsAs(
        *command, options, [&options, arguments] { return RunEncode(options, arguments->in, arguments->out, arguments->encode); },
        [arguments] { return fmt::format("encoding '{}' failed", arguments->in == "-" ? "standard input" : arguments->in); });
}
} // namespace sovahost
