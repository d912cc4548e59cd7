// SPDX-License-Identifier: MIT
#include "writer/TwoLameEncoder.h"

#include <algorithm>
#include <cmath>

#include <tsacore/filesupport/FileException.h>

#include "codecs/TwoLameLibrary.h"

namespace sova {
namespace {
using tsacore::filesupport::File;
using tsacore::filesupport::OBufferedByteStream;
using tsacore::filesupport::OPlatformByteStream;

constexpr int32_t kOpenForWriting = 1; // keep the file's contents; the writer positions itself

// Applies the encoder parameters to options in their fixed order and returns the number of
// setters that refused their value. Every call is made, refused or not. initParamsResult
// receives the result of twolame_init_params.
int ApplyParameters(const TwoLameFunctions& tl, twolame_options* options, int32_t sampleRate, int32_t channels,
                    const EncoderSettings& settings, int& initParamsResult) {
    int refused = 0;
    const auto count = [&refused](int result) { refused += result != 0 ? 1 : 0; };
    count(tl.twolame_set_num_channels(options, channels));
    count(tl.twolame_set_mode(options, static_cast<TWOLAME_MPEG_mode>(settings.GetChannelMode())));
    count(tl.twolame_set_in_samplerate(options, sampleRate));
    count(tl.twolame_set_out_samplerate(options, sampleRate));
    count(tl.twolame_set_bitrate(options, settings.GetBitsPerSecond()));
    count(tl.twolame_set_psymodel(options, settings.GetPAMType()));
    if (settings.GetPAMType() == 3 || settings.GetPAMType() == 4)
        count(tl.twolame_set_ATH_level(options, settings.GetATH()));
    count(tl.twolame_set_padding(options, static_cast<TWOLAME_Padding>(settings.GetPaddingType())));
    count(tl.twolame_set_energy_levels(options, settings.GetEnergy() ? 1 : 0));
    count(tl.twolame_set_emphasis(options, static_cast<TWOLAME_Emphasis>(settings.GetEmphasisType())));
    count(tl.twolame_set_error_protection(options, settings.GetCRC() ? 1 : 0));
    count(tl.twolame_set_copyright(options, settings.GetCopy() ? 1 : 0));
    count(tl.twolame_set_original(options, settings.GetOriginal() ? 1 : 0));
    initParamsResult = tl.twolame_init_params(options);
    return refused;
}

// Values that TwoLAME accepts but cannot encode with: a writer configured with them would crash
// or fail at the first block, so validation refuses them as if a setter had.
bool EncodableByTwoLame(const EncoderSettings& settings) {
    const int32_t model = settings.GetPAMType();
    if (model < -1 || model > 4) return false; // taken as set, but then every frame fails to encode
    const bool passesATH = model == 3 || model == 4;
    return !passesATH || std::isfinite(settings.GetATH()); // a NaN level reads outside model 3's tables
}

void GrowTo(std::vector<uint8_t>& buffer, size_t size) {
    if (buffer.size() < size) buffer.resize(size); // new bytes are zero
}
} // namespace

TwoLameEncoderState::~TwoLameEncoderState() {
    if (options) TwoLameLibrary::Functions().twolame_close(&options);
    options = nullptr;
    // The members then go in reverse order: buffer, buffered stream, platform stream, file, path.
}

TwoLameEncoder::TwoLameEncoder() : state_(std::make_unique<TwoLameEncoderState>()) {}

TwoLameEncoder::~TwoLameEncoder() = default;

bool TwoLameEncoder::ValidateSettings(int32_t sampleRate, int32_t channels, const EncoderSettings& settings) {
    const TwoLameFunctions& tl = TwoLameLibrary::Functions();
    // A handle of its own, thrown away after: a refused parameter never touches the real one.
    twolame_options* scratch = tl.twolame_init();
    if (!scratch) return false;
    int initParamsResult = 0;
    const int refused = ApplyParameters(tl, scratch, sampleRate, channels, settings, initParamsResult);
    tl.twolame_close(&scratch);
    return refused == 0 && initParamsResult == 0 && EncodableByTwoLame(settings);
}

bool TwoLameEncoder::Configure(int32_t sampleRate, int32_t channels, EncoderSettings settings) {
    const TwoLameFunctions& tl = TwoLameLibrary::Functions();
    state_->options = tl.twolame_init();
    if (!state_->options) return false;
    // Checked on a scratch handle first, so that the real one only ever receives accepted values.
    if (!ValidateSettings(sampleRate, channels, settings)) return false;
    state_->numChannels = channels;
    int initParamsResult = 0;
    ApplyParameters(tl, state_->options, sampleRate, channels, settings, initParamsResult); // setters checked above
    GrowTo(state_->outputBuffer, kMinimumOutputBuffer);
    return initParamsResult == 0;
}

bool TwoLameEncoder::OpenOutputFile(const tsacore::UString& path) {
    try {
        state_->path = path;
        state_->file = std::make_unique<File>(path);
        // Deleted and created before anything is configured: the file exists, empty, after
        // selector 17 even when TwoLAME then refuses the settings.
        if (state_->file->Exists()) state_->file->Delete();
        state_->file->Create(false);
        // Replace the buffered stream first: it hands its bytes to the platform stream below it.
        state_->bufferedStream.reset();
        state_->platformStream = std::make_unique<OPlatformByteStream>(*state_->file, kOpenForWriting);
        state_->bufferedStream =
            std::make_unique<OBufferedByteStream>(state_->platformStream.get(), kStreamBufferSize, kStreamBlockSize);
        return true;
    } catch (const tsacore::filesupport::file_exception&) {
        return false;
    }
}

void TwoLameEncoder::ReleaseStreams() {
    // Taken out of the state first, so that both are released even when a step raises; declared
    // in this order so that unwinding drops the buffered stream before the one it writes to.
    std::unique_ptr<OPlatformByteStream> platform = std::move(state_->platformStream);
    std::unique_ptr<OBufferedByteStream> buffered = std::move(state_->bufferedStream);
    // A stream's destructor cannot raise, so the last bytes are handed on and the file closed
    // here, where a full disk still reaches the caller as file_exception.
    if (buffered) buffered->Flush();
    buffered.reset();
    if (platform) platform->Close();
}

void TwoLameEncoder::WriteEncodedBytes(size_t byteCount) {
    // Reopened only when bytes arrive, and placed at the end: no stream is held between
    // selectors 17 and 18, and nothing already in the file is written over.
    if (!state_->bufferedStream) {
        const uint64_t size = state_->file->Size(0);
        state_->platformStream = std::make_unique<OPlatformByteStream>(*state_->file, kOpenForWriting);
        state_->bufferedStream =
            std::make_unique<OBufferedByteStream>(state_->platformStream.get(), kStreamBufferSize, kStreamBlockSize);
        state_->bufferedStream->SetPosition(static_cast<int64_t>(size));
    }
    state_->bufferedStream->Write(state_->outputBuffer.data(), static_cast<uint32_t>(byteCount));
}

bool TwoLameEncoder::EncodeBlock(const int16_t* pcm, int32_t frames) {
    // channels x frames stays below 2^29 (checked by the caller), so the size fits an int.
    GrowTo(state_->outputBuffer, static_cast<size_t>(state_->numChannels) * static_cast<size_t>(frames) * 2);
    const int result = TwoLameLibrary::Functions().twolame_encode_buffer_interleaved(
        state_->options, pcm, frames, state_->outputBuffer.data(), static_cast<int>(state_->outputBuffer.size()));
    if (result < 0) return false;
    if (result > 0) WriteEncodedBytes(static_cast<size_t>(result));
    return true;
}

// Raises rather than reports in a destructor, so that a full disk at the last bytes reaches the host.
bool TwoLameEncoder::Finish() {
    GrowTo(state_->outputBuffer, kMinimumOutputBuffer);
    const int result = TwoLameLibrary::Functions().twolame_encode_flush(
        state_->options, state_->outputBuffer.data(), static_cast<int>(state_->outputBuffer.size()));
    if (result > 0) WriteEncodedBytes(static_cast<size_t>(result));
    ReleaseStreams();
    return result >= 0;
}

std::unique_ptr<TwoLameEncoder> CreateWriter(const tsacore::UString& path, int32_t sampleRate, int32_t channels,
                                             const EncoderSettings& settings, int32_t& errorCode) {
    errorCode = kWriterOK;
    auto writer = std::make_unique<TwoLameEncoder>();
    // The file first, then the encoder: the empty file stays when the settings are refused.
    if (!writer->OpenOutputFile(path)) {
        errorCode = kWriterFileNotCreated;
        return nullptr;
    }
    if (!writer->Configure(sampleRate, channels, settings)) {
        errorCode = kWriterSettingsRefused;
        return nullptr;
    }
    return writer;
}
} // namespace sova
