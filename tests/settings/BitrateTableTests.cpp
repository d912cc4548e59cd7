// SPDX-License-Identifier: MIT
// The Layer II bitrate table and its lookups.
#include <climits>

#include <gtest/gtest.h>

#include "settings/BitrateTable.h"

namespace {
int32_t RowBitrate(int32_t kbps, int32_t channels = 2) {
    const sova::BitrateRow* row = sova::FindBitrateRow(kbps, channels);
    return row ? row->bitsPerSecond : -1;
}

struct Choice {
    bool ok;
    int32_t rate;
    int32_t rowBitrate;
    bool operator==(const Choice&) const = default;
};

Choice ChooseRate(int32_t kbps, int32_t sourceRate, int32_t channels = 2) {
    Choice choice{false, -1, -1};
    choice.ok = sova::ChooseSampleRate(kbps, channels, sourceRate, choice.rate, choice.rowBitrate);
    return choice;
}

// The bitrate chosen (what the call answers is true by contract, whatever it chooses).
int32_t ChooseBitrate(int32_t kbps, int32_t sampleRate, int32_t channels = 2) {
    sova::ChooseBitrate(kbps, sampleRate, channels);
    return kbps;
}
} // namespace

TEST(BitrateTable, RowsAndFindBitrateRow) {
    const auto rows = sova::BitrateRows(2);
    ASSERT_EQ(rows.size(), 19u);
    for (size_t i = 1; i < rows.size(); ++i) EXPECT_LT(rows[i - 1].bitsPerSecond, rows[i].bitsPerSecond);
    EXPECT_EQ(rows[5].bitsPerSecond, 48);
    EXPECT_EQ(rows[5].defaultSampleRate, 22050); // not an allowed rate of its row, as the table has it
    EXPECT_EQ(rows[12].defaultSampleRate, 24000);

    EXPECT_EQ(RowBitrate(INT_MIN), -1);
    EXPECT_EQ(RowBitrate(0), -1);
    EXPECT_EQ(RowBitrate(7), -1);
    EXPECT_EQ(RowBitrate(8), 8);
    EXPECT_EQ(RowBitrate(9), 8);
    EXPECT_EQ(RowBitrate(47), 40);
    EXPECT_EQ(RowBitrate(150), 144);
    EXPECT_EQ(RowBitrate(383), 320);
    EXPECT_EQ(RowBitrate(384), 384);
    EXPECT_EQ(RowBitrate(INT_MAX), 384);

    // The channel count picks between two identical tables: it never changes a result.
    for (int32_t kbps = -1; kbps <= 400; ++kbps)
        for (int32_t channels : {0, 1, 6}) ASSERT_EQ(RowBitrate(kbps, channels), RowBitrate(kbps)) << kbps;
}

TEST(BitrateTable, ChooseSampleRate) {
    EXPECT_EQ(ChooseRate(192, 44100), (Choice{true, 44100, 192}));
    EXPECT_EQ(ChooseRate(192, 96000), (Choice{true, 48000, 192}));
    EXPECT_EQ(ChooseRate(192, 32000), (Choice{true, 32000, 192}));
    EXPECT_EQ(ChooseRate(192, 22050), (Choice{true, 44100, 192}));
    EXPECT_EQ(ChooseRate(192, 0), (Choice{true, 44100, 192}));
    EXPECT_EQ(ChooseRate(32, 44100), (Choice{true, 16000, 32}));
    EXPECT_EQ(ChooseRate(40, 96000, 1), (Choice{true, 22050, 40})); // the low rows never give 48000
    EXPECT_EQ(ChooseRate(48, 11025), (Choice{true, 22050, 48}));
    EXPECT_EQ(ChooseRate(144, 8000), (Choice{true, 24000, 144}));
    EXPECT_EQ(ChooseRate(100, 44100), (Choice{true, 44100, 96})); // the row's bitrate, not the one asked
    EXPECT_EQ(ChooseRate(500, 48000), (Choice{true, 48000, 384}));
    EXPECT_EQ(ChooseRate(7, 44100), (Choice{false, 0, -1})); // the row bitrate is left as it was
}

TEST(BitrateTable, ChooseBitrate) {
    EXPECT_EQ(ChooseBitrate(0, 44100), 160);
    EXPECT_EQ(ChooseBitrate(50, 22050), 40);
    EXPECT_EQ(ChooseBitrate(152, 44100), 160); // 144 and 160 tie; the later row wins
    EXPECT_EQ(ChooseBitrate(192, 48000), 192);
    EXPECT_EQ(ChooseBitrate(1000, 32000), 384);
    EXPECT_EQ(ChooseBitrate(-50, 24000), 8);
    EXPECT_EQ(ChooseBitrate(192, 16000, 1), 40);
    // No row allows these: the nearest default rate decides, the later row winning ties.
    EXPECT_EQ(ChooseBitrate(384, 8000), 32);
    EXPECT_EQ(ChooseBitrate(8, 96000), 384);
    EXPECT_EQ(ChooseBitrate(64, 0), 32);
    EXPECT_EQ(ChooseBitrate(INT_MIN, INT_MIN), 32);
}

TEST(BitrateTable, Mpeg1SampleRates) {
    EXPECT_FALSE(sova::IsMpeg1SampleRate(0));
    EXPECT_FALSE(sova::IsMpeg1SampleRate(24000));
    EXPECT_FALSE(sova::IsMpeg1SampleRate(31999));
    EXPECT_TRUE(sova::IsMpeg1SampleRate(32000));
    EXPECT_TRUE(sova::IsMpeg1SampleRate(48000));
}
