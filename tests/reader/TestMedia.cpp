#include "TestMedia.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <stdexcept>

namespace readertest {
namespace fs = std::filesystem;

namespace {
class Folder {
public:
    Folder() {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/sova-reader-XXXXXX";
        if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot make a folder from " + pattern);
        path_ = pattern;
    }
    ~Folder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    const fs::path& Path() const { return path_; }
private:
    fs::path path_;
};

// Two channels that differ (so a swapped or repeated channel shows), with a little noise so
// the encoder has real work to do.
constexpr const char* kStereoExpression =
    "0.4*sin(2*PI*440*t)+0.05*(random(0)-0.5)|0.3*sin(2*PI*660*t)+0.05*(random(1)-0.5)";
constexpr const char* kMonoExpression = "0.4*sin(2*PI*523*t)+0.05*(random(0)-0.5)";
} // namespace

std::string SampleName(Sample sample) {
    switch (sample) {
    case Sample::Stereo: return "Stereo";
    case Sample::JointCrc: return "JointCrc";
    case Sample::DualEmphasis: return "DualEmphasis";
    case Sample::Mono: return "Mono";
    case Sample::Lsf22050: return "Lsf22050";
    case Sample::Short: return "Short";
    case Sample::Mp3: return "Mp3";
    case Sample::Truncated: return "Truncated";
    case Sample::JointCopyright: return "JointCopyright";
    }
    return "Unknown";
}

const fs::path& WorkFolder() {
    static Folder folder;
    return folder.Path();
}

std::string Quote(const fs::path& path) {
    std::string quoted = "'";
    for (char c : path.string()) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

void Run(const std::string& command) {
    const int status = std::system(command.c_str());
    if (status != 0) throw std::runtime_error("command failed (" + std::to_string(status) + "): " + command);
}

std::vector<char> ReadAll(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + file.string());
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteAll(const fs::path& file, const std::vector<char>& bytes) {
    std::ofstream out(file, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + file.string());
}

fs::path MakeWav(const std::string& name, int rate, int channels, double seconds) {
    const fs::path wav = WorkFolder() / (name + ".wav");
    if (fs::exists(wav)) return wav;
    Run("ffmpeg -nostdin -v error -y -f lavfi -i \"aevalsrc=exprs='" +
        std::string(channels == 1 ? kMonoExpression : kStereoExpression) + "':s=" + std::to_string(rate) +
        ":d=" + std::to_string(seconds) + "\" -c:a pcm_s16le " + Quote(wav));
    return wav;
}

fs::path MakeSample(Sample sample) {
    static std::map<Sample, fs::path> made;
    if (auto found = made.find(sample); found != made.end()) return found->second;

    const fs::path folder = WorkFolder();
    const auto twolame = [&](const std::string& options, const fs::path& source, const std::string& name) {
        const fs::path out = folder / name;
        Run("twolame --quiet " + options + " " + Quote(source) + " " + Quote(out));
        return out;
    };
    fs::path file;
    switch (sample) {
    case Sample::Stereo: file = twolame("-m s -b 192", MakeWav("stereo44", 44100, 2, 2.0), "stereo.mp2"); break;
    case Sample::JointCrc: file = twolame("-m j -b 128 -p", MakeWav("stereo44", 44100, 2, 2.0), "joint-crc.mp2"); break;
    case Sample::DualEmphasis:
        file = twolame("-m d -b 192 -e 5", MakeWav("stereo44", 44100, 2, 2.0), "dual-emphasis.mp2");
        break;
    case Sample::Mono: file = twolame("-m m -b 96", MakeWav("mono44", 44100, 1, 2.0), "mono.mp2"); break;
    case Sample::Lsf22050: file = twolame("-m s -b 64", MakeWav("stereo22", 22050, 2, 2.0), "lsf.mp2"); break;
    case Sample::Short: file = twolame("-m s -b 192", MakeWav("short44", 44100, 2, 0.05), "short.mp2"); break;
    case Sample::Mp3:
        file = folder / "lame.mp3";
        Run("ffmpeg -nostdin -v error -y -i " + Quote(MakeWav("stereo44", 44100, 2, 2.0)) +
            " -c:a libmp3lame -b:a 128k " + Quote(file));
        break;
    case Sample::Truncated: {
        std::vector<char> bytes = ReadAll(MakeSample(Sample::Stereo));
        bytes.resize(bytes.size() / 2 + 101); // not on a frame boundary: frames are 626 or 627 bytes
        file = folder / "truncated.mp2";
        WriteAll(file, bytes);
        break;
    }
    case Sample::JointCopyright:
        file = twolame("-m j -b 128 -c -o", MakeWav("stereo44", 44100, 2, 2.0), "joint-copyright.mp2");
        break;
    }
    made[sample] = file;
    return file;
}

std::vector<float> ReferenceSamples(const fs::path& file) {
    const fs::path raw = WorkFolder() / (file.filename().string() + ".reference.f32");
    Run("mpg123 -q -e f32 -s " + Quote(file) + " > " + Quote(raw) + " 2>/dev/null");
    const std::vector<char> bytes = ReadAll(raw);
    std::vector<float> samples(bytes.size() / sizeof(float));
    std::memcpy(samples.data(), bytes.data(), samples.size() * sizeof(float));
    return samples;
}
} // namespace readertest
