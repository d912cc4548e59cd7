// SPDX-License-Identifier: MIT
// Selector 0 (the plug-in's identity and its one format) and selector 14 (save-format
// negotiation).
#include <cmath>
#include <limits>

#include <sova/HostAudioFormat.h>
#include <sova/HostConformRequest.h>
#include <sova/HostRegistrar.h>
#include <tsacore/config/Localizer.h>

#include "Common/Module/private/win/Module_WIN.h"
#include "host/HostText.h"
#include "interface/SovaMp2Interface.h"
#include "settings/BitrateTable.h"
#include "settings/DescribeTarget.h"
#include "settings/EncoderSettings.h"

namespace {
constexpr const char* kPlugInIdentifier = "08E931A6-B7EE-4F0C-8EFA-213C25E9C6DC";
constexpr const char* kPlugInNameLiteral = "$$$/SovaPlugIns/SovaMp2/PlugInName=Velmora MPEG Audio Layer II Sova plug-in";
constexpr const char* kFormatNameLiteral = "$$$/SovaPlugIns/SovaMp2/MP2Audio=MP2 Audio";
constexpr const char* kExtension = "mp2";
constexpr const char* kMimeType = "audio/mpeg";
constexpr uint32_t kTypeCode = (uint32_t{'M'} << 24) | (uint32_t{'P'} << 16) | (uint32_t{'E'} << 8) | uint32_t{'G'};

tsacore::UString Localized(const char* literal) {
    tsacore::UString text;
    return tsacore::config::Localizer::Get().Localize(text, literal);
}

// Localised on the first registration of the process and kept until the module is unloaded.
const tsacore::UString& FormatName() {
    static const tsacore::UString name = Localized(kFormatNameLiteral);
    return name;
}

// length x (newRate / oldRate), truncated toward zero. A length that would not fit saturates.
int64_t RescaleLength(int64_t length, int32_t newRate, int32_t oldRate) {
    const double scaled = static_cast<double>(length) * (static_cast<double>(newRate) / static_cast<double>(oldRate));
    constexpr double kLimit = 9223372036854775808.0; // 2^63
    if (scaled >= kLimit) return std::numeric_limits<int64_t>::max();
    if (scaled < -kLimit) return std::numeric_limits<int64_t>::min();
    return static_cast<int64_t>(scaled);
}

// length x kbit/s x 1000 / (rate x 8) in signed 64 bits, the divisor being the 32-bit product
// sign-extended. Wraps rather than trapping on absurd inputs; a zero divisor gives 0.
int64_t EstimateSize(int64_t length, int32_t kbps, int32_t sampleRate) {
    const int64_t divisor = static_cast<int32_t>(static_cast<uint32_t>(sampleRate) * 8u);
    if (divisor == 0) return 0;
    const uint64_t bits = static_cast<uint64_t>(length) * static_cast<uint64_t>(int64_t{kbps}) * 1000u;
    return static_cast<int64_t>(bits) / divisor;
}
} // namespace

int32_t SovaMp2Interface::DescribePlugIn(sova::sdk::HostRegistrar* registrar) {
    SetUpModuleResources();
    // Without its codecs the module registers no format, which is not an error for the host to
    // report: it answers success and stays loaded, offering nothing it could not read or write.
    if (Startup() != sova::sdk::kResultOK) return sova::sdk::kResultOK;

    registrar->SetIdentity(kPlugInIdentifier, Localized(kPlugInNameLiteral).c_str());
    const tsacore::UString& formatName = FormatName();
    const sova::sdk::ExtensionList extensions{kExtension};
    registrar->AddFormat(formatName.c_str(), 0, &extensions, 0);
    registrar->AddFormatAgain(formatName.c_str(), 0, &extensions, 0);
    return 0;
}

int32_t SovaMp2Interface::ConformWriteFormat(sova::sdk::HostConformRequest* request) {
    bool accepted = true;
    sova::sdk::HostAudioFormat* format = request->GetFormat();
    request->BeginConform(1);
    request->BeginDescribe(1);

    sova::EncoderSettings settings;
    settings.FromText(sova::HostText(format->GetSettingsText()));

    // Channel layouts are left as the host proposed them: the encoder only needs the count.
    const int32_t channels = format->GetChannelCount();
    if (channels != 1 && channels != 2) {
        if (request->AllowsAdjustment() == 0) accepted = false;
        format->SetChannelCount(2);
    }

    if (request->AllowsAdjustment() == 1)
        settings.ConformBitrateToSampleRate(format->GetChannelCount(), format->GetSampleRate());

    if (settings.GetCompressionType() == 0) {
        int32_t chosenRate = 0;
        int32_t rowBitrate = 0;
        const bool chosen = sova::ChooseSampleRate(settings.GetBitsPerSecond(), format->GetChannelCount(),
                                                   format->GetSampleRate(), chosenRate, rowBitrate);
        const int32_t oldRate = format->GetSampleRate();
        if (chosenRate != oldRate) {
            if (request->AllowsAdjustment() == 0) accepted = false;
            // From a rate of 0 there is nothing to scale by: the length stays as proposed.
            if (oldRate != 0) format->SetLength(RescaleLength(format->GetLength(), chosenRate, oldRate));
            format->SetSampleRate(chosenRate);
        }
        if (!chosen) {
            if (request->AllowsAdjustment() == 0) accepted = false;
            settings.SetBitsPerSecond(rowBitrate);
        }
    }

    const int32_t sampleRate = format->GetSampleRate();
    const int64_t size =
        sampleRate != 0 ? EstimateSize(format->GetLength(), settings.GetBitsPerSecond(), sampleRate) : 0;

    const tsacore::UString description =
        sova::DescribeTarget(sampleRate, format->GetChannelCount(), settings, true);
    request->SetDescription(description.c_str());
    request->SetEstimatedSize(size);

    format->SetMimeType(kMimeType);
    format->SetTypeCode(kTypeCode);
    format->SetSettingsText(settings.ToText().c_str());
    return accepted ? sova::sdk::kResultOK : sova::sdk::kResultFormatAdjusted;
}
