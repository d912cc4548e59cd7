// sova-host encode IN OUT.mp2: saves an audio file through the module the way an audio editor
// does: selectors 0 and 1 start the module, 13 proposes a format, 14 negotiates it, 17 opens
// the output, 18 takes each block of samples, 19 finishes, 2 shuts the module down.
#include "cmd_encode.h"

#include <unistd.h>

#include <algorithm>
#include <bit>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <memory>
#include <stdexcept>

#include <fmt/format.h>
#include <hub/app/App.h>
#include <sndfile.h>
#include <soxr.h>

#include "Commands.h"
#include "HostObjects.h"
#include "host/ReadSession.h"
#include "host/SettingsDialog.h"

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

// The input file, delivered in blocks of host samples: straight from libsndfile when the
// negotiated format keeps the rate and channel count, otherwise through a float downmix and
// libsoxr.
class AudioSource {
public:
    explicit AudioSource(const std::string& path) {
        file_ = sf_open(path.c_str(), SFM_READ, &info_);
        if (!file_) throw std::runtime_error(fmt::format("cannot read '{}': {}", path, sf_strerror(nullptr)));
    }
    ~AudioSource() {
        if (resampler_) soxr_delete(resampler_);
        sf_close(file_);
    }
    AudioSource(const AudioSource&) = delete;
    AudioSource& operator=(const AudioSource&) = delete;

    int32_t Rate() const { return info_.samplerate; }
    int32_t Channels() const { return info_.channels; }
    int64_t Frames() const { return info_.frames; }

    // Sets the format blocks are delivered in; returns what the conversion does, in words
    // (empty when the audio passes unchanged).
    std::string Target(int32_t rate, int32_t channels, int32_t code) {
        rate_ = rate;
        channels_ = channels;
        code_ = code;
        std::string words;
        if (channels != info_.channels) {
            BuildMix();
            words += fmt::format("downmixing {} channels to {}", info_.channels, channels);
        }
        if (rate != info_.samplerate) {
            soxr_error_t error = nullptr;
            const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
            resampler_ = soxr_create(info_.samplerate, rate, static_cast<unsigned>(channels), &error, nullptr,
                                     &quality, nullptr);
            if (error) throw std::runtime_error(fmt::format("cannot set up the resampler: {}", error));
            words += fmt::format("{}resampling {} Hz to {} Hz with libsoxr", words.empty() ? "" : ", ",
                                 info_.samplerate, rate);
        }
        converting_ = !words.empty();
        return words;
    }

    // Fills each channel buffer with up to `frames` samples; returns the frames delivered
    // (0 at the end).
    int64_t Read(int64_t frames, std::vector<std::vector<uint8_t>>& buffers) {
        const int bytes = BytesPerSample(code_);
        buffers.resize(static_cast<size_t>(channels_));
        for (auto& buffer : buffers) buffer.resize(static_cast<size_t>(frames * bytes));
        if (!converting_) return ReadDirect(frames, buffers);
        while (static_cast<int64_t>(pending_.size() / channels_) < frames && !drained_) Refill(frames);
        const int64_t count = std::min<int64_t>(frames, static_cast<int64_t>(pending_.size() / channels_));
        for (int64_t i = 0; i < count; ++i)
            for (int32_t c = 0; c < channels_; ++c) StoreFloat(pending_[i * channels_ + c], buffers[c].data(), i);
        pending_.erase(pending_.begin(), pending_.begin() + count * channels_);
        return count;
    }

private:
    int64_t ReadDirect(int64_t frames, std::vector<std::vector<uint8_t>>& buffers) {
        const int32_t n = channels_;
        sf_count_t got = 0;
        switch (code_) {
        case kSampleFloat32: {
            floats_.resize(static_cast<size_t>(frames * n));
            got = sf_readf_float(file_, floats_.data(), frames);
            for (sf_count_t i = 0; i < got; ++i)
                for (int32_t c = 0; c < n; ++c)
                    std::memcpy(buffers[c].data() + 4 * i, &floats_[i * n + c], 4);
            break;
        }
        case kSampleInt24: {
            ints_.resize(static_cast<size_t>(frames * n));
            got = sf_readf_int(file_, ints_.data(), frames);
            for (sf_count_t i = 0; i < got; ++i)
                for (int32_t c = 0; c < n; ++c) {
                    const int32_t value = ints_[i * n + c] >> 8; // libsndfile scales to 32 bits
                    uint8_t* out = buffers[c].data() + 3 * i;
                    out[0] = static_cast<uint8_t>(value);
                    out[1] = static_cast<uint8_t>(value >> 8);
                    out[2] = static_cast<uint8_t>(value >> 16);
                }
            break;
        }
        default: {
            shorts_.resize(static_cast<size_t>(frames * n));
            got = sf_readf_short(file_, shorts_.data(), frames);
            for (sf_count_t i = 0; i < got; ++i)
                for (int32_t c = 0; c < n; ++c) {
                    const int16_t value = shorts_[i * n + c];
                    if (code_ == kSampleInt16)
                        std::memcpy(buffers[c].data() + 2 * i, &value, 2);
                    else
                        buffers[c][i] = static_cast<uint8_t>((value >> 8) + 128);
                }
            break;
        }
        }
        return got;
    }

