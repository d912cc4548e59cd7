// SPDX-License-Identifier: MIT
// Damage that sova-host must never miss, on a fixed set of files made at test time from real
// encoders' output (twolame, ffmpeg's mp2 and libmp3lame): header bit flips, inserted garbage,
// cuts, truncation, junk around the frames, and streams whose rate, channels, version or layer
// change. Each expectation comes from the intact file's frame layout as ffprobe lists it and from
// mpg123's decoding, never from sova-host's own frame walk.
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <sndfile.h>

#include "Process.h"

namespace {
using Bytes = std::string;

// A folder of its own, removed with everything in it.
class Folder {
public:
    Folder() {
        std::string pattern = std::filesystem::temp_directory_path().string() + "/sova-damage-XXXXXX";
        if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot make " + pattern);
        path_ = pattern;
    }
    ~Folder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;
    std::string File(const std::string& name) const { return path_ + "/" + name; }
private:
    std::string path_;
};

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

std::string Quote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

Bytes ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const std::string& path, const Bytes& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

testsupport::ProcessRun Shell(const std::string& command) {
    const testsupport::ProcessRun run = testsupport::RunShell(command);
    if (!run.Succeeded()) throw std::runtime_error("failed: " + command + "\n" + run.err);
    return run;
}

testsupport::ProcessRun Host(const std::vector<std::string>& args) {
    std::vector<std::string> command{SOVA_HOST_PATH, "--module", SOVA_MODULE_PATH};
    command.insert(command.end(), args.begin(), args.end());
    return testsupport::RunProcess(command);
}

// An intact stream and what the reference tools say of it.
struct Source {
    std::string path;
    int samplesPerFrame = 1152, rate = 0, channels = 0;
    bool infoHeader = false;        // an Info frame (LAME tag) before the audio: it promises the length
    std::vector<uint64_t> pos, size; // each audio frame's byte and length (ffprobe's packets)
    int64_t mpg123Samples = 0;       // per channel, from `mpg123 -e f32 -s`
    Bytes bytes;

