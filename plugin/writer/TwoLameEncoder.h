// SPDX-License-Identifier: MIT
// The writer behind a WriteHandle: one TwoLAME options handle, the output file with its
// streams, and the buffer that receives encoded MP2 frames.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include <twolame.h>

#include <tsacore/String.h>
#include <tsacore/filesupport/ByteStream.h>
#include <tsacore/filesupport/File.h>

#include "settings/EncoderSettings.h"

namespace sova {
// Fields in this order: destruction after the options handle is closed frees the buffer,
// then the buffered stream (which hands on its last bytes), the platform stream (which
// closes the file), the file object and the path.
struct TwoLameEncoderState {
    TwoLameEncoderState() = default;
    ~TwoLameEncoderState();
    TwoLameEncoderState(const TwoLameEncoderState&) = delete;
    TwoLameEncoderState& operator=(const TwoLameEncoderState&) = delete;

    twolame_options* options = nullptr;
    tsacore::UString path;
    std::unique_ptr<tsacore::filesupport::File> file;
    std::unique_ptr<tsacore::filesupport::OPlatformByteStream> platformStream;
    std::unique_ptr<tsacore::filesupport::OBufferedByteStream> bufferedStream;
    std::vector<uint8_t> outputBuffer;
    int32_t numChannels = 0;
};

class TwoLameEncoder {
public:
    static constexpr uint32_t kStreamBufferSize = 1048576;
    static constexpr uint32_t kStreamBlockSize = 4096;
    static constexpr size_t kMinimumOutputBuffer = 16384;

    TwoLameEncoder();
    ~TwoLameEncoder();
    TwoLameEncoder(const TwoLameEncoder&) = delete;
    TwoLameEncoder& operator=(const TwoLameEncoder&) = delete;

    // True when TwoLAME accepts every parameter, checked on a scratch options handle.
    bool ValidateSettings(int32_t sampleRate, int32_t channels, const EncoderSettings& settings);
    // Validates, then applies the same parameters to the encoder's own handle. Called once.
    bool Configure(int32_t sampleRate, int32_t channels, EncoderSettings settings);

    // Deletes whatever is at path, creates an empty file there and opens streams on it.
    // False when the framework reports a file error.
    bool OpenOutputFile(const tsacore::UString& path);
    // Hands the buffered bytes on and closes the streams (buffered first); the file object stays.
    // A file error raises file_exception once both streams are released: the bytes that reached
    // the file stay there.
    void ReleaseStreams();
    // Appends the first byteCount bytes of the output buffer, reopening the streams at the
    // end of the file when they are closed. File errors propagate.
    void WriteEncodedBytes(size_t byteCount);
    // Encodes interleaved 16-bit PCM; false when TwoLAME reports an error.
    bool EncodeBlock(const int16_t* pcm, int32_t frames);
    // Flushes the encoder's last frame and closes the streams; false when the flush failed. A file
    // error while the last bytes go out raises file_exception.
    bool Finish();

    int32_t NumChannels() const { return state_->numChannels; }

private:
    std::unique_ptr<TwoLameEncoderState> state_;
};

// The number that the failure message "Error @0 creating file @1" shows.
enum WriterError : int32_t {
    kWriterOK = 0,
    kWriterSettingsRefused = 1, // TwoLAME refused the settings; the empty file stays on disk
    kWriterFileNotCreated = 2,  // the framework could not delete or create the file
};

// A configured writer with an empty file at path whose streams are still open, or null with
// errorCode set.
std::unique_ptr<TwoLameEncoder> CreateWriter(const tsacore::UString& path, int32_t sampleRate, int32_t channels,
                                             const EncoderSettings& settings, int32_t& errorCode);
} // namespace sova
