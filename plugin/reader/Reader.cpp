// SPDX-License-Identifier: MIT
// Opening, priming and reading an MPEG audio stream through the libmpg123 binding.
#include "reader/Reader.h"

#include <algorithm>
#include <memory>

#include <tsacore/utility/StringConversion.h>

namespace sova::mpg123 {
namespace {
constexpr int kPrimeBlocks = 6;
constexpr size_t kSampleBytes = sizeof(float);
} // namespace

Reader::Reader() = default;

Reader::~Reader() {
    Mpg123Library::CloseDecoder(decoder_);
}

Reader* CreateReader(const tsacore::UString& path) {
    auto reader = std::make_unique<Reader>();
    if (!reader->Open(path)) return nullptr;
    return reader.release();
}

int32_t Reader::GetBitrate() const {
    if (frameInfo_.bitrate > 0) return frameInfo_.bitrate;
    if (frameInfo_.abr_rate > 0) return frameInfo_.abr_rate;
    return -1;
}

bool Reader::Open(const tsacore::UString& path) {
    path_ = path;
    decoder_ = Mpg123Library::CreateDecoder();
    if (!decoder_) return false;

    int code = Mpg123Library::OpenStream(decoder_, tsacore::utility::UTF16to8(path));
    if (code != MPG123_OK) return false;

    // Pins the output to what the stream reports; rate and channels come from the frame
    // information below.
    long rate = 0;
    int channels = 0;
    int encoding = 0;
    code = Mpg123Library::LockOutputFormat(decoder_, &rate, &channels, &encoding);
    if (code != MPG123_OK) return false;
    // The host is told of 32-bit float samples: a decoder that would deliver anything else is refused.
    if (encoding != MPG123_ENC_FLOAT_32) return false;

    code = Mpg123Library::GetFrameInfo(decoder_, &frameInfo_);
    if (code != MPG123_OK) return false;

    switch (GetMode()) {
    case MPG123_M_STEREO:
    case MPG123_M_JOINT:
    case MPG123_M_DUAL: channelCount_ = 2; break;
    case MPG123_M_MONO: channelCount_ = 1; break;
    default: break; // not one of libmpg123's modes: the count stays 0 and the host is refused
    }

    code = Mpg123Library::GetStreamLength(decoder_, &streamLength_);
    if (code != MPG123_OK) return false;

    blockSize_ = Mpg123Library::GetOutputBlockSize(decoder_);
    buffer_.Reserve(blockSize_);
    return true;
}

int Reader::ReadBlock() {
    const size_t previous = buffer_.Length();
    buffer_.Grow(blockSize_);
    size_t done = 0;
    const int code = Mpg123Library::ReadDecoded(decoder_, buffer_.Data() + previous, blockSize_, &done);
    buffer_.Truncate(previous + std::min<size_t>(done, blockSize_));
    return code;
}

bool Reader::Prime() {
    if (channelCount_ < 1) return false;
    int code = MPG123_OK;
    for (int block = 0; block < kPrimeBlocks; ++block) code = ReadBlock();
    return code == MPG123_OK || code == MPG123_DONE;
}

bool Reader::Read(int32_t& frames, float* const* channels) {
    const int32_t wanted = frames;
    const int32_t channelCount = channelCount_;
    frames = 0;
    // A reader whose stream has no usable channel mode was refused at open; it delivers nothing.
    if (channelCount < 1 || wanted < 0) return false;

    const size_t frameBytes = static_cast<size_t>(channelCount) * kSampleBytes;
    buffer_.Reserve(buffer_.Length() + static_cast<size_t>(wanted) * frameBytes);

    size_t available = buffer_.Length() / frameBytes;
    int code = MPG123_OK;
    while (available < static_cast<size_t>(wanted)) {
        code = ReadBlock();
        if (code == MPG123_DONE) atEnd_ = true;
        available = buffer_.Length() / frameBytes;
        if (code != MPG123_OK) break;
    }

    const size_t count = std::min(static_cast<size_t>(wanted), available);
    const auto* samples = reinterpret_cast<const float*>(buffer_.Data());
    if (channelCount == 2) {
        float* left = channels[0];
        float* right = channels[1];
        for (size_t i = 0; i < count; ++i) {
            left[i] = samples[2 * i];
            right[i] = samples[2 * i + 1];
        }
    } else {
        for (size_t i = 0; i < count; ++i)
            for (int32_t c = 0; c < channelCount; ++c) channels[c][i] = samples[i * channelCount + c];
    }
    buffer_.Consume(count * frameBytes);
    if (atEnd_ && !buffer_.Empty()) atEnd_ = false;

    frames = static_cast<int32_t>(count);
    framesDelivered_ += static_cast<int64_t>(count);
    return (code == MPG123_OK || code == MPG123_DONE) && count != 0;
}
} // namespace sova::mpg123
