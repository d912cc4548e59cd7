// SPDX-License-Identifier: MIT
// The reading selectors of the MP2 plug-in: open a file (5), report its format (6) and
// deliver its samples (7). Closing (12) is the template's: it destroys the reader.
#include <array>
#include <memory>

#include <tsacore/filesupport/File.h>
#include <tsacore/utility/StringConversion.h>

#include "host/HostText.h"
#include "interface/SovaMp2Interface.h"
#include "reader/Reader.h"
#include "settings/EncoderSettings.h"

using namespace sova::sdk;

int32_t SovaMp2Interface::OpenForRead(HostOpenRequest* request) {
    const tsacore::UString path = sova::HostText(request->GetPath());
    // AVI files belong to the host's video importer. The comparison is exact on what the host's
    // GetExtension yields: a host that folds case refuses ".AVI" too, and the module adds none.
    if (tsacore::filesupport::File(path).GetExtension(true) == tsacore::utility::AsciiToUTF16(".avi"))
        return kResultUnusableFile;

    sova::mpg123::Reader* reader = sova::mpg123::CreateReader(path);
    if (!reader) return kResultFailed;

    int32_t result = kResultUnusableFile;
    if (reader->GetBitrate() > 0 && reader->GetChannelCount() > 0) {
        request->SetStreamUsable(4);
        const tsacore::UString description = reader->DescribeSource();
        request->SetDescription(description.c_str());
        result = reader->Prime() ? kResultOK : kResultUnusableFile;
    }
    // The host owns the reader from here, whatever the result, and closes it with selector 12.
    request->TakeReadHandle(reader);
    return result;
}

int32_t SovaMp2Interface::GetReadFormat(ReadHandle reader, HostAudioFormat* format) {
    const int32_t channels = reader->GetChannelCount();
    format->SetChannelCount(channels);
    format->SetSampleRate(reader->GetSampleRate());
    format->SetSampleFormat(kSampleFloat32);
    const int32_t mode = reader->GetMode();
    if (channels == 2 && mode != MPG123_M_DUAL) {
        format->SetChannelType(0, kChannelTypeStereoLeft);
        format->SetChannelType(1, kChannelTypeStereoRight);
    } else {
        for (int32_t channel = 0; channel < channels; ++channel) format->SetChannelType(channel, kChannelTypeOther);
    }

    // The settings that would write the stream again; everything the stream does not say keeps
    // its default (MPEGVersion stays 1 for every stream).
    sova::EncoderSettings settings;
    settings.SetBitsPerSecond(reader->GetBitrate());
    settings.SetCopy(reader->IsCopyright());
    settings.SetCRC(reader->HasCRC());
    settings.SetOriginal(reader->IsOriginal());
    settings.SetChannelMode(mode >= 0 && mode <= 3 ? mode : -1);
    const int32_t emphasis = reader->GetEmphasis();
    settings.SetEmphasisType(emphasis == 1 || emphasis == 3 ? emphasis : 0);
    const tsacore::UString text = settings.ToText();
    format->SetSettingsText(text.c_str());

    format->SetLength(reader->GetTotalFrames());
    return kResultOK;
}

int32_t SovaMp2Interface::ReadSamples(ReadHandle reader, HostReadRequest* request) {
    int32_t frames = request->GetFrameCount();
    const int32_t channels = reader->GetChannelCount();
    request->SetFramesDone(0);

    // MPEG audio has at most two channels; a reader refused at open has none.
    std::array<float*, 2> buffers{};
    if (channels < 1 || channels > static_cast<int32_t>(buffers.size())) return kResultDecodeFailed;
    for (int32_t channel = 0; channel < channels; ++channel) {
        buffers[channel] = static_cast<float*>(request->GetChannelBuffer(channel));
        if (!buffers[channel]) return kResultDecodeFailed; // a host that gave no buffer gets nothing
    }

    const bool delivered = reader->Read(frames, buffers.data());
    if (delivered) request->SetFramesDone(static_cast<int64_t>(frames));
    // The exact length goes to the host on the read that meets the end; when the frames asked
    // per call divided what was left, that is the read answering -9, and it is told there.
    if (reader->IsAtEnd() && (delivered || !reader->EndLengthReported())) {
        request->SetLength(reader->GetTotalFrames());
        reader->SetEndLengthReported();
    }
    return delivered ? kResultOK : kResultDecodeFailed;
}
