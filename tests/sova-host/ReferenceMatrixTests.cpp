// SPDX-License-Identifier: MIT
// The reference matrix: sova-host encode on sources in every sample format, at the six MPEG
// rates, with every bitrate Layer II allows there, mono and stereo. Each output's every frame
// header must say the rate, bitrate and mode asked for; a 16-bit source that needs no conversion
// must give twolame's bytes; any other must decode at the source's level and follow its
// waveform. Every combination Layer II does not allow must be refused with no file left.
//
// Rows run SOVA_MATRIX_JOBS at a time (default 3); SOVA_MATRIX_STRIDE=n runs every n-th row only
// (the sanitizer build does). Each test prints its time and the measured ranges;
// SOVA_MATRIX_VERBOSE=1 prints every row's figures.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <fmt/format.h>
#include <fmt/ranges.h>

#include "AudioCompare.h"
#include "Process.h"
#include "WriterTestSupport.h"

namespace {
namespace fs = std::filesystem;
using testsupport::Audio;

// Layer II as ISO/IEC 11172-3 and 13818-3 give it, written out independently of sova-host.
constexpr int kRates[] = {16000, 22050, 24000, 32000, 44100, 48000};
const std::vector<int> kMpeg1Mono = {32, 48, 56, 64, 80, 96, 112, 128, 160, 192};
const std::vector<int> kMpeg1Stereo = {64, 96, 112, 128, 160, 192, 224, 256, 320, 384};
const std::vector<int> kLsfAnyMode = {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
const std::vector<int> kEveryLayerTwoBitrate = {8,  16,  24,  32,  40,  48,  56,  64,  80, 96,
                                                112, 128, 144, 160, 192, 224, 256, 320, 384};

const std::vector<int>& LegalBitrates(int rate, bool mono) {
    if (rate < 32000) return kLsfAnyMode;
    return mono ? kMpeg1Mono : kMpeg1Stereo;
}
bool IsLegal(int kbps, int rate, bool mono) {
    const auto& legal = LegalBitrates(rate, mono);
    return std::find(legal.begin(), legal.end(), kbps) != legal.end();
}

// WAV sample formats by the names ffmpeg gives them.
const std::map<std::string, int> kWavFormats = {
    {"u8", SF_FORMAT_PCM_U8},  {"s16", SF_FORMAT_PCM_16}, {"s24", SF_FORMAT_PCM_24},
    {"s32", SF_FORMAT_PCM_32}, {"f32", SF_FORMAT_FLOAT},  {"f64", SF_FORMAT_DOUBLE},
};

// One encode asked of sova-host.
struct Row {
    std::string format; // the source's sample format
    int rate = 0;       // asked for: the source's rate, or --rate when sourceRate differs
    int sourceRate = 0;
    bool mono = false; // a mono source with -m m, else a stereo source with -m s
    int kbps = 0;

    bool Resampled() const { return sourceRate != rate; }
    std::string Name() const {
        return fmt::format("{}-{}{}-{}-{}", format, rate, Resampled() ? fmt::format("-from-{}", sourceRate) : "",
                           mono ? "mono" : "stereo", kbps);
    }
};

// What one row gave: faults by kind ("exit", "header", "bytes", "level", "correlation",
// "message", "no --rate", "file left"), and the measured figures.
struct Outcome {
    std::map<std::string, std::string> faults;
    bool measured = false;
    double worstLevelDb = 0, worstCorrelation = 1; // over the channels
    long lag = 0;
};

std::string SourcePath(const std::string& folder, const std::string& format, int rate, bool mono) {
    return fmt::format("{}/{}-{}-{}.wav", folder, format, rate, mono ? "mono" : "stereo");
}

void MakeSource(const std::string& folder, const std::string& format, int rate, bool mono) {
    const std::string path = SourcePath(folder, format, rate, mono);
    if (!fs::exists(path))
        testsupport::WriteAudio(path, testsupport::TestSignal(rate, mono ? 1 : 2), SF_FORMAT_WAV | kWavFormats.at(format));
}

int EnvironmentNumber(const char* name, int fallback) {
    const char* text = std::getenv(name);
    return text && std::atoi(text) > 0 ? std::atoi(text) : fallback;
}

// Every n-th row when SOVA_MATRIX_STRIDE=n, from the first-th (taken modulo n, so that the sample
// formats can each take other rows).
template <class T>
std::vector<T> Sampled(const std::vector<T>& all, size_t first = 0) {
    const size_t stride = static_cast<size_t>(EnvironmentNumber("SOVA_MATRIX_STRIDE", 1));
    std::vector<T> kept;
    for (size_t i = first % stride; i < all.size(); i += stride) kept.push_back(all[i]);
    return kept;
}

// Calls job(0) .. job(count - 1) from SOVA_MATRIX_JOBS threads.
template <class Job>
void RunInParallel(size_t count, const Job& job) {
    std::atomic<size_t> next{0};
    std::vector<std::thread> workers;
    for (int w = 0; w < EnvironmentNumber("SOVA_MATRIX_JOBS", 3); ++w)
        workers.emplace_back([&] {
            for (size_t i; (i = next++) < count;) job(i);
        });
    for (auto& worker : workers) worker.join();
}

testsupport::ProcessRun Host(std::vector<std::string> args) {
    args.insert(args.begin(), {SOVA_HOST_PATH, "--module", SOVA_MODULE_PATH});
    return testsupport::RunProcess(std::move(args));
}

std::vector<std::string> EncodeArguments(const Row& row, const std::string& source, const std::string& out) {
    std::vector<std::string> args{"encode", "-b", std::to_string(row.kbps), "-m", row.mono ? "m" : "s"};
    if (row.Resampled()) args.insert(args.end(), {"--rate", std::to_string(row.rate)});
    args.insert(args.end(), {source, out});
    return args;
}

std::string FirstLine(const std::string& text) { return text.substr(0, text.find('\n')); }

std::string Describe(const testsupport::MpegFrameFacts& f) {
    return fmt::format("MPEG-{} layer {}, {} Hz, {} kbit/s, mode {}", f.version == 1 ? "1" : f.version == 2 ? "2" : "2.5",
                       f.layer, f.rate, f.bitrate, f.mode);
}

// The frames say what was asked, every one of them.
void CheckHeaders(const Row& row, const testsupport::DecodedMpeg& decoded, Outcome& outcome) {
    const testsupport::MpegFrameFacts asked{row.rate >= 32000 ? 1 : 2, 2, row.rate, row.kbps, row.mono ? 3 : 0};
    size_t wrong = 0;
    for (const auto& frame : decoded.frames) wrong += frame != asked;
    if (wrong)
        outcome.faults["header"] = fmt::format("{} of {} frames differ; first: {} (asked: {})", wrong,
                                               decoded.frames.size(), Describe(decoded.frames.front()), Describe(asked));
}

// Level and waveform of decoded against reference, channel by channel; the worst are kept.
void Measure(const Audio& reference, const Audio& decoded, long minLag, long maxLag, Outcome& outcome) {
    if (decoded.rate != reference.rate || decoded.channels != reference.channels) return; // a header fault
    outcome.measured = true;
    for (int c = 0; c < reference.channels; ++c) {
        const testsupport::Match match =
            testsupport::AlignAndCompare(reference.Channel(c), decoded.Channel(c), minLag, maxLag);
        if (std::abs(match.levelDb) >= std::abs(outcome.worstLevelDb)) outcome.worstLevelDb = match.levelDb;
        if (match.correlation < outcome.worstCorrelation) outcome.worstCorrelation = match.correlation, outcome.lag = match.lag;
    }
    if (std::abs(outcome.worstLevelDb) > 0.5)
        outcome.faults["level"] = fmt::format("decoded level {:+.2f} dB from the source's", outcome.worstLevelDb);
    if (outcome.worstCorrelation < 0.9)
        outcome.faults["correlation"] = fmt::format("correlation {:.3f} at the best delay ({} samples)",
                                                    outcome.worstCorrelation, outcome.lag);
}

// Encodes one legal row with sova-host and checks what it wrote.
Outcome RunLegalRow(const Row& row, const std::string& sources, const std::string& outputs) {
    Outcome outcome;
    const std::string source = SourcePath(sources, row.format, row.sourceRate, row.mono);
    const std::string out = fmt::format("{}/{}.mp2", outputs, row.Name());
    const testsupport::ProcessRun run = Host(EncodeArguments(row, source, out));
    if (run.ExitCode() != 0 || !fs::exists(out)) {
        outcome.faults["exit"] = fmt::format("exit status {}: {}", run.ExitCode(), FirstLine(run.err));
        return outcome;
    }
    const testsupport::DecodedMpeg decoded = testsupport::DecodeMpeg(out);
    if (!decoded.error.empty()) {
        outcome.faults["header"] = "libmpg123 cannot decode the output: " + decoded.error;
        return outcome;
    }
    CheckHeaders(row, decoded, outcome);
    // A resampled row is compared with the same tones made at the output rate.
    Measure(row.Resampled() ? testsupport::TestSignal(row.rate, row.mono ? 1 : 2) : testsupport::ReadAudio(source),
            decoded.audio, -256, 2048, outcome);
    if (row.format == "s16" && !row.Resampled()) {
        // Nothing to convert: the module's encoding must be twolame's on the same samples, whatever
        // the encoder makes of the signal at that bitrate.
        outcome.faults.erase("level"), outcome.faults.erase("correlation");
        const auto reference = writertest::TwolameReference(
            source, {"-P", "1", "-o", "-b", std::to_string(row.kbps), "-m", row.mono ? "m" : "s"}, out + ".twolame");
        const auto bytes = writertest::ReadBytes(out);
        if (bytes != reference) {
            const auto diff = std::mismatch(bytes.begin(), bytes.end(), reference.begin(), reference.end());
            outcome.faults["bytes"] = fmt::format("{} bytes, twolame's {}; first difference at byte {}", bytes.size(),
                                                  reference.size(), diff.first - bytes.begin());
        }
    }
    return outcome;
}

// The figures of a set of rows, printed with the test's result.
struct Summary {
    std::string title;
    size_t rows = 0;
    double seconds = 0;
    double levelMin = 1e9, levelMax = -1e9, correlationMin = 2, correlationMax = -2;
    std::map<std::string, int> faultsByKind;

    void Add(const Outcome& outcome) {
        ++rows;
        for (const auto& [kind, detail] : outcome.faults) ++faultsByKind[kind];
        if (!outcome.measured) return;
        levelMin = std::min(levelMin, outcome.worstLevelDb), levelMax = std::max(levelMax, outcome.worstLevelDb);
        correlationMin = std::min(correlationMin, outcome.worstCorrelation);
        correlationMax = std::max(correlationMax, outcome.worstCorrelation);
    }
    void Print() const {
        std::string faults;
        for (const auto& [kind, count] : faultsByKind) faults += fmt::format(" {} {};", kind, count);
        const std::string figures = levelMin > levelMax ? "" : fmt::format("; level {:+.2f}..{:+.2f} dB; correlation "
                                                                           "{:.4f}..{:.4f}", levelMin, levelMax,
                                                                           correlationMin, correlationMax);
        std::printf("[  matrix  ] %s: %zu rows in %.1f s (%d at a time)%s; rows with faults by kind:%s\n", title.c_str(),
                    rows, seconds, EnvironmentNumber("SOVA_MATRIX_JOBS", 3), figures.c_str(),
                    faults.empty() ? " none" : faults.c_str());
    }
};

// Runs rows in parallel; every fault becomes a test failure naming its row.
template <class RunRow>
void RunRows(const std::string& title, const std::vector<Row>& rows, const RunRow& runRow) {
    std::vector<Outcome> outcomes(rows.size());
    const auto started = std::chrono::steady_clock::now();
    RunInParallel(rows.size(), [&](size_t i) {
        try {
            outcomes[i] = runRow(rows[i]);
        } catch (const std::exception& error) {
            outcomes[i].faults["test"] = error.what();
        }
    });
    Summary summary;
    summary.title = title;
    summary.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    const bool everyRow = std::getenv("SOVA_MATRIX_VERBOSE") != nullptr;
    for (size_t i = 0; i < rows.size(); ++i) {
        summary.Add(outcomes[i]);
        if (everyRow && outcomes[i].measured)
            std::printf("[  matrix  ] %s: level %+.3f dB, correlation %.4f, delay %ld\n", rows[i].Name().c_str(),
                        outcomes[i].worstLevelDb, outcomes[i].worstCorrelation, outcomes[i].lag);
        for (const auto& [kind, detail] : outcomes[i].faults) ADD_FAILURE() << rows[i].Name() << ": " << kind << ": " << detail;
    }
    summary.Print();
}

class ReferenceMatrix : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        testsupport::MpegDecoderReady();
        for (const char* display : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) unsetenv(display); // no dialog
    }
    std::string Folder(const std::string& name) const {
        fs::create_directories(dir.File(name));
        return dir.File(name);
    }
    writertest::TempDir dir;
};