    size_t Frames() const { return pos.size(); }
    double Seconds(int64_t frames) const { return static_cast<double>(frames) * samplesPerFrame / rate; }
    // Index of the frame holding byte `at`.
    size_t FrameAt(uint64_t at) const {
        return static_cast<size_t>(std::upper_bound(pos.begin(), pos.end(), at) - pos.begin()) - 1;
    }
};

int64_t Mpg123Samples(const std::string& path, int channels) {
    const testsupport::ProcessRun run = testsupport::RunShell("mpg123 -q -e f32 -s " + Quote(path) + " 2>/dev/null");
    return static_cast<int64_t>(run.out.size() / 4 / static_cast<size_t>(channels));
}

Source Describe(const std::string& path, int samplesPerFrame, int rate, int channels, bool infoHeader) {
    Source source{path, samplesPerFrame, rate, channels, infoHeader, {}, {}, 0, {}};
    std::istringstream packets(
        Shell("ffprobe -v error -show_entries packet=pos,size -of csv=p=0 " + Quote(path)).out);
    for (std::string line; std::getline(packets, line);) {
        if (line.empty()) continue;
        source.size.push_back(std::stoull(line.substr(0, line.find(','))));
        source.pos.push_back(std::stoull(line.substr(line.find(',') + 1)));
    }
    source.mpg123Samples = Mpg123Samples(path, channels);
    source.bytes = ReadBytes(path);
    return source;
}

// What sova-host should report for a damaged file.
struct Problem {
    std::string kind;
    uint64_t offset = 0;
    int64_t bytes = -1;   // junk or truncated: bytes; -1 not checked
    double seconds = 0;   // its time: the frames before it
    int64_t frames = -1;  // frame count: the frames found
};
struct Case {
    std::string name; // with its extension
    Bytes bytes;
    std::vector<Problem> problems;
    int64_t promised = 0;
};

// Garbage that holds no frame sync (no 0xFF byte).
Bytes Garbage(std::mt19937& random, size_t count) {
    Bytes garbage(count, 0);
    for (char& c : garbage) c = static_cast<char>(random() % 255);
    return garbage;
}

// For a stream with an Info header: what it promises, and the frame count found at the end
// when frames are missing (its time: the whole frames before it).
void PromiseOfInfoHeader(const Source& source, Case& c, int64_t framesFound, uint64_t end, bool lastCut = false) {
    c.promised = source.mpg123Samples;
    if (framesFound != static_cast<int64_t>(source.Frames()))
        c.problems.push_back({"frame count", end, -1, source.Seconds(framesFound - (lastCut ? 1 : 0)), framesFound});
}

// The frames whose headers survive (a cut last one too) promise their samples, unless an Info
// header promises the length.
void Promise(const Source& source, Case& c, int64_t framesFound, uint64_t end, bool lastCut = false) {
    if (source.infoHeader) PromiseOfInfoHeader(source, c, framesFound, end, lastCut);
    else c.promised = framesFound * source.samplesPerFrame;
}

// The damaged files made from one source, `seed` choosing where.
std::vector<Case> DamagedFrom(const Source& s, const std::string& tag, unsigned seed) {
    std::mt19937 random(seed);
    const std::string extension = s.path.substr(s.path.rfind('.'));
    const Bytes& in = s.bytes;
    const size_t n = s.Frames();
    const auto pick = [&](size_t from, size_t to) { return from + random() % (to - from); }; // [from, to)
    std::vector<Case> cases;

    { // Sync bits flipped in the headers of two frames apart: each frame becomes junk.
        const size_t k1 = pick(10, n / 2 - 1), k2 = pick(n / 2 + 1, n - 3);
        Case c{tag + "-header-flips" + extension, in, {}, 0};
        for (const size_t k : {k1, k2}) c.bytes[s.pos[k]] = static_cast<char>(in[s.pos[k]] ^ (1 << (random() % 8)));
        c.problems = {{"junk", s.pos[k1], static_cast<int64_t>(s.size[k1]), s.Seconds(static_cast<int64_t>(k1))},
                      {"junk", s.pos[k2], static_cast<int64_t>(s.size[k2]), s.Seconds(static_cast<int64_t>(k2 - 1))}};
        Promise(s, c, static_cast<int64_t>(n - 2), in.size());
        cases.push_back(c);
    }
    { // 4 KiB of garbage inside a frame: junk from where that frame's length ends.
        const size_t k = pick(10, n - 3); // after the frames the module decodes when it opens the file
        const uint64_t at = s.pos[k] + 4 + random() % (s.size[k] - 8);
        Case c{tag + "-garbage-inside" + extension, in.substr(0, at) + Garbage(random, 4096) + in.substr(at), {}, 0};
        c.problems = {{"junk", s.pos[k + 1], 4096, s.Seconds(static_cast<int64_t>(k + 1))}};
        Promise(s, c, static_cast<int64_t>(n), c.bytes.size());
        cases.push_back(c);
    }
    { // 100 bytes of garbage between two frames.
        const size_t k = pick(10, n - 3);
        Case c{tag + "-garbage-between" + extension, in.substr(0, s.pos[k]) + Garbage(random, 100) + in.substr(s.pos[k]), {}, 0};
        c.problems = {{"junk", s.pos[k], 100, s.Seconds(static_cast<int64_t>(k))}};
        Promise(s, c, static_cast<int64_t>(n), c.bytes.size());
        cases.push_back(c);
    }
    { // 5000 bytes cut from the middle of a frame: the frame's length now ends inside a later
      // frame, and from there to the next whole frame is junk.
        size_t k = 0, m = 0;
        uint64_t at = 0;
        const uint64_t cut = 5000;
        do {
            k = pick(10, n / 2);
            at = s.pos[k] + 4 + random() % (s.size[k] - 8);
            m = s.FrameAt(s.pos[k + 1] + cut); // where frame k's length ends, before the cut
        } while (s.pos[k + 1] + cut == s.pos[m]); // (a cut of whole frames' length would not show)
        Case c{tag + "-cut-5000" + extension, in.substr(0, at) + in.substr(at + cut), {}, 0};
        c.problems = {{"junk", s.pos[k + 1], static_cast<int64_t>(s.pos[m + 1] - cut - s.pos[k + 1]),
                       s.Seconds(static_cast<int64_t>(k + 1))}};
        Promise(s, c, static_cast<int64_t>(n - (m - k)), c.bytes.size());
        cases.push_back(c);
    }
    { // Cut to half, inside a frame: the last frame is truncated.
        uint64_t at = in.size() / 2;
        size_t k = s.FrameAt(at);
        if (at < s.pos[k] + 4) at += 8;
        Case c{tag + "-half" + extension, in.substr(0, at), {}, 0};
        c.problems = {{"truncated", s.pos[k], static_cast<int64_t>(at - s.pos[k]), s.Seconds(static_cast<int64_t>(k))}};
        Promise(s, c, static_cast<int64_t>(k + 1), at, true);
        cases.push_back(c);
    }
    { // The last frame truncated.
        const uint64_t at = s.pos[n - 1] + s.size[n - 1] / 2;
        Case c{tag + "-last-frame-cut" + extension, in.substr(0, at), {}, 0};
        c.problems = {{"truncated", s.pos[n - 1], static_cast<int64_t>(at - s.pos[n - 1]),
                       s.Seconds(static_cast<int64_t>(n - 1))}};
        Promise(s, c, static_cast<int64_t>(n), at, true);
        cases.push_back(c);
    }
    { // Junk after the last frame.
        const uint64_t end = s.pos[n - 1] + s.size[n - 1];
        Case c{tag + "-junk-at-end" + extension, in.substr(0, end) + Garbage(random, 500) + in.substr(end), {}, 0};
        c.problems = {{"junk", end, 500, s.Seconds(static_cast<int64_t>(n))}};
        Promise(s, c, static_cast<int64_t>(n), c.bytes.size());
        cases.push_back(c);
    }
    return cases;
}

// sova-host's JSON line for one file, read field by field (flat values and the problems array).
struct Report {
    std::string line;
    std::string Field(const std::string& key) const {
        const size_t at = line.find("\"" + key + "\":");
        if (at == std::string::npos) return "";
        const size_t from = at + key.size() + 3;
        return line.substr(from, line.find_first_of(",}", from) - from);
    }
    int64_t Number(const std::string& key) const { return std::stoll(Field(key)); }
    std::vector<std::map<std::string, std::string>> Problems() const {
        std::vector<std::map<std::string, std::string>> problems;
        size_t at = line.find("\"problems\":[");
        if (at == std::string::npos) return problems;
        const size_t end = line.find(']', at);
        while ((at = line.find('{', at)) != std::string::npos && at < end) {
            const size_t close = line.find('}', at);
            std::map<std::string, std::string> fields;
            std::istringstream entries(line.substr(at + 1, close - at - 1));
            for (std::string entry; std::getline(entries, entry, ',');) {
                const size_t colon = entry.find("\":");
                if (colon == std::string::npos) continue;
                std::string value = entry.substr(colon + 2);
                if (!value.empty() && value.front() == '"') value = value.substr(1, value.size() - 2);
                fields[entry.substr(1, colon - 1)] = value;
            }
            problems.push_back(fields);
            at = close;
        }
        return problems;
    }
};

// `info --verify --json` on many files at once, one report per file in order.
std::vector<Report> Verify(const std::vector<std::string>& paths) {
    std::vector<std::string> args{"info", "--verify", "--json"};
    args.insert(args.end(), paths.begin(), paths.end());
    const testsupport::ProcessRun run = Host(args);
    std::vector<Report> reports;
    std::istringstream lines(run.out);
    for (std::string line; std::getline(lines, line);) reports.push_back({line});
    return reports;
}

// 3 s of tones with a little noise (a different tone per channel), or with the tones only in
// the first half; 16-bit WAV.
void WriteTestSignal(const std::string& path, int rate, int channels, bool quietHalf) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file) throw std::runtime_error("cannot write " + path);
    std::mt19937 noise(1);
    std::vector<float> samples(static_cast<size_t>(3 * rate * channels));
    for (size_t i = 0; i < samples.size(); ++i) {
        const double t = static_cast<double>(i / static_cast<size_t>(channels)) / rate;
        const int channel = static_cast<int>(i % static_cast<size_t>(channels));
        const double tone = quietHalf && t >= 1.5 ? 0.0 : 0.4 * std::sin(2 * M_PI * (440 + 220 * channel) * t);
        samples[i] = static_cast<float>(tone + 0.05 * (static_cast<double>(noise() % 1000) / 1000 - 0.5));
    }
    sf_writef_float(file, samples.data(), 3 * rate);
    sf_close(file);
}