    // Weights from each input channel to each output channel. Two outputs: the first two
    // inputs are left and right, a channel the file marks as left or right side goes to that
    // side, centre-like and unmarked ones to both at -3 dB, the LFE is dropped; rows are then
    // scaled so that full-scale inputs cannot clip. One output: the average.
    void BuildMix() {
        const int32_t in = info_.channels;
        std::vector<int> map(static_cast<size_t>(in), SF_CHANNEL_MAP_INVALID);
        const bool mapped = sf_command(file_, SFC_GET_CHANNEL_MAP_INFO, map.data(), in * int(sizeof(int))) == SF_TRUE;
        mix_.assign(static_cast<size_t>(channels_ * in), 0.0f);
        for (int32_t i = 0; i < in; ++i) {
            if (channels_ == 1) {
                mix_[i] = 1.0f / static_cast<float>(in);
                continue;
            }
            float left = 0.7071f, right = 0.7071f;
            const int role = mapped ? map[i] : SF_CHANNEL_MAP_INVALID;
            if (i == 0 || role == SF_CHANNEL_MAP_LEFT || role == SF_CHANNEL_MAP_REAR_LEFT ||
                role == SF_CHANNEL_MAP_SIDE_LEFT || role == SF_CHANNEL_MAP_FRONT_LEFT)
                left = 1.0f, right = 0.0f;
            else if (i == 1 || role == SF_CHANNEL_MAP_RIGHT || role == SF_CHANNEL_MAP_REAR_RIGHT ||
                     role == SF_CHANNEL_MAP_SIDE_RIGHT || role == SF_CHANNEL_MAP_FRONT_RIGHT)
                left = 0.0f, right = 1.0f;
            else if (role == SF_CHANNEL_MAP_LFE)
                left = right = 0.0f;
            mix_[i] = left;
            mix_[in + i] = right;
        }
        for (int32_t out = 0; out < channels_; ++out) {
            float sum = 0.0f;
            for (int32_t i = 0; i < in; ++i) sum += mix_[out * in + i];
            if (sum > 1.0f)
                for (int32_t i = 0; i < in; ++i) mix_[out * in + i] /= sum;
        }
    }

