#include "WriterTestSupport.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include <sndfile.h>

namespace writertest {
using namespace sova::sdk;

TempDir::TempDir() {
    char pattern[] = "/tmp/sova-writer-XXXXXX";
    if (!mkdtemp(pattern)) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code error;
    std::filesystem::remove_all(path_, error);
}

bool ProcessResult::Succeeded() const { return ExitCode() == 0; }

int ProcessResult::ExitCode() const { return WIFEXITED(status) ? WEXITSTATUS(status) : -1; }

ProcessResult RunProcess(const std::vector<std::string>& args, const std::function<void()>& inChild) {
    FILE* capture = std::tmpfile();
    if (!capture) throw std::runtime_error("tmpfile failed");
    std::vector<std::string> copy = args;
    std::vector<char*> argv;
    for (auto& arg : copy) argv.push_back(arg.data());
    argv.push_back(nullptr);
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(fileno(capture), STDOUT_FILENO);
        dup2(fileno(capture), STDERR_FILENO);
        const int devNull = open("/dev/null", O_RDONLY);
        dup2(devNull, STDIN_FILENO); // never a terminal: no progress bars
        if (inChild) inChild();
        execvp(argv[0], argv.data());
        _exit(127);
    }
    ProcessResult result;
    waitpid(pid, &result.status, 0);
    std::rewind(capture);
    char chunk[4096];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, capture)) > 0) result.output.append(chunk, got);
    std::fclose(capture);
    return result;
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<int16_t> TestSignal(int64_t frames, int channels, int rate) {
    std::vector<int16_t> samples(static_cast<size_t>(frames * channels));
    uint32_t noise = 12345;
    for (int64_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / rate;
        for (int c = 0; c < channels; ++c) {
            noise = noise * 1664525u + 1013904223u;
            double value = 0.35 * std::sin(2 * M_PI * (220.0 * (c + 1)) * t) +
                           0.2 * std::sin(2 * M_PI * (1234.5 + 300.0 * c) * t) * std::sin(2 * M_PI * 0.5 * t) +
                           0.05 * (static_cast<double>(noise >> 8) / (1 << 24) - 0.5);
            if (i % 10007 == 0) value = (i / 10007) % 2 ? 1.0 : -1.0; // full-scale clicks
            samples[static_cast<size_t>(i * channels + c)] =
                static_cast<int16_t>(std::lround(std::clamp(value * 32768.0, -32768.0, 32767.0)));
        }
    }
    return samples;
}

namespace {
SNDFILE* OpenWav(const std::string& path, int subformat, int channels, int rate, int container = SF_FORMAT_WAV) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = container | subformat;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file) throw std::runtime_error("cannot write " + path + ": " + sf_strerror(nullptr));
    return file;
}
} // namespace

void WriteWav16(const std::string& path, const std::vector<int16_t>& interleaved, int channels, int rate,
                int container) {
    SNDFILE* file = OpenWav(path, SF_FORMAT_PCM_16, channels, rate, container ? container : SF_FORMAT_WAV);
    sf_writef_short(file, interleaved.data(), static_cast<sf_count_t>(interleaved.size() / channels));
    sf_close(file);
}

void WriteWav24(const std::string& path, const std::vector<int32_t>& interleaved24, int channels, int rate) {
    SNDFILE* file = OpenWav(path, SF_FORMAT_PCM_24, channels, rate);
    std::vector<int32_t> scaled(interleaved24.size());
    for (size_t i = 0; i < scaled.size(); ++i) scaled[i] = static_cast<int32_t>(static_cast<uint32_t>(interleaved24[i]) << 8);
    sf_writef_int(file, scaled.data(), static_cast<sf_count_t>(scaled.size() / channels));
    sf_close(file);
}

void WriteWavFloat(const std::string& path, const std::vector<float>& interleaved, int channels, int rate) {
    SNDFILE* file = OpenWav(path, SF_FORMAT_FLOAT, channels, rate);
    sf_command(file, SFC_SET_NORM_FLOAT, nullptr, SF_FALSE);
    sf_writef_float(file, interleaved.data(), static_cast<sf_count_t>(interleaved.size() / channels));
    sf_close(file);
}

std::vector<uint8_t> TwolameReference(const std::string& wav, const std::vector<std::string>& options,
                                      const std::string& outPath) {
    std::vector<std::string> args{"twolame", "--quiet"};
    args.insert(args.end(), options.begin(), options.end());
    args.push_back(wav);
    args.push_back(outPath);
    const ProcessResult result = RunProcess(args);
    if (!result.Succeeded()) throw std::runtime_error("twolame failed: " + result.output);
    return ReadBytes(outPath);
}

