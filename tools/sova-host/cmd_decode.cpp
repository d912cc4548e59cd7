// sova-host decode IN OUT: decodes IN through the module and writes what it delivers to OUT,
// chosen by OUT's extension: ".wav" 32-bit float WAV, ".flac" 24-bit FLAC, ".raw"/".f32"
// headerless 32-bit float (little-endian, interleaved).
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
#include "host/ReadSession.h"
#include "host/ReadThrough.h"

namespace sovahost {
namespace {
std::optional<int> OutputFormat(const std::string& path) {
    std::string extension = std::filesystem::path(path).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (extension == ".wav") return SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    if (extension == ".flac") return SF_FORMAT_FLAC | SF_FORMAT_PCM_24;
    if (extension == ".raw" || extension == ".f32") return SF_FORMAT_RAW | SF_FORMAT_FLOAT | SF_ENDIAN_LITTLE;
    return std::nullopt;
}

struct SndfileCloser {
    void operator()(SNDFILE* file) const { sf_close(file); }
};

// A one-line bar on stderr, redrawn only when the shown percentage moves.
class ProgressBar {
public:
    explicit ProgressBar(int64_t total) : total_(total), enabled_(isatty(STDERR_FILENO) && total > 0) {}
    void Show(int64_t done) {
        if (!enabled_) return;
        const int percent = static_cast<int>(std::min<int64_t>(100, done * 100 / total_));
        if (percent == shown_) return;
        shown_ = percent;
        constexpr int kWidth = 40;
        const int filled = percent * kWidth / 100;
        std::fprintf(stderr, "\r[%s%s] %3d%%", std::string(filled, '#').c_str(), std::string(kWidth - filled, ' ').c_str(),
                     percent);
        std::fflush(stderr);
    }
    void Finish() {
        if (enabled_ && shown_ >= 0) std::fprintf(stderr, "\n");
    }
private:
    int64_t total_;
    bool enabled_;
    int shown_ = -1;
};

struct DecodeArguments {
    std::string input;
    std::string output;
    int32_t block = 4096;
    bool keepGoing = false;
};

int Decode(const HostOptions& options, const DecodeArguments& arguments) {
    const std::optional<int> outputFormat = OutputFormat(arguments.output);
    if (!outputFormat) {
        std::fprintf(stderr, "sova-host: cannot tell the output format of %s (use .wav, .flac, .raw or .f32)\n",
                     arguments.output.c_str());
        return 2;
    }
    StartedModule module(options);
    if (module.StartResult() != sova::sdk::kResultOK) {
        std::fprintf(stderr, "sova-host: the module did not start: %s\n", ResultInWords(module.StartResult()).c_str());
        return 1;
    }
    ReadSession session(module, arguments.input);
    session.HideDecoderNotes(!options.trace);
    const int32_t opened = session.Open();
    if (opened != sova::sdk::kResultOK) {
        std::fprintf(stderr, "sova-host: %s: refused: %s\n", arguments.input.c_str(), ResultInWords(opened).c_str());
        return 1;
    }
    const AudioFormat& format = session.Format();
    const int32_t channels = format.channelCount;

    SF_INFO info{};
    info.samplerate = format.sampleRate;
    info.channels = channels;
    info.format = *outputFormat;
    if (!sf_format_check(&info)) {
        std::fprintf(stderr, "sova-host: %s cannot hold %d channels at %d Hz\n", arguments.output.c_str(), channels,
                     format.sampleRate);
        return 1;
    }
    std::unique_ptr<SNDFILE, SndfileCloser> output(sf_open(arguments.output.c_str(), SFM_WRITE, &info));
    if (!output) {
        std::fprintf(stderr, "sova-host: cannot write %s: %s\n", arguments.output.c_str(), sf_strerror(nullptr));
        return 1;
    }
    sf_command(output.get(), SFC_SET_CLIPPING, nullptr, SF_TRUE); // integer formats clip, never wrap

    const auto started = std::chrono::steady_clock::now();
    ProgressBar progress(format.length);
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
        progress.Show(written += frames);
        return true;
    });
    progress.Finish();
    if (writeFailed) {
        std::fprintf(stderr, "sova-host: writing %s failed: %s\n", arguments.output.c_str(), sf_strerror(output.get()));
        return 1;
    }
    output.reset();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

    const int64_t total = report.delivered;
    fmt::print("{}: {} frames ({:.3f} s of audio, {} Hz, {} channel{}) written to {} in {:.2f} s\n", arguments.input,
               total, format.sampleRate > 0 ? static_cast<double>(total) / format.sampleRate : 0.0, format.sampleRate,
               channels, channels == 1 ? "" : "s", arguments.output, seconds);
    if (report.Damaged()) {
        std::fprintf(stderr, "sova-host: %s: %s%s\n", arguments.input.c_str(),
                     DamageInWords(report, format.sampleRate).c_str(),
                     arguments.keepGoing ? "" : " (--keep-going accepts a damaged stream)");
        return arguments.keepGoing ? 0 : 1;
    }
    return 0;
}
} // namespace

void RegisterDecodeCommand(CLI::App& app, HostOptions& options) {
    auto* command = app.add_subcommand("decode", "Decode a file through the module to WAV, FLAC or raw float");
    static DecodeArguments arguments;
    command->add_option("input", arguments.input, "File to decode")->required();
    command->add_option("output", arguments.output, "Output file: .wav (float), .flac (24-bit), .raw/.f32 (float)")
        ->required();
    command->add_option("--block", arguments.block, "Frames asked for per read")
        ->capture_default_str()
        ->check(CLI::Range(1, 1 << 24));
    command->add_flag("--keep-going", arguments.keepGoing,
                      "Succeed on a damaged stream: decode what can be decoded (the damage is still reported)");
    command->callback([&options] { options.exitCode = Decode(options, arguments); });
}
} // namespace sovahost
