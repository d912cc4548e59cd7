// SPDX-License-Identifier: MIT
// Selectors 17, 18 and 19: open the output file with a configured encoder, encode blocks of
// host samples into it, and finish it.
#include <memory>

#include <tsacore/config/Localizer.h>
#include <tsacore/utility/Numbers.h>
#include <tsacore/utility/ReplaceInString.h>

#include "host/HostText.h"
#include "interface/SovaMp2Interface.h"
#include "settings/DescribeTarget.h"
#include "settings/EncoderSettings.h"
#include "writer/TwoLameEncoder.h"

namespace {
constexpr int32_t kWriterAttempted = 16;
constexpr int64_t kMaxFramesPerBlock = int64_t(1) << 32;
constexpr int64_t kMaxSamplesPerBlock = 536870912; // channels x frames x 4 stays below 2^31
constexpr const char* kWriteStartFailed =
    "$$$/SovaPlugIns/SovaMp2/WriteStartGeneral=Error @0 creating file @1.  The destination may be full or no "
    "longer available.";
} // namespace

int32_t SovaMp2Interface::OpenForWrite(sova::sdk::HostWriteOpenRequest* request, WriteHandle* writer) {
    sova::sdk::HostAudioFormat* format = request->GetFormat();
    sova::EncoderSettings settings;
    settings.FromText(sova::HostText(format->GetSettingsText()));
    const tsacore::UString path = sova::HostText(request->GetPath());
    const int32_t sampleRate = format->GetSampleRate();
    const int32_t channels = format->GetChannelCount();

    int32_t errorCode = 0;
    std::unique_ptr<sova::TwoLameEncoder> created = sova::CreateWriter(path, sampleRate, channels, settings, errorCode);
    *writer = created.get();

    request->WriterAttempted(kWriterAttempted);
    const tsacore::UString description = sova::DescribeTarget(sampleRate, channels, settings, false);
    request->SetDescription(description.c_str());

    if (!created) {
        const tsacore::UString message = tsacore::utility::ReplaceInString(
            tsacore::config::Localize(kWriteStartFailed), tsacore::utility::NumberToString(errorCode), path);
        if (hostContext) hostContext->ShowMessage(message.c_str());
        return sova::sdk::kResultFailed;
    }
    // Streams made by OpenOutputFile and released here: the new file is empty and closed
    // between selectors 17 and 18, and no stream is held while the host owns the writer.
    created->ReleaseStreams();
    created.release(); // the host owns it from TakeWriteHandle until selector 19
    return sova::sdk::kResultOK;
}

int32_t SovaMp2Interface::WriteSamples(WriteHandle writer, sova::sdk::HostWriteRequest* request) {
    using sova::sdk::kResultMissingArgument;
    const int32_t channels = writer->NumChannels();
    for (int32_t channel = 0; channel < channels; ++channel)
        if (!request->GetChannelBuffer(channel)) return kResultMissingArgument;

    const int64_t frames = request->GetFrameCount();
    if (frames < 0 || frames >= kMaxFramesPerBlock || channels < 1 || channels * frames >= kMaxSamplesPerBlock)
        return kResultMissingArgument;

    // Left uninitialised: every sample is written below, or the block is refused.
    std::unique_ptr<int16_t[]> pcm(new int16_t[static_cast<size_t>(frames * channels)]);
    for (int32_t channel = 0; channel < channels; ++channel) {
        const void* samples = request->GetChannelBuffer(channel);
        if (!samples) return kResultMissingArgument;
        const int32_t code = request->GetFormat()->GetSampleFormat();
        // An unknown sample format is refused rather than encoded as undefined samples.
        if (sova::sdk::BytesPerSample(code) == 0) return kResultMissingArgument;
        ConvertToInt16(samples, pcm.get() + channel, frames, channels, code);
    }
    const bool encoded = writer->EncodeBlock(pcm.get(), static_cast<int32_t>(frames));
    return encoded ? sova::sdk::kResultOK : sova::sdk::kResultEncodeFailed;
}

int32_t SovaMp2Interface::CloseWriter(WriteHandle writer, bool /*flag*/, int32_t /*value*/) {
    // Destroyed whatever Finish does, also when a file error raises out of it; the file stays.
    std::unique_ptr<sova::TwoLameEncoder> owned(writer);
    return owned->Finish() ? sova::sdk::kResultOK : sova::sdk::kResultFailed;
}