class EverySampleFormat : public ReferenceMatrix, public ::testing::WithParamInterface<std::string> {};

TEST_P(EverySampleFormat, EveryRateBitrateAndModeLayerTwoAllowsIsWrittenAsAsked) {
    const std::string format = GetParam(), sources = Folder("sources"), outputs = Folder("outputs");
    std::vector<Row> rows;
    for (int rate : kRates)
        for (bool mono : {true, false}) {
            MakeSource(sources, format, rate, mono);
            for (int kbps : LegalBitrates(rate, mono)) rows.push_back({format, rate, rate, mono, kbps});
        }
    const size_t formatIndex = static_cast<size_t>(std::distance(kWavFormats.begin(), kWavFormats.find(format)));
    RunRows(format + " WAV", Sampled(rows, 4 * formatIndex), [&](const Row& row) { return RunLegalRow(row, sources, outputs); });
}

INSTANTIATE_TEST_SUITE_P(Wav, EverySampleFormat, ::testing::Values("u8", "s16", "s24", "s32", "f32", "f64"),
                         [](const auto& info) { return info.param; });

TEST_F(ReferenceMatrix, EveryRateAskedWithRateIsWrittenFromA44100Or48000HzSource) {
    // At each rate and mode: the lowest and highest bitrates and those the module's table ties to
    // other rates (48, 56, 80, 144), the source formats in turn.
    const std::string sources = Folder("sources"), outputs = Folder("outputs");
    const std::vector<std::string> formats = {"u8", "s16", "s24", "s32", "f32", "f64"};
    std::vector<Row> rows;
    for (int rate : kRates)
        for (bool mono : {true, false}) {
            const auto& legal = LegalBitrates(rate, mono);
            for (int kbps : {legal.front(), 48, 56, 80, 144, legal.back()}) {
                if (!IsLegal(kbps, rate, mono)) continue;
                const Row row{formats[rows.size() % formats.size()], rate, rate == 48000 ? 44100 : 48000, mono, kbps};
                MakeSource(sources, row.format, row.sourceRate, row.mono);
                rows.push_back(row);
            }
        }
    RunRows("resampled with --rate", Sampled(rows), [&](const Row& row) { return RunLegalRow(row, sources, outputs); });
}