    void Refill(int64_t frames) {
        const int32_t in = info_.channels;
        floats_.resize(static_cast<size_t>(frames * in));
        const sf_count_t got = sf_readf_float(file_, floats_.data(), frames);
        std::vector<float> mixed;
        if (channels_ == in) {
            mixed.assign(floats_.begin(), floats_.begin() + got * in);
        } else {
            mixed.assign(static_cast<size_t>(got * channels_), 0.0f);
            for (sf_count_t f = 0; f < got; ++f)
                for (int32_t out = 0; out < channels_; ++out) {
                    float sum = 0.0f;
                    for (int32_t i = 0; i < in; ++i) sum += mix_[out * in + i] * floats_[f * in + i];
                    mixed[f * channels_ + out] = sum;
                }
        }
        if (!resampler_) {
            pending_.insert(pending_.end(), mixed.begin(), mixed.end());
            drained_ = got == 0;
            return;
        }
        const double ratio = static_cast<double>(rate_) / info_.samplerate;
        const size_t room = static_cast<size_t>(static_cast<double>(std::max<sf_count_t>(got, 0)) * ratio) + 4096;
        std::vector<float> out(room * channels_);
        size_t consumed = 0;
        do { // with no input left, a null input pointer drains the resampler
            size_t used = 0, produced = 0;
            const float* input = got > 0 ? mixed.data() + consumed * channels_ : nullptr;
            const soxr_error_t error = soxr_process(resampler_, input, static_cast<size_t>(got) - consumed, &used,
                                                    out.data(), room, &produced);
            if (error) throw std::runtime_error(fmt::format("resampling failed: {}", error));
            consumed += used;
            pending_.insert(pending_.end(), out.begin(), out.begin() + produced * channels_);
            if (got == 0 && produced == 0) drained_ = true;
            if (got == 0) break;
        } while (consumed < static_cast<size_t>(got));
    }

    void StoreFloat(float value, uint8_t* out, int64_t index) const {
        const auto scaled = [value](double scale, double low, double high) {
            return std::clamp(std::nearbyint(static_cast<double>(value) * scale), low, high);
        };
        switch (code_) {
        case kSampleUInt8: out[index] = static_cast<uint8_t>(scaled(128.0, -128.0, 127.0) + 128.0); break;
        case kSampleInt16: {
            const auto sample = static_cast<int16_t>(scaled(32768.0, -32768.0, 32767.0));
            std::memcpy(out + 2 * index, &sample, 2);
            break;
        }
        case kSampleInt24: {
            const auto sample = static_cast<int32_t>(scaled(8388608.0, -8388608.0, 8388607.0));
            out[3 * index] = static_cast<uint8_t>(sample);
            out[3 * index + 1] = static_cast<uint8_t>(sample >> 8);
            out[3 * index + 2] = static_cast<uint8_t>(sample >> 16);
            break;
        }
        default: std::memcpy(out + 4 * index, &value, 4); break;
        }
    }

    SF_INFO info_{};
    SNDFILE* file_ = nullptr;
    int32_t rate_ = 0, channels_ = 0, code_ = kSampleInt16;
    bool converting_ = false, drained_ = false;
    soxr_t resampler_ = nullptr;
    std::vector<float> mix_, floats_, pending_;
    std::vector<int32_t> ints_;
    std::vector<int16_t> shorts_;
};

class ProgressBar {
public:
    ProgressBar(bool wanted, int64_t total) : shown_(wanted && total > 0 && isatty(STDERR_FILENO)), total_(total) {}
    ~ProgressBar() { End(); }
    // Ends the bar's line, so that what follows starts on a line of its own.
    void End() {
        if (shown_ && drawn_ >= 0) std::fputc('\n', stderr);
        drawn_ = -1;
    }
    void Update(int64_t done) {
        if (!shown_) return;
        const int percent = static_cast<int>(std::min<int64_t>(100, done * 100 / total_));
        if (percent == drawn_) return;
        drawn_ = percent;
        const int filled = percent * 40 / 100;
        std::fprintf(stderr, "\rencoding [%s%s] %3d%%", std::string(filled, '#').c_str(),
                     std::string(40 - filled, ' ').c_str(), percent);
        std::fflush(stderr);
    }
private:
    bool shown_;
    int64_t total_;
    int drawn_ = -1;
};

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

