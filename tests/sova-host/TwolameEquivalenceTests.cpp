// SPDX-License-Identifier: MIT
// The README's table of twolame and sova-host commands that write the same file, proved row by
// row: both programs run on the same 16-bit WAV (stereo and mono, at an MPEG-1 and an MPEG-2 LSF
// rate) and their MP2 files compared byte for byte.
#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "HostTestSupport.h"
#include "WriterTestSupport.h"

namespace {
using hosttest::Host;
using hosttest::MakeAudio;

struct Row {
    std::vector<std::string> twolame, sovaHost; // words after the program's name
    bool DefaultBitrate() const {
        return std::find(sovaHost.begin(), sovaHost.end(), "-b") == sovaHost.end();
    }
};

std::vector<std::string> Words(const std::string& command) {
    std::istringstream in(command);
    return {std::istream_iterator<std::string>(in), std::istream_iterator<std::string>()};
}

// The rows of the README's "Same bytes as twolame" table: | `twolame ...` | `sova-host ...` |
std::vector<Row> ReadmeRows() {
    std::ifstream readme(SOVA_SOURCE_DIR "/README.md");
    std::vector<Row> rows;
    bool inSection = false;
    for (std::string line; std::getline(readme, line);) {
        if (line.starts_with("#")) inSection = line.find("Same bytes as twolame") != std::string::npos;
        const std::string twolame = "| `twolame ", sovaHost = "` | `sova-host ";
        const size_t middle = line.find(sovaHost);
        if (!inSection || !line.starts_with(twolame) || middle == std::string::npos) continue;
        const size_t end = line.find('`', middle + sovaHost.size());
        rows.push_back({Words(line.substr(twolame.size(), middle - twolame.size())),
                        Words(line.substr(middle + sovaHost.size(), end - middle - sovaHost.size()))});
    }
    return rows;
}

std::string Joined(const std::vector<std::string>& words) {
    std::string text;
    for (const auto& word : words) text += (text.empty() ? "" : " ") + word;
    return text;
}

// in.wav and out.mp2 of a row's words made into these paths.
std::vector<std::string> WithPaths(std::vector<std::string> words, const std::string& in, const std::string& out) {
    for (auto& word : words) word = word == "in.wav" ? in : word == "out.mp2" ? out : word;
    return words;
}

// Runs the rows with or without -b on stereo and mono sources at `rate`; each pair of files
// must be the same bytes.
void ProveRows(int rate, bool defaultBitrate) {
    const std::vector<Row> rows = ReadmeRows();
    ASSERT_GE(rows.size(), 4u) << "the README's table was not found";
    writertest::TempDir dir;
    int proved = 0;
    for (int channels : {2, 1}) {
        const std::string source = dir.File(std::to_string(channels) + ".wav");
        MakeAudio(source, rate, channels, 0.5, "-c:a pcm_s16le");
        for (const Row& row : rows) {
            if (row.DefaultBitrate() != defaultBitrate) continue;
            SCOPED_TRACE(Joined(row.sovaHost) + " | " + std::to_string(rate) + " Hz, " + std::to_string(channels) +
                         " channel(s)");
            const std::string ours = dir.File("sova-host.mp2"), theirs = dir.File("twolame.mp2");
            std::vector<std::string> twolame = WithPaths(row.twolame, source, theirs);
            twolame.insert(twolame.begin(), {"twolame", "--quiet"});
            const auto reference = testsupport::RunProcess(twolame);
            ASSERT_EQ(reference.ExitCode(), 0) << reference.err;
            std::vector<std::string> encode = WithPaths(row.sovaHost, source, ours);
            encode.insert(encode.begin() + 1, "-y"); // after "encode"
            const auto run = Host(encode);
            ASSERT_EQ(run.ExitCode(), 0) << run.err;
            const auto expected = writertest::ReadBytes(theirs), got = writertest::ReadBytes(ours);
            EXPECT_FALSE(expected.empty());
            EXPECT_TRUE(got == expected) << got.size() << " bytes from sova-host, " << expected.size()
                                         << " from twolame\n" << run.out;
            ++proved;
        }
    }
    EXPECT_GT(proved, 0);
}

TEST(TwolameEquivalence, RowsWithABitrateAtAnMpeg1Rate) { ProveRows(44100, false); }

// sova-host keeps a source's MPEG-2 LSF rate when the bitrate is legal there, as twolame does.
TEST(TwolameEquivalence, RowsWithABitrateAtAnMpeg2LsfRate) { ProveRows(22050, false); }

// Without -b sova-host takes twolame's bitrates: 192 kbit/s stereo and 96 mono at the MPEG-1
// rates, 96 and 48 at the MPEG-2 LSF rates.
TEST(TwolameEquivalence, RowsWithoutABitrate) {
    ProveRows(48000, true);
    ProveRows(24000, true);
}
} // namespace
