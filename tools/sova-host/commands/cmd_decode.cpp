// SPDX-License-Identifier: MIT
// sova-host decode IN OUT: decodes IN through the module and writes what it delivers to OUT,
// chosen by OUT's extension: ".wav" WAV (32-bit float unless --bits 16 or 24), ".aif"/".aiff"
// AIFF and ".flac" FLAC (24-bit unless --bits 16; AIFF also float with --bits 32), ".raw"/".f32"
// headerless 32-bit float (little-endian, interleaved). OUT is written under a temporary name
// and moved into place when the whole stream was decoded: a stream that the module's decoding or
// the walk of its frame headers finds damaged fails the job unless --keep-going is given.
#include <unistd.h>

#include <sndfile.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "Commands.h"
#include "RunCommand.h"
#include "host/FileFacts.h"
#include "host/InputProblem.h"
#include "host/OutputFile.h"
#include "host/ProgressBar.h"
#include "module/ReadSession.h"
#include "host/ReadThrough.h"
#include "host/StandardInputSpool.h"
#include "host/StreamDamage.h"

namespace sovahost {
namespace {
// The libsndfile format for the output's extension and --bits (0: the container's default);
// nullopt for an unknown extension or a sample size the container cannot hold.
std::optional<int> OutputFormat(const std::string& path, int bits) {
    std::string extension = std::filesystem::path(path).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    const int pcm = bits == 16 ? SF_FORMAT_PCM_16 : bits == 24 ? SF_FORMAT_PCM_24 : SF_FORMAT_FLOAT;
    if (extension == ".wav") return SF_FORMAT_WAV | (bits ? pcm : SF_FORMAT_FLOAT);
    if (extension == ".aif" || extension == ".aiff") return SF_FORMAT_AIFF | (bits ? pcm : SF_FORMAT_PCM_24);
    if (extension == ".flac" && bits != 32) return SF_FORMAT_FLAC | (bits ? pcm : SF_FORMAT_PCM_24);
    if ((extension == ".raw" || extension == ".f32") && (bits == 0 || bits == 32))
        return SF_FORMAT_RAW | SF_FORMAT_FLOAT | SF_ENDIAN_LITTLE;
    return std::nullopt;
}

struct SndfileCloser {
    void operator()(SNDFILE* file) const { sf_close(file); }
};

struct DecodeArguments {
    std::string input;
    std::string output;
    int32_t block = 4096;
    int bits = 0; // 0: the container's default
    bool keepGoing = false;
};

int Decode(const HostOptions& options, const DecodeArguments& arguments) {
    const std::optional<int> outputFormat = OutputFormat(arguments.output, arguments.bits);
    if (!outputFormat)
        throw CommandFailure(fmt::format("cannot write {}{} (use .wav, .aif, .aiff or .flac with --bits 16 or 24, "
                                         ".wav or .aiff with --bits 32 for float, .raw or .f32 for raw float)",
                                         arguments.output,
                                         arguments.bits ? fmt::format(" with --bits {}", arguments.bits) : ""),
                             kUsageError);
    const bool fromStandardInput = arguments.input == "-";
    const std::string shownIn = fromStandardInput ? "standard input" : arguments.input;
    const auto failed = [&shownIn](const std::string& reason) {
        return std::runtime_error(fmt::format("decoding '{}' failed: {}", shownIn, reason));
    };
    std::unique_ptr<OutputFile> target;
    std::unique_ptr<TempFile> spooled; // standard input, kept in a file the module can open by name
    try {
        InstallInterruptCleanup();
        if (!fromStandardInput) {
            RequireUtf8Path(arguments.input); // the module would open a mangled name
            if (const std::string problem = InputProblem(arguments.input); !problem.empty())
                throw std::runtime_error(problem);
        }
        target = std::make_unique<OutputFile>(arguments.output, options.overwrite, std::vector{arguments.input});
        if (fromStandardInput) spooled = SpoolStandardInput();
    } catch (const std::exception& refused) {
        throw failed(refused.what());
    }
    const std::string input = spooled ? spooled->Path() : arguments.input;
    StartedModule module(options);
    module.RequireStarted();
    ReadSession session(module, input);
    session.HideDecoderNotes(!options.trace);
    if (const int32_t opened = session.Open(); opened != sova::sdk::kResultOK) {
        if (const std::optional<std::string> samples = WaveSamplesKind(input)) throw failed(WaveRefusalInWords(*samples, opened));
        throw failed(OpenRefusalInWords(opened, WalkFrames(input)));
    }
    const AudioFormat& format = session.Format();
    const int32_t channels = format.channelCount;

    SF_INFO info{};
    info.samplerate = format.sampleRate;
    info.channels = channels;
    info.format = *outputFormat;
    if (!sf_format_check(&info))
        throw std::runtime_error(fmt::format("{} cannot hold {} channels at {} Hz", arguments.output, channels,
                                             format.sampleRate));
    std::unique_ptr<SNDFILE, SndfileCloser> output(sf_open(target->WorkPath().c_str(), SFM_WRITE, &info));
    if (!output) throw std::runtime_error(fmt::format("cannot write {}: {}", arguments.output, sf_strerror(nullptr)));
    sf_command(output.get(), SFC_SET_CLIPPING, nullptr, SF_TRUE); // integer formats clip, never wrap

    const auto started = std::chrono::steady_clock::now();
    const std::optional<FrameWalk> walk = WalkFrames(input); // what the frame headers promise
    ProgressBar progress("decoding", !options.quiet, walk && walk->Found() ? walk->PromisedSamples() : format.length);
    std::vector<float> interleaved;
    bool writeFailed = false;
    int64_t written = 0;
    const ReadThroughReport report = ReadThrough(session, arguments.block, [&](const ReadSession& read) {
        const int64_t frames = read.FramesDone();
        interleaved.resize(static_cast<size_t>(frames * channels));
        for (int32_t c = 0; c < channels; ++c) {
            const float* samples = read.Channel(c);
            for (int64_t i = 0; i < frames; ++i) interleaved[static_cast<size_t>(i * channels + c)] = samples[i];
        }
        if (sf_writef_float(output.get(), interleaved.data(), frames) != frames) return !(writeFailed = true);
        progress.Update(written += frames);
        return true;
    });
    progress.End();
    if (writeFailed)
        throw std::runtime_error(fmt::format("writing {} failed: {}", arguments.output, sf_strerror(output.get())));
    if (sf_close(output.release()) != 0)
        throw std::runtime_error(fmt::format("writing {} failed while finishing it", arguments.output));
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

    const int64_t total = report.delivered;
    const StreamDamage damage = AssessDamage(walk, report, format.sampleRate);
    if (damage.Damaged()) {
        const std::string kept = arguments.keepGoing
                                     ? ""
                                     : fmt::format("; {} was not written (--keep-going keeps what could be decoded)",
                                                   arguments.output);
        const std::string report = fmt::format("{}: {}{}", shownIn, damage.InWords(format.sampleRate), kept);
        if (!arguments.keepGoing) throw std::runtime_error(report); // the temporary file goes with target
        std::fflush(stdout);
        std::fprintf(stderr, "sova-host: %s\n", report.c_str());
    }
    target->Commit();
    if (!options.quiet)
        fmt::print("{}: {} samples per channel ({:.3f} s of audio, {} Hz, {} channel{}) written to {} in {:.2f} s\n",
                   shownIn, total, format.sampleRate > 0 ? static_cast<double>(total) / format.sampleRate : 0.0,
                   format.sampleRate, channels, channels == 1 ? "" : "s", arguments.output, seconds);
    return 0;
}
} // namespace

void RegisterDecodeCommand(CLI::App& app, HostOptions& options) {
    auto* command = app.add_subcommand("decode", "Decode a file through the module to WAV, AIFF, FLAC or raw float");
    auto arguments = std::make_shared<DecodeArguments>();
    command->add_option("input", arguments->input, "File to decode, '-' for standard input")->required();
    command->add_option("output", arguments->output,
                        "Output file: .wav (float unless --bits), .aif/.aiff or .flac (24-bit unless --bits), .raw/.f32 (float)")
        ->required();
    command->add_option("--bits", arguments->bits, "Sample size of WAV, AIFF or FLAC output: 16 or 24-bit PCM, 32 for float")
        ->check(CLI::IsMember({16, 24, 32}));
    command->add_option("--block", arguments->block, "Frames asked for per read")
        ->capture_default_str()
        ->check(CLI::Range(1, 1 << 24));
    command->add_flag("--keep-going", arguments->keepGoing,
                      "Succeed on a damaged stream: decode what can be decoded (the damage is still reported)");
    RunsAs(*command, options, [&options, arguments] { return Decode(options, *arguments); });
}
} // namespace sovahost