int64_t WavFrames(const std::string& path) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (file) sf_close(file);
    return file ? info.frames : -1;
}

class DamagedStreams : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir = new Folder;
        const auto wav = [](const std::string& name, int rate, int channels, bool quietHalf = false) {
            const std::string path = dir->File(name + ".wav");
            WriteTestSignal(path, rate, channels, quietHalf);
            return Quote(path);
        };
        const auto out = [](const std::string& name) { return dir->File(name); };
        // A loud stretch, then a quiet one: twolame's VBR chooses different bitrates for them.
        const std::string v48 = wav("v48", 48000, 2, true);
        const std::string s44 = wav("s44", 44100, 2), m44 = wav("m44", 44100, 1), s22 = wav("s22", 22050, 2),
                          s48 = wav("s48", 48000, 2), m24 = wav("m24", 24000, 1), m22 = wav("m22", 22050, 1);
        Shell("twolame --quiet -b 192 " + s44 + " " + Quote(out("twolame.mp2")));
        Shell("twolame --quiet -m m -b 96 " + m44 + " " + Quote(out("twolame-mono.mp2")));
        Shell("twolame --quiet -b 64 " + s22 + " " + Quote(out("twolame-lsf.mp2")));
        Shell("twolame --quiet -m m -b 48 " + m24 + " " + Quote(out("twolame-lsf-mono.mp2")));
        Shell("twolame --quiet -v " + v48 + " " + Quote(out("twolame-vbr.mp2")));
        Shell("ffmpeg -nostdin -v error -y -i " + s48 + " -c:a mp2 -b:a 256k " + Quote(out("ffmpeg.mp2")));
        Shell("ffmpeg -nostdin -v error -y -i " + s44 + " -c:a libmp3lame -b:a 128k " + Quote(out("lame.mp3")));
        Shell("ffmpeg -nostdin -v error -y -i " + m22 + " -c:a libmp3lame -b:a 48k " + Quote(out("lame-lsf.mp3")));
        Shell("ffmpeg -nostdin -v error -y -i " + s44 + " -c:a libmp3lame -b:a 160k -write_xing 0 -id3v2_version 0 " +
              Quote(out("lame-bare.mp3")));
        const testsupport::ProcessRun encoded =
            Host({"encode", "-q", "-b", "256", "--rate", "48000", dir->File("s44.wav"), out("sova-host.mp2")});
        if (!encoded.Succeeded()) throw std::runtime_error("sova-host encode failed: " + encoded.err);
        sources = new std::map<std::string, Source>{
            {"twolame", Describe(out("twolame.mp2"), 1152, 44100, 2, false)},
            {"twolame-mono", Describe(out("twolame-mono.mp2"), 1152, 44100, 1, false)},
            {"twolame-lsf", Describe(out("twolame-lsf.mp2"), 1152, 22050, 2, false)},
            {"twolame-lsf-mono", Describe(out("twolame-lsf-mono.mp2"), 1152, 24000, 1, false)},
            {"twolame-vbr", Describe(out("twolame-vbr.mp2"), 1152, 48000, 2, false)},
            {"ffmpeg", Describe(out("ffmpeg.mp2"), 1152, 48000, 2, false)},
            {"lame", Describe(out("lame.mp3"), 1152, 44100, 2, true)},
            {"lame-lsf", Describe(out("lame-lsf.mp3"), 576, 22050, 1, true)},
            {"lame-bare", Describe(out("lame-bare.mp3"), 1152, 44100, 2, false)},
            {"sova-host", Describe(out("sova-host.mp2"), 1152, 48000, 2, false)},
        };
    }
    static void TearDownTestSuite() {
        delete sources;
        delete dir;
    }
    static const Source& S(const std::string& name) { return sources->at(name); }
    // Parts of the two tests below (each test makes the sources anew).
    static void RandomBitFlipsThatChangeTheLengthAreNeverMissed();
    static void StreamsTheModuleRefusesAreNamedByTheirHeaders();
    static Folder* dir;
    static std::map<std::string, Source>* sources;
};
Folder* DamagedStreams::dir = nullptr;
std::map<std::string, Source>* DamagedStreams::sources = nullptr;