int RunEncode(const HostOptions& hostOptions, const std::string& inPath, const std::string& outPath,
              const EncodeOptions& options) {
    const auto say = [&options](const std::string& line) {
        if (!options.quiet) std::printf("%s\n", line.c_str());
    };
    AudioSource source(inPath);
    say(fmt::format("input: {}, {} Hz, {} channel{}, {} frames ({:.2f} s)", inPath, source.Rate(),
                    source.Channels(), source.Channels() == 1 ? "" : "s", source.Frames(),
                    source.Rate() > 0 ? static_cast<double>(source.Frames()) / source.Rate() : 0.0));

    StartedModule module(hostOptions);
    module.Sink().echo = false; // the messages are reported below, in context
    if (module.StartResult() != kResultOK)
        throw std::runtime_error(fmt::format("the plug-in could not start ({}); are libmpg123 and libtwolame installed?",
                                             ResultInWords(module.StartResult())));
    const HostModule& plugIn = module.Module();

    AudioFormat format;
    format.sink = &module.Sink();
    // The plug-in's preferred format supplies the settings unless the user gave some.
    const int32_t preferred = plugIn.Call(kSelectorGetPreferredWriteFormat, nullptr, &format);
    if (preferred != kResultOK)
        throw std::runtime_error(fmt::format("the plug-in has no preferred save format: {}", ResultInWords(preferred)));
    const std::u16string base = options.settingsText.empty() ? format.settingsText : FromUtf8(options.settingsText);
    format.settingsText = FromUtf8(SettingsOverrides(options)) + base;
    format.sampleRate = source.Rate();
    format.channelCount = source.Channels();
    format.length = source.Frames();
    format.sampleFormat = SampleFormatCode(options.sampleFormat);

    if (options.dialog) {
        if (hub::app::App::IsOffscreen())
            throw std::runtime_error("no display to show the settings dialog on (set DISPLAY, or leave out --dialog)");
        std::string error;
        const int outcome = RunSettingsDialog(plugIn, format, &error);
        if (outcome == kDialogCancelled) throw std::runtime_error("cancelled in the settings dialog; nothing was written");
        if (outcome != kDialogConfirmed) throw std::runtime_error("the settings dialog failed: " + error);
        say("settings from the dialog: " + ToUtf8(format.settingsText));
    }

    if (!options.skipConform) {
        ConformRequest conform;
        conform.sink = &module.Sink();
        conform.format = &format;
        const int32_t result = plugIn.Call(kSelectorConformWriteFormat, nullptr, &conform);
        if (result != kResultOK)
            throw std::runtime_error(fmt::format("the plug-in refused the save format: {}", ResultInWords(result)));
        say(fmt::format("negotiated: {} Hz, {} channel{}, {} samples (code {})", format.sampleRate,
                        format.channelCount, format.channelCount == 1 ? "" : "s", SampleFormatName(format.sampleFormat),
                        format.sampleFormat));
        say(fmt::format("estimated size: {} bytes", conform.estimatedSize));
        say("description:\n" + Indented(conform.description));
    }
    say("settings: " + ToUtf8(format.settingsText));
    if (format.channelCount < 1 || format.sampleRate < 1)
        throw std::runtime_error(fmt::format("cannot save {} channels at {} Hz", format.channelCount, format.sampleRate));
    const std::string conversion = source.Target(format.sampleRate, format.channelCount, format.sampleFormat);
    if (!conversion.empty()) say("converting: " + conversion);

    WriteOpenRequest open;
    open.sink = &module.Sink();
    open.path = FromUtf8(outPath);
    open.format = &format;
    const int32_t openResult = plugIn.Call(kSelectorOpenForWrite, nullptr, &open);
    if (openResult != kResultOK || !open.writeHandle) {
        std::string reason = module.Sink().messages.empty() ? "" : ": " + ToUtf8(module.Sink().messages.back());
        throw std::runtime_error(fmt::format("cannot create '{}' ({}){}", outPath, ResultInWords(openResult), reason));
    }
    say(fmt::format("writing: {} ({})", outPath, ToUtf8(open.description)));

    const auto keptBytes = [&outPath] {
        std::error_code error;
        const auto size = std::filesystem::file_size(outPath, error);
        return error ? 0 : size;
    };

    const auto started = std::chrono::steady_clock::now();
    WriteRequest write;
    write.sink = &module.Sink();
    write.format = &format;
    std::vector<std::vector<uint8_t>> buffers;
    ProgressBar progress(!options.quiet && !options.noProgress, format.length);
    int64_t framesDone = 0;
    CloseRequest close;
    close.sink = &module.Sink();
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
    } catch (const std::exception& failure) {
        // Give the writer back so that the file is closed; its own failure adds nothing here.
        try {
            plugIn.Call(kSelectorCloseWriter, open.writeHandle, &close);
        } catch (...) {
        }
        throw std::runtime_error(fmt::format("writing '{}' failed after {} frames: {} ({} bytes written before stay in the file)",
                                             outPath, framesDone, failure.what(), keptBytes()));
    }
    progress.End();
    // A file error while the last bytes go out leaves selector 19 as an exception, the writer
    // already destroyed.
    int32_t closeResult = kResultOK;
    try {
        closeResult = plugIn.Call(kSelectorCloseWriter, open.writeHandle, &close);
    } catch (const std::exception& failure) {
        throw std::runtime_error(fmt::format("writing '{}' failed while finishing: {} ({} bytes written before stay in the file)",
                                             outPath, failure.what(), keptBytes()));
    }
    if (closeResult != kResultOK)
        throw std::runtime_error(fmt::format("the plug-in could not finish '{}': {}", outPath, ResultInWords(closeResult)));
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    say(fmt::format("done: {} frames, {} bytes in {:.2f} s", framesDone, keptBytes(), seconds));
    return 0;
}
} // namespace