// The text holds the list, in order and with nothing but separators between its numbers
// ("64, 96, 112" or "64/96/112").
bool NamesList(const std::string& text, const std::vector<int>& list) {
    std::string pattern = "(^|[^0-9])";
    for (size_t i = 0; i < list.size(); ++i) pattern += (i ? "[^0-9a-zA-Z]+" : "") + std::to_string(list[i]);
    return std::regex_search(text, std::regex(pattern + "([^0-9]|$)"));
}

TEST_F(ReferenceMatrix, EveryCombinationLayerTwoDoesNotAllowIsRefusedWithNoFileLeft) {
    // At each rate and mode, every Layer II bitrate that is not allowed there: from a source at
    // that rate, and the first of them also with --rate from a 44100 Hz source. The message names
    // the bitrates allowed there and, where there is one, a --rate that allows the bitrate.
    const std::string sources = Folder("sources");
    std::vector<Row> rows;
    for (int rate : kRates)
        for (bool mono : {true, false}) {
            MakeSource(sources, "s16", rate, mono);
            MakeSource(sources, "s16", 44100, mono);
            bool first = true;
            for (int kbps : kEveryLayerTwoBitrate)
                if (!IsLegal(kbps, rate, mono)) {
                    rows.push_back({"s16", rate, rate, mono, kbps});
                    if (first && rate != 44100) rows.push_back({"s16", rate, 44100, mono, kbps});
                    first = false;
                }
        }
    RunRows("refused", Sampled(rows), [&](const Row& row) {
        Outcome outcome;
        const std::string folder = Folder("refused/" + row.Name());
        const testsupport::ProcessRun run =
            Host(EncodeArguments(row, SourcePath(sources, "s16", row.sourceRate, row.mono), folder + "/out.mp2"));
        if (run.ExitCode() != 1) outcome.faults["exit"] = fmt::format("exit status {}, not 1", run.ExitCode());
        if (!NamesList(run.err, LegalBitrates(row.rate, row.mono)))
            outcome.faults["message"] = fmt::format("does not name the allowed {} kbit/s: '{}'",
                                                    fmt::join(LegalBitrates(row.rate, row.mono), ", "), FirstLine(run.err));
        std::vector<std::string> ratesAllowing;
        for (int rate : kRates)
            if (IsLegal(row.kbps, rate, row.mono)) ratesAllowing.push_back(std::to_string(rate));
        const std::regex namesRate("--rate[ =](" + fmt::format("{}", fmt::join(ratesAllowing, "|")) + ")([^0-9]|$)");
        if (!ratesAllowing.empty() && !std::regex_search(run.err, namesRate))
            outcome.faults["no --rate"] = fmt::format("does not name --rate {}: '{}'", fmt::join(ratesAllowing, " or "),
                                                      FirstLine(run.err));
        if (!fs::is_empty(folder)) outcome.faults["file left"] = fmt::format("{} is not empty", folder);
        return outcome;
    });
}

