// SPDX-License-Identifier: MIT
#include "settings/DescribeTarget.h"

#include <tsacore/config/Localizer.h>
#include <tsacore/utility/Numbers.h>
#include <tsacore/utility/ReplaceInString.h>

#include "settings/EncoderSettings.h"

namespace sova {
namespace {
using tsacore::UString;

UString Localized(const char* literal) {
    UString text;
    return tsacore::config::Localizer::Get().Localize(text, literal);
}

// The channel line for a channel mode (0 to 3), else for the channel count with the automatic
// mode; null when there is none.
const char* ChannelLiteral(int32_t channelMode, int32_t channels) {
    switch (channelMode) {
    case 0: return "$$$/sova/FormatDescription/FormatMp2Stereo=Stereo, @0 Hz\n";
    case 1: return "$$$/sova/FormatDescription/FormatMp2JointStereo=Joint Stereo, @0 Hz\n";
    case 2: return "$$$/sova/FormatDescription/FormatMp2DualMono=Dual Mono, @0 Hz\n";
    case 3: return "$$$/sova/FormatDescription/FormatMp2Mono=Mono, @0 Hz\n";
    default: break;
    }
    if (channels == 1) return "$$$/sova/FormatDescription/FormatMp2AutoMono=Mono, @0 Hz\n";
    if (channels == 2) return "$$$/sova/FormatDescription/FormatMp2AutoStereo=Stereo, @0 Hz\n";
    return nullptr;
}
} // namespace

UString DescribeTarget(int32_t sampleRate, int32_t channels, const EncoderSettings& settings, bool multiLine) {
    using tsacore::utility::NumberToString;
    using tsacore::utility::ReplaceInString;

    UString text = ReplaceInString(
        Localized("$$$/sova/SovaMp2/FormatDescription/MPEGDEscription=MPEG-@0 Audio Layer II, @1 kbps (CBR)"),
        settings.GetMPEGVersion() != 0 ? u"1" : u"2", NumberToString(settings.GetBitsPerSecond()));
    if (!multiLine) return text;

    text += u'\n';
    if (const char* literal = ChannelLiteral(settings.GetChannelMode(), channels)) text += Localized(literal);
    text = ReplaceInString(text, NumberToString(sampleRate));

    switch (settings.GetEmphasisType()) {
    case 1:
        text += Localized("$$$/sova/FormatDescription/Emph50_15microSeconds=(50/15 @0s Emphasis) ");
        text = ReplaceInString(text, u"\u00B5");
        break;
    case 3:
        text += Localized("$$$/sova/FormatDescription/EmphCCITT=(CCITT J.17 Emphasis) ");
        break;
    default:
        break;
    }
    if (settings.GetCopy()) text += Localized("$$$/sova/FormatDescription/Copyright=(Copyright) ");
    if (settings.GetOriginal()) text += Localized("$$$/sova/FormatDescription/Original=(Original)");
    return text;
}
} // namespace sova