TEST_F(DamagedStreams, IntactFilesReportNoDamageAndRefusalsSayWhatTheHeadersShow) {
    // Tags at the end are tags, not junk: ID3v1, APEv2 (with its header), Lyrics3v2 before ID3v1.
    Bytes id3v1 = "TAG" + Bytes(125, ' ');
    const Bytes item = Bytes("\x05\0\0\0\0\0\0\0", 8) + "Title" + Bytes(1, '\0') + "hello";
    const auto apeFrame = [&](bool header) {
        Bytes frame = "APETAGEX" + Bytes("\xd0\x07\0\0", 4);
        const uint32_t size = static_cast<uint32_t>(item.size() + 32);
        for (int shift = 0; shift < 32; shift += 8) frame += static_cast<char>((size >> shift) & 0xFF);
        frame += Bytes("\x01\0\0", 3) + Bytes(1, '\0');
        frame += Bytes("\0\0\0", 3) + static_cast<char>(header ? 0xA0 : 0x80);
        return frame + Bytes(8, '\0');
    };
    const Bytes ape = apeFrame(true) + item + apeFrame(false);
    const Bytes lyricsBody = "LYRICSBEGININD0000210";
    const Bytes lyrics = lyricsBody + "0000" + std::to_string(lyricsBody.size()) + "LYRICS200";
    const Bytes mp2 = S("twolame").bytes;
    WriteBytes(dir->File("id3v1.mp2"), mp2 + id3v1);
    WriteBytes(dir->File("ape.mp2"), mp2 + ape);
    WriteBytes(dir->File("ape-id3v1.mp2"), mp2 + ape + id3v1);
    WriteBytes(dir->File("lyrics-id3v1.mp2"), mp2 + lyrics + id3v1);

    std::vector<std::string> paths;
    std::vector<const Source*> described;
    for (const auto& [name, source] : *sources) {
        paths.push_back(source.path);
        described.push_back(&source);
    }
    for (const char* tagged : {"id3v1.mp2", "ape.mp2", "ape-id3v1.mp2", "lyrics-id3v1.mp2"}) {
        paths.push_back(dir->File(tagged));
        described.push_back(&S("twolame"));
    }
    const std::vector<Report> reports = Verify(paths);
    ASSERT_EQ(reports.size(), paths.size());
    for (size_t i = 0; i < paths.size(); ++i) {
        const Report& report = reports[i];
        const Source& source = *described[i];
        SCOPED_TRACE(paths[i] + "\n" + report.line);
        EXPECT_EQ(report.Field("damaged"), "false");
        EXPECT_EQ(report.Field("problems"), "[]");
        EXPECT_EQ(report.Number("samples"), source.mpg123Samples);
        if (paths[i] != source.path) // a tagged copy: mpg123 skips the tags as well
            EXPECT_EQ(report.Number("samples"), Mpg123Samples(paths[i], source.channels));
        EXPECT_EQ(report.Number("frames"), report.Number("samples")) << "the older name stays";
        EXPECT_EQ(report.Number("promised_samples"), source.mpg123Samples);
        EXPECT_EQ(report.Number("mpeg_frames"), static_cast<int64_t>(source.Frames()));
        EXPECT_EQ(report.Field("lost_samples"), "0");
        // CBR or VBR from the frame lengths, and the average bitrate over the audio frames.
        uint64_t bytes = 0;
        for (const uint64_t size : source.size) bytes += size;
        const auto [smallest, largest] = std::minmax_element(source.size.begin(), source.size.end());
        const bool variable = *largest - *smallest > 1; // a padding byte is not a change of bitrate
        EXPECT_EQ(report.Field("bitrate_mode"), variable ? "\"VBR\"" : "\"CBR\"");
        EXPECT_NEAR(std::stod(report.Field("average_bitrate_kbps")),
                    static_cast<double>(bytes) * 8 / source.Seconds(static_cast<int64_t>(source.Frames())) / 1000, 0.01);
    }

    // In words: VBR with its average, samples (not frames) and the MPEG frame count.
    const testsupport::ProcessRun text = Host({"info", S("twolame-vbr").path});
    EXPECT_TRUE(Contains(text.out, "bitrate:      VBR, ") && Contains(text.out, " kbit/s on average (") &&
                Contains(text.out, " samples per channel, " + std::to_string(S("twolame-vbr").Frames()) +
                                       " MPEG frames, from the frame headers)"))
        << text.out;

    StreamsTheModuleRefusesAreNamedByTheirHeaders();
}