std::optional<std::vector<FrameHeader>> ParseFrames(const std::vector<uint8_t>& stream) {
    static const int kBitrates[2][16] = {{0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
                                         {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0}};
    static const int kRates[2][4] = {{44100, 48000, 32000, 0}, {22050, 24000, 16000, 0}};
    std::vector<FrameHeader> frames;
    size_t at = 0;
    while (at < stream.size()) {
        if (stream.size() - at < 4) return std::nullopt;
        const uint8_t* b = stream.data() + at;
        if (b[0] != 0xFF || (b[1] & 0xE0) != 0xE0) return std::nullopt;
        FrameHeader h;
        const int versionBits = (b[1] >> 3) & 3;
        if (versionBits != 3 && versionBits != 2) return std::nullopt;
        h.version = versionBits == 3 ? 1 : 2;
        h.layer = 4 - ((b[1] >> 1) & 3);
        h.crc = (b[1] & 1) == 0;
        h.bitrate = kBitrates[h.version - 1][b[2] >> 4];
        h.sampleRate = kRates[h.version - 1][(b[2] >> 2) & 3];
        h.padding = (b[2] >> 1) & 1;
        h.mode = b[3] >> 6;
        h.copyright = (b[3] >> 3) & 1;
        h.original = (b[3] >> 2) & 1;
        h.emphasis = b[3] & 3;
        if (h.bitrate == 0 || h.sampleRate == 0) return std::nullopt;
        h.length = static_cast<size_t>(144 * 1000 * h.bitrate / h.sampleRate) + (h.padding ? 1 : 0);
        if (stream.size() - at < h.length) return std::nullopt;
        frames.push_back(h);
        at += h.length;
    }
    return frames;
}

int64_t DecodeWithMpg123(const std::string& path, int channels) {
    const std::string raw = path + ".raw";
    const ProcessResult result = RunProcess({"mpg123", "-q", "-o", "raw", "-a", raw, path});
    if (!result.Succeeded()) return -1;
    std::error_code error;
    const auto bytes = std::filesystem::file_size(raw, error);
    std::filesystem::remove(raw, error);
    return static_cast<int64_t>(bytes) / (2 * channels);
}

ModuleHost::ModuleHost() : module_(SOVA_MODULE_PATH) {
    sink.echo = false;
    startResult_ = module_.Call(kSelectorDescribePlugIn, nullptr, &registrar_);
    if (startResult_ == kResultOK) startResult_ = module_.Call(kSelectorStartup, nullptr, nullptr);
}

ModuleHost::~ModuleHost() { module_.Call(kSelectorShutdown, nullptr, nullptr); }

ModuleHost::Save ModuleHost::SaveAudio(const std::string& path, int32_t rate, const std::string& settingsText,
                                       int32_t sampleFormat, const std::vector<std::vector<uint8_t>>& channels,
                                       int64_t block, bool conform) {
    Save save;
    const int64_t frames = channels.empty() ? 0 : static_cast<int64_t>(channels[0].size()) / BytesPerSample(sampleFormat);
    save.format.sink = &sink;
    save.format.sampleRate = rate;
    save.format.channelCount = static_cast<int32_t>(channels.size());
    save.format.sampleFormat = sampleFormat;
    save.format.length = frames;
    save.format.settingsText = sovahost::FromUtf8(settingsText);
    if (conform) {
        sovahost::ConformRequest request;
        request.sink = &sink;
        request.format = &save.format;
        save.conformResult = Call(kSelectorConformWriteFormat, nullptr, &request);
    }
    sovahost::WriteOpenRequest open;
    open.sink = &sink;
    open.path = sovahost::FromUtf8(path);
    open.format = &save.format;
    save.openResult = Call(kSelectorOpenForWrite, nullptr, &open);
    save.openDescription = open.description;
    if (save.openResult != kResultOK) return save;

    sovahost::WriteRequest write;
    write.sink = &sink;
    write.format = &save.format;
    const int bytes = BytesPerSample(sampleFormat);
    for (int64_t done = 0; done < frames; done += block) {
        write.frameCount = std::min(block, frames - done);
        write.buffers.clear();
        for (const auto& channel : channels) write.buffers.push_back(channel.data() + done * bytes);
        const int32_t result = Call(kSelectorWriteSamples, open.writeHandle, &write);
        if (result != kResultOK) save.writeResults.push_back(result);
    }
    sovahost::CloseRequest close;
    close.sink = &sink;
    save.closeResult = Call(kSelectorCloseWriter, open.writeHandle, &close);
    return save;
}

std::string SettingsText(const std::vector<std::pair<std::string, int32_t>>& entries) {
    std::string text;
    for (const auto& [key, value] : entries) text += key + ":0:" + std::to_string(value) + ";";
    return text;
}

int32_t FloatBits(float value) {
    int32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}
} // namespace writertest
