// SPDX-License-Identifier: MIT
// sova::mpg123::Reader: one MPEG audio file opened with libmpg123, decoded to interleaved
// 32-bit float samples and handed out to the host one buffer per channel, exactly as many
// frames as it asks for. The host owns a reader as a ReadHandle from OpenForRead until
// CloseReader destroys it through the virtual destructor. Reading runs once, in order, from
// the first frame: there is no seeking.
#pragma once

#include <cstdint>
#include <cstring>
#include <type_traits>

#include <tsacore/String.h>

#include "codecs/Mpg123Library.h" // libmpg123's types, as the binding declares them
#include "reader/SampleBuffer.h"

namespace sova::mpg123 {
class Reader {
public:
    Reader();
    virtual ~Reader(); // closes the decoder handle, whatever it is (null included)
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;

    // Opens the file with a new decoder handle, pins its output format and captures the
    // frame information, the length and the output block size. False when any step fails;
    // the reader then still owns the handle it made.
    bool Open(const tsacore::UString& path);
    // Decodes the first six blocks into the buffer. True when the sixth read answered
    // MPG123_OK or MPG123_DONE.
    bool Prime();
    // frames: in, the frames wanted (0 or more); out, the frames delivered. channels holds
    // GetChannelCount() buffers, each able to hold the frames wanted. False when nothing was
    // delivered or the decoder failed.
    bool Read(int32_t& frames, float* const* channels);
    // The one-line description of the stream, e.g. "MPEG-1 Audio Layer II, 192 kbps CBR".
    tsacore::UString DescribeSource() const;

    int32_t GetSampleRate() const { return static_cast<int32_t>(frameInfo_.rate); }
    int32_t GetChannelCount() const { return channelCount_; }
    int32_t GetMode() const { return FieldValue(frameInfo_.mode); } // 0 stereo, 1 joint, 2 dual, 3 mono
    int32_t GetBitrate() const; // kbit/s, the average when the frame has none, -1 when neither
    bool HasCRC() const { return (FieldValue(frameInfo_.flags) & MPG123_CRC) != 0; }
    bool IsCopyright() const { return (FieldValue(frameInfo_.flags) & MPG123_COPYRIGHT) != 0; }
    bool IsOriginal() const { return (FieldValue(frameInfo_.flags) & MPG123_ORIGINAL) != 0; }
    int32_t GetEmphasis() const { return frameInfo_.emphasis; }
    bool IsAtEnd() const { return atEnd_; }
    // The frames delivered once the end was reached, else the length libmpg123 measured
    // (-1 when it could not tell).
    int64_t GetTotalFrames() const { return atEnd_ ? framesDelivered_ : streamLength_; }
    // Whether the host was already told the length found at the end of the stream.
    bool EndLengthReported() const { return endLengthReported_; }
    void SetEndLengthReported() { endLengthReported_ = true; }

    const mpg123_frameinfo& GetFrameInfo() const { return frameInfo_; }

    // The number a field of the frame information holds. The record's enum-typed fields may hold
    // values outside their enum (a newer or damaged library), so they are read as plain ints.
    template <class Field>
    static int32_t FieldValue(const Field& field) {
        static_assert(sizeof(Field) == sizeof(int32_t) && std::is_trivially_copyable_v<Field>);
        int32_t value;
        std::memcpy(&value, &field, sizeof value);
        return value;
    }
    const tsacore::UString& GetPath() const { return path_; }

private:
    // Appends one decoded block to the buffer; returns the decoder's code.
    int ReadBlock();

    mpg123_handle* decoder_ = nullptr;
    tsacore::UString path_;
    int32_t channelCount_ = 0;
    mpg123_frameinfo frameInfo_{}; // filled once by Open, never refreshed
    int64_t streamLength_ = 0;
    int64_t framesDelivered_ = 0;
    bool atEnd_ = false;
    bool endLengthReported_ = false;
    SampleBuffer buffer_; // interleaved float samples not yet delivered
    uint32_t blockSize_ = 0; // bytes per decoder read (mpg123_outblock)
};

// Makes a reader and opens path with it; null when the open failed. The caller owns the reader.
Reader* CreateReader(const tsacore::UString& path);
} // namespace sova::mpg123