TEST_F(DamagedStreams, EveryDamageIsFoundWhereItIsAndLossIsCountedAgainstTheHeaders) {
    std::vector<Case> cases;
    unsigned seed = 1;
    for (const char* name : {"twolame", "twolame-mono", "twolame-lsf", "ffmpeg", "lame", "lame-lsf", "sova-host"})
        for (const unsigned variant : {0u, 1u}) {
            std::vector<Case> made = DamagedFrom(S(name), std::string(name) + "-" + std::to_string(variant), seed++);
            if (variant == 1) made.resize(3); // a second choice of places for the flips and the garbage
            cases.insert(cases.end(), made.begin(), made.end());
        }
    // Junk before the first frame.
    for (const char* name : {"twolame", "ffmpeg"}) {
        std::mt19937 random(seed++);
        Case c{std::string(name) + "-leading-junk.mp2", Garbage(random, 1000) + S(name).bytes, {}, 0};
        c.problems = {{"junk", 0, 1000, 0.0}};
        c.promised = static_cast<int64_t>(S(name).Frames()) * 1152;
        cases.push_back(c);
    }
    // An MP3 cut at a frame boundary: only its Info header tells.
    for (const char* name : {"lame", "lame-lsf"}) {
        const Source& s = S(name);
        const size_t half = s.Frames() / 2;
        Case c{std::string(name) + "-cut-between-frames.mp3", s.bytes.substr(0, s.pos[half]), {}, 0};
        PromiseOfInfoHeader(s, c, static_cast<int64_t>(half), s.pos[half]);
        cases.push_back(c);
    }
    // Two streams one after the other: the rate, the channels, the version or the layer changes.
    for (const auto& [first, second] : std::vector<std::pair<std::string, std::string>>{
             {"twolame", "ffmpeg"}, {"twolame", "twolame-mono"}, {"twolame", "twolame-lsf"}, {"twolame", "lame-bare"},
             {"twolame-lsf-mono", "twolame-mono"}}) {
        const Source &a = S(first), &b = S(second);
        Case c{first + "+" + second + ".mp2", a.bytes + b.bytes, {}, 0};
        c.problems = {{"format change", a.bytes.size(), -1, a.Seconds(static_cast<int64_t>(a.Frames()))}};
        c.promised = static_cast<int64_t>(a.Frames()) * a.samplesPerFrame + static_cast<int64_t>(b.Frames()) * b.samplesPerFrame;
        cases.push_back(c);
    }
    ASSERT_GE(cases.size(), 50u);

    std::vector<std::string> paths;
    for (const Case& c : cases) {
        paths.push_back(dir->File(c.name));
        WriteBytes(paths.back(), c.bytes);
    }
    const std::vector<Report> reports = Verify(paths);
    ASSERT_EQ(reports.size(), cases.size());
    for (size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        const Report& report = reports[i];
        SCOPED_TRACE(c.name + "\n" + report.line);
        EXPECT_EQ(report.Field("damaged"), "true");
        const auto problems = report.Problems();
        ASSERT_EQ(problems.size(), c.problems.size());
        for (size_t p = 0; p < problems.size(); ++p) {
            const Problem& expected = c.problems[p];
            auto got = problems[p];
            EXPECT_EQ(got["kind"], expected.kind);
            EXPECT_EQ(got["offset"], std::to_string(expected.offset));
            EXPECT_NEAR(std::stod(got["time_s"]), expected.seconds, 0.0011);
            if (expected.bytes >= 0) {
                EXPECT_EQ(got["bytes"], std::to_string(expected.bytes));
            }
            if (expected.frames >= 0) {
                EXPECT_EQ(got["frames"], std::to_string(expected.frames));
            }
        }
        EXPECT_EQ(report.Number("promised_samples"), c.promised);
        const int64_t delivered = report.Number("samples");
        EXPECT_EQ(report.Number("lost_samples"), std::max<int64_t>(c.promised - delivered, 0));
        EXPECT_EQ(report.Number("extra_samples"), std::max<int64_t>(delivered - c.promised, 0));
        EXPECT_EQ(report.Number("lost_frames"), report.Number("lost_samples")) << "the older name stays";
    }

    // decode fails on each with a line that says where and how much, and writes nothing; with
    // --keep-going it writes what was decoded, as long as info said.
    for (size_t i = 0; i < cases.size(); i += 7) {
        SCOPED_TRACE(cases[i].name);
        const std::string wav = dir->File("decoded.wav");
        testsupport::ProcessRun run = Host({"decode", paths[i], wav});
        EXPECT_EQ(run.ExitCode(), 1);
        EXPECT_TRUE(Contains(run.err, ": damaged: ") && Contains(run.err, " at byte " + std::to_string(cases[i].problems.front().offset)) &&
                    Contains(run.err, wav + " was not written"))
            << run.err;
        EXPECT_FALSE(std::ifstream(wav).good());
        run = Host({"decode", "--keep-going", paths[i], wav});
        EXPECT_EQ(run.ExitCode(), 0) << run.err;
        EXPECT_EQ(WavFrames(wav), reports[i].Number("samples"));
        std::remove(wav.c_str());
    }
    RandomBitFlipsThatChangeTheLengthAreNeverMissed();
}