void AddEncodeOptions(CLI::App& command, EncodeOptions& options) {
    command.add_option("--settings", options.settingsText, "Starting settings text (the options below override it)");
    command.add_option("-b,--bitrate", options.bitrate, "Bitrate in kbit/s")->check(CLI::Range(8, 384));
    command.add_option("-m,--mode", options.mode, "Channel mode: (s)tereo, (j)oint, (d)ual, (m)ono or (a)uto")
        ->check(CLI::IsMember({"s", "j", "d", "m", "a", "stereo", "joint", "dual", "mono", "auto"}));
    command.add_option("-P,--psyc-mode", options.psymodel, "Psychoacoustic model -1 to 4")->check(CLI::Range(-1, 4));
    command.add_option("-l,--ath", options.ath, "ATH level (used by models 3 and 4)");
    command.add_option("-e,--deemphasis", options.emphasis, "Emphasis: (n)one, (5)0/15 us or (c)citt")
        ->check(CLI::IsMember({"n", "5", "c"}));
    command.add_flag("-p,--protect", options.protect, "Enable CRC error protection");
    command.add_flag("-d,--padding", options.padding, "Enable frame padding");
    command.add_flag("-E,--energy", options.energy, "Turn on energy level extensions");
    command.add_flag("-c,--copyright", options.copyright, "Mark as copyright");
    command.add_flag("--non-copyright", options.nonCopyright, "Mark as non-copyright");
    command.add_flag("--original", options.original, "Mark as original");
    command.add_flag("-o,--non-original", options.nonOriginal, "Mark as non-original");
    command.add_option("--format", options.sampleFormat, "Sample format handed to the plug-in")
        ->check(CLI::IsMember({"u8", "s16", "s24", "f32"}))
        ->capture_default_str();
    command.add_option("--block", options.blockFrames, "Frames per block handed to the plug-in")
        ->check(CLI::Range(int64_t(1), int64_t(1) << 24))
        ->capture_default_str();
    command.add_flag("--no-conform", options.skipConform,
                     "Skip the format negotiation and hand the settings straight to the writer");
    command.add_flag("--dialog", options.dialog, "Edit the settings in the plug-in's dialog first");
    command.add_flag("-q,--quiet", options.quiet, "Report errors only");
    command.add_flag("--no-progress", options.noProgress, "Never draw a progress bar");
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
    flag("--quiet", options.quiet);
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
    command->add_option("input", arguments->in, "Audio file to encode")->required();
    command->add_option("output", arguments->out, "MP2 file to write")->required();
    AddEncodeOptions(*command, arguments->encode);
    command->callback([&options, arguments] {
        try {
            options.exitCode = RunEncode(options, arguments->in, arguments->out, arguments->encode);
        } catch (const std::exception& error) {
            std::fflush(stdout);
            std::fprintf(stderr, "sova-host: encoding '%s' failed: %s\n", arguments->in.c_str(), error.what());
            options.exitCode = 1;
        }
    });
}
} // namespace sovahost
