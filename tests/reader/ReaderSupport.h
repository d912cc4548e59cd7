// SPDX-License-Identifier: MIT
// What the reader tests share: real MPEG files made at test time by the reference encoders
// (twolame, ffmpeg) in a folder of this process's own, their decoding by `mpg123 -e f32 -s`,
// and the built module driven through SovaInterface with the reference host's read session.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "Process.h"
#include "module/ReadSession.h"

namespace readertest {
namespace fs = std::filesystem;

inline const fs::path& WorkFolder() { // removed with everything in it at exit
    static const struct Folder {
        fs::path path;
        Folder() {
            std::string pattern = "/tmp/sova-reader-XXXXXX";
            if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot make " + pattern);
            path = pattern;
        }
        ~Folder() {
            std::error_code ignored;
            fs::remove_all(path, ignored);
        }
    } folder;
    return folder.path;
}

inline std::string Quote(const fs::path& path) {
    std::string quoted = "'";
    for (char c : path.string()) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

inline void Run(const std::string& command) {
    const testsupport::ProcessRun run = testsupport::RunShell(command);
    if (!run.Succeeded()) throw std::runtime_error("command failed: " + command + "\n" + run.err);
}

inline std::vector<char> ReadAll(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + file.string());
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteAll(const fs::path& file, const std::vector<char>& bytes) {
    std::ofstream(file, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// "stereo44", "mono44", "stereo22" (2 s) or "short44" (0.05 s): two channels that differ, a little noise.
inline fs::path MakeWav(const std::string& name) {
    const fs::path wav = WorkFolder() / (name + ".wav");
    if (fs::exists(wav)) return wav;
    const bool mono = name == "mono44";
    Run("ffmpeg -nostdin -v error -y -f lavfi -i \"aevalsrc=exprs='" +
        std::string(mono ? "0.4*sin(2*PI*523*t)+0.05*(random(0)-0.5)"
                         : "0.4*sin(2*PI*440*t)+0.05*(random(0)-0.5)|0.3*sin(2*PI*660*t)+0.05*(random(1)-0.5)") +
        "':s=" + (name == "stereo22" ? "22050" : "44100") + ":d=" + (name == "short44" ? "0.05" : "2") +
        "\" -c:a pcm_s16le " + Quote(wav));
    return wav;
}

// Every kind of file the reader must decode like mpg123; "JointCopyright" and "FreeFormat" besides.
inline const std::vector<std::string> kAllDecodable = {"Stereo", "JointCrc", "DualEmphasis", "Mono", "Lsf22050",
                                                      "Short",  "Mp3",      "Truncated",    "Id3Tagged"};

// Made on first use.
inline fs::path MakeSample(const std::string& name) {
    static const std::map<std::string, std::pair<std::string, std::string>> kTwolame = {
        {"Stereo", {"stereo44", "-m s -b 192"}},          {"JointCrc", {"stereo44", "-m j -b 128 -p"}},
        {"DualEmphasis", {"stereo44", "-m d -b 192 -e 5"}}, {"Mono", {"mono44", "-m m -b 96"}},
        {"Lsf22050", {"stereo22", "-m s -b 64"}},          {"Short", {"short44", "-m s -b 192"}},
        {"JointCopyright", {"stereo44", "-m j -b 128 -c -o"}}, {"FreeFormat", {"stereo44", "--freeformat -b 192"}}};
    const fs::path file = WorkFolder() / (name + (name == "Mp3" ? ".mp3" : ".mp2"));
    if (fs::exists(file)) return file;
    if (name == "Mp3") {
        Run("ffmpeg -nostdin -v error -y -i " + Quote(MakeWav("stereo44")) + " -c:a libmp3lame -b:a 128k " + Quote(file));
    } else if (name == "Id3Tagged") {
        // An ID3v2.3 tag of 100000 bytes (all padding) in front: libmpg123's length estimate at
        // open counts the tag as audio.
        constexpr int kTagSize = 100000;
        std::vector<char> bytes = {'I', 'D', '3', 3, 0, 0};
        for (const int shift : {21, 14, 7, 0}) bytes.push_back(static_cast<char>((kTagSize >> shift) & 0x7f));
        bytes.resize(bytes.size() + kTagSize, 0);
        const std::vector<char> audio = ReadAll(MakeSample("Stereo"));
        bytes.insert(bytes.end(), audio.begin(), audio.end());
        WriteAll(file, bytes);
    } else if (name == "Damaged") {
        // 3000 bytes of noise 40 % into the stream: the decoder gives up there and resyncs later.
        std::vector<char> bytes = ReadAll(MakeSample("Stereo"));
        uint32_t noise = 99;
        for (size_t at = bytes.size() * 2 / 5, end = at + 3000; at < end; ++at)
            bytes[at] = static_cast<char>((noise = noise * 1103515245u + 12345u) >> 24);
        WriteAll(file, bytes);
    } else if (name == "Truncated") {
        std::vector<char> bytes = ReadAll(MakeSample("Stereo"));
        bytes.resize(bytes.size() / 2 + 101); // inside a frame: frames are 626 or 627 bytes
        WriteAll(file, bytes);
    } else {
        const auto& [wav, options] = kTwolame.at(name);
        Run("twolame --quiet " + options + " " + Quote(MakeWav(wav)) + " " + Quote(file));
    }
    return file;
}

// What `mpg123 -e f32 -s` writes for the file: interleaved 32-bit floats.
inline std::vector<float> ReferenceSamples(const fs::path& file) {
    const fs::path raw = WorkFolder() / (file.filename().string() + ".reference.f32");
    Run("mpg123 -q -e f32 -s " + Quote(file) + " > " + Quote(raw) + " 2>/dev/null");
    const std::vector<char> bytes = ReadAll(raw);
    std::vector<float> samples(bytes.size() / sizeof(float));
    std::memcpy(samples.data(), bytes.data(), samples.size() * sizeof(float));
    return samples;
}

inline sovahost::HostOptions ModuleOptions() {
    sovahost::HostOptions options;
    options.modulePath = SOVA_MODULE_PATH;
    return options;
}

// A sova-host process on the built module (arguments quoted as for a shell): exit status,
// stdout and stderr.
struct HostRun {
    int exitCode = -1;
    std::string out, err;
};

inline HostRun RunHostCapturing(const std::string& arguments) {
    const testsupport::ProcessRun run =
        testsupport::RunShell(Quote(SOVA_HOST_PATH) + " --module " + Quote(SOVA_MODULE_PATH) + " " + arguments);
    return {run.ExitCode(), run.out, run.err};
}

// Exit status and stdout.
inline std::pair<int, std::string> RunHost(const std::string& arguments) {
    const HostRun run = RunHostCapturing(arguments);
    return {run.exitCode, run.out};
}

inline bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// The default settings text with the given entries ("Key:0:value;") in their places.
inline std::string SettingsWith(std::initializer_list<std::string> entries) {
    std::string text = "ATH:0:0;BitsPerSecond:0:192;CRC:0:0;ChannelMode:0:-1;CompressionType:0:0;Copy:0:0;"
                       "EmphasisType:0:0;Energy:0:0;MPEGVersion:0:1;Original:0:0;PAMType:0:1;PaddingType:0:0;"
                       "ShowAdvanced:0:0;";
    for (const std::string& entry : entries) {
        const size_t at = text.find(entry.substr(0, entry.find(':') + 3));
        text.replace(at, text.find(';', at) + 1 - at, entry);
    }
    return text;
}
} // namespace readertest