// Bits flipped anywhere, as a disk or a link flips them: wherever the decoded length changes,
// the damage is reported; a flip in a frame's sync bits is junk exactly there.
void DamagedStreams::RandomBitFlipsThatChangeTheLengthAreNeverMissed() {
    std::vector<std::string> paths;
    std::vector<const Source*> from;
    std::vector<std::vector<uint64_t>> flipped;
    for (const char* name : {"twolame", "ffmpeg", "lame"}) {
        std::mt19937 random(std::hash<std::string>{}(name) % 1000);
        for (int file = 0; file < 20; ++file) {
            const Source& s = S(name);
            Bytes bytes = s.bytes;
            std::vector<uint64_t> at;
            for (int flip = 0; flip < 64; ++flip) {
                at.push_back(s.pos.front() + random() % (bytes.size() - s.pos.front()));
                bytes[at.back()] = static_cast<char>(bytes[at.back()] ^ (1 << (random() % 8)));
            }
            paths.push_back(dir->File(std::string(name) + "-flips-" + std::to_string(file) + (s.infoHeader ? ".mp3" : ".mp2")));
            WriteBytes(paths.back(), bytes);
            from.push_back(&s);
            flipped.push_back(at);
        }
    }
    const std::vector<Report> reports = Verify(paths);
    ASSERT_EQ(reports.size(), paths.size());
    int lengthChanged = 0, reported = 0;
    for (size_t i = 0; i < paths.size(); ++i) {
        SCOPED_TRACE(paths[i] + "\n" + reports[i].line);
        const int64_t decoded = reports[i].Number("samples");
        const bool damaged = reports[i].Field("damaged") == "true";
        lengthChanged += decoded != from[i]->mpg123Samples;
        reported += damaged;
        if (decoded != from[i]->mpg123Samples) {
            EXPECT_TRUE(damaged);
        }
        // A flip in the first header byte (all sync bits) of a frame: that byte is in junk.
        for (const uint64_t at : flipped[i]) {
            if (!std::binary_search(from[i]->pos.begin(), from[i]->pos.end(), at)) continue;
            bool inJunk = false;
            for (auto problem : reports[i].Problems())
                inJunk |= problem["kind"] == "junk" && std::stoull(problem["offset"]) <= at &&
                          at < std::stoull(problem["offset"]) + std::stoull(problem["bytes"]);
            EXPECT_TRUE(inJunk) << "byte " << at;
        }
    }
    RecordProperty("files", static_cast<int>(paths.size()));
    RecordProperty("length_changed", lengthChanged);
    RecordProperty("reported_damaged", reported);
    std::printf("%zu files with 64 flipped bits each: %d decode to another length, %d reported damaged\n", paths.size(),
                lengthChanged, reported);
}