// Sources users have that are not WAV, made by ffmpeg from a WAV: sova-host's MP2 must decode at
// the level of the source as ffmpeg decodes it.
struct OtherSource {
    std::string name, wavFormat, ffmpegOptions;
};
void PrintTo(const OtherSource& source, std::ostream* out) { *out << source.name; }

class SourcesUsersHave : public ReferenceMatrix, public ::testing::WithParamInterface<OtherSource> {};

TEST_P(SourcesUsersHave, AreWrittenAtTheirOwnLevel) {
    const OtherSource& kind = GetParam();
    const std::string wav = dir.File("source.wav"), source = dir.File("source." + kind.name.substr(0, kind.name.find('-')));
    const std::string decodedSource = dir.File("decoded-source.wav"), out = dir.File("out.mp2");
    testsupport::WriteAudio(wav, testsupport::TestSignal(44100, 2, 0.6), SF_FORMAT_WAV | kWavFormats.at(kind.wavFormat));
    const std::string ffmpeg = "ffmpeg -nostdin -v error -y -i '" + wav + "' " + kind.ffmpegOptions + " '" + source +
                               "' && ffmpeg -nostdin -v error -y -i '" + source + "' -c:a pcm_f64le '" + decodedSource + "'";
    const testsupport::ProcessRun made = testsupport::RunShell(ffmpeg);
    ASSERT_TRUE(made.Succeeded()) << made.err;

    const testsupport::ProcessRun run = Host({"encode", "-b", "192", "-m", "s", source, out});
    ASSERT_EQ(run.ExitCode(), 0) << run.err;
    const testsupport::DecodedMpeg decoded = testsupport::DecodeMpeg(out);
    ASSERT_EQ(decoded.error, "");
    Outcome outcome;
    CheckHeaders({kind.name, 44100, 44100, false, 192}, decoded, outcome);
    // Wide delay window: an MP3 decoder may or may not skip the encoder's delay.
    Measure(testsupport::ReadAudio(decodedSource), decoded.audio, -3000, 3000, outcome);
    std::printf("[  matrix  ] %s: level %+.3f dB, correlation %.4f (worst channel) at a delay of %ld samples\n",
                kind.name.c_str(), outcome.worstLevelDb, outcome.worstCorrelation, outcome.lag);
    EXPECT_TRUE(outcome.measured) << "the output is not 44100 Hz stereo";
    for (const auto& [kindOfFault, detail] : outcome.faults) ADD_FAILURE() << kindOfFault << ": " << detail;
}

INSTANTIATE_TEST_SUITE_P(
    Files, SourcesUsersHave,
    ::testing::Values(OtherSource{"flac-16", "s16", "-c:a flac"}, OtherSource{"flac-24", "s24", "-c:a flac"},
                      OtherSource{"aiff-24", "s24", "-c:a pcm_s24be"}, OtherSource{"mp3", "f64", "-c:a libmp3lame -b:a 192k"},
                      OtherSource{"ogg", "f64", "-c:a libvorbis -q:a 6"}),
    [](const auto& info) {
        std::string name = info.param.name;
        name.erase(std::remove(name.begin(), name.end(), '-'), name.end());
        return name;
    });
} // namespace