// Junk to the end after a few good frames: the decoder finds nothing more, and reading gives up
// after a bounded number of fruitless reads rather than running on to the end. decode and info
// say so; decode --keep-going writes what was decoded, and what it says was lost makes up the
// rest of what mpg123 decodes. A shorter stretch of junk before good frames is read through, as
// mpg123 reads it when its resync has no limit, and is not given up on.
TEST(DecoderGivesUp, JunkToTheEndIsGivenUpOnAndAShorterStretchIsReadThrough) {
    const Folder dir;
    WriteTestSignal(dir.File("s44.wav"), 44100, 2, false);
    Shell("twolame --quiet -b 192 " + Quote(dir.File("s44.wav")) + " " + Quote(dir.File("twolame.mp2")));
    const Source s = Describe(dir.File("twolame.mp2"), 1152, 44100, 2, false);
    constexpr size_t kGood = 20;
    const Bytes head = s.bytes.substr(0, s.pos[kGood]);
    std::mt19937 random(19);
    const std::string toEnd = dir.File("junk-to-end.mp2"), between = dir.File("junk-then-frames.mp2");
    WriteBytes(toEnd, head + Garbage(random, 1 << 20)); // 1 MiB: far more than reading gets through before it gives up
    WriteBytes(between, head + Garbage(random, 16 << 10) + s.bytes.substr(s.pos[kGood]));
    const std::string gaveUp = "the decoder found nothing it could decode after that";
    // What decode --keep-going writes, and says was lost, make up what mpg123 decodes (its resync
    // without a limit).
    const auto decodedAsSaid = [&](const std::string& input, const std::string& wav, const testsupport::ProcessRun& run) {
        const int64_t written = WavFrames(wav);
        const int64_t reference = static_cast<int64_t>(
            Shell("mpg123 -q --resync-limit -1 -e f32 -s " + Quote(input) + " 2>/dev/null").out.size() / 8);
        EXPECT_LE(written, reference);
        if (written < reference)
            EXPECT_TRUE(Contains(run.err, std::to_string(reference - written) + " samples (")) << run.err;
        return written;
    };
    char failedAt[64]; // where the frames before the junk end, as decoded

    // Each run that gives up costs a few seconds (more in the sanitizer build): two of them.
    testsupport::ProcessRun run = Host({"decode", "--keep-going", toEnd, dir.File("to-end.wav")});
    EXPECT_EQ(run.ExitCode(), 0) << run.err;
    EXPECT_TRUE(Contains(run.err, std::to_string(1 << 20) + " bytes of junk at byte " + std::to_string(s.pos[kGood])) &&
                Contains(run.err, gaveUp))
        << run.err;
    const int64_t beforeJunk = decodedAsSaid(toEnd, dir.File("to-end.wav"), run);
    EXPECT_GT(beforeJunk, 0);
    std::snprintf(failedAt, sizeof failedAt, "the decoder failed at %.3f s", static_cast<double>(beforeJunk) / 44100);
    EXPECT_TRUE(Contains(run.err, failedAt)) << run.err;
    run = Host({"info", "--verify", toEnd});
    EXPECT_EQ(run.ExitCode(), 1);
    EXPECT_TRUE(Contains(run.out, gaveUp)) << run.out;

    run = Host({"decode", "--keep-going", between, dir.File("between.wav")});
    EXPECT_EQ(run.ExitCode(), 0) << run.err;
    EXPECT_TRUE(Contains(run.err, failedAt) && !Contains(run.err, gaveUp)) << run.err;
    EXPECT_GT(decodedAsSaid(between, dir.File("between.wav"), run), s.mpg123Samples / 2) << "reading stopped at the junk";
}

void DamagedStreams::StreamsTheModuleRefusesAreNamedByTheirHeaders() {
    Shell("twolame --quiet --freeformat -b 192 " + Quote(dir->File("s44.wav")) + " " + Quote(dir->File("free.mp2")));
    // Garbage inside the frames that the module decodes when it opens the file (libmpg123 1.31
    // gives up there, and the module refuses the file): what the headers show is said either way,
    // and without --verify too.
    const Source& s = S("twolame");
    std::mt19937 random(5);
    WriteBytes(dir->File("early.mp2"), s.bytes.substr(0, s.pos[3] + 300) + Garbage(random, 4096) + s.bytes.substr(s.pos[3] + 300));
    const testsupport::ProcessRun run = Host({"info", dir->File("free.mp2"), dir->File("early.mp2")});
    EXPECT_EQ(run.ExitCode(), 1);
    EXPECT_TRUE(Contains(run.out, "refused:      unusable: free-format bitstream (not supported)")) << run.out;
    EXPECT_TRUE(Contains(run.out, "4096 bytes of junk at byte " + std::to_string(s.pos[4]))) << run.out;
    const testsupport::ProcessRun json = Host({"info", "--json", dir->File("early.mp2")});
    EXPECT_TRUE(Contains(json.out, "\"problems\":[{\"kind\":\"junk\",\"offset\":" + std::to_string(s.pos[4]))) << json.out;
}
} // namespace
