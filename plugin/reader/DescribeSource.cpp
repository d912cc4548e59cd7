// SPDX-License-Identifier: MIT
// The one-line description of an opened stream, such as
// "MPEG-1 Audio Layer II, 192 kbps CBR (Joint Stereo)", every piece localisable.
#include "reader/Reader.h"

#include <tsacore/config/Localizer.h>
#include <tsacore/utility/Numbers.h>
#include <tsacore/utility/ReplaceInString.h>
#include <tsacore/utility/StringConversion.h>

namespace sova::mpg123 {
namespace {
tsacore::UString Localized(const char* literal) {
    tsacore::UString text;
    tsacore::config::Localizer::Get().Localize(text, literal);
    return text;
}

// Appends the localised piece; when it is the piece for an unnamed value, fills its "@0" with
// the number. The string built so far holds no other placeholder by then.
void AppendPiece(tsacore::UString& description, const char* literal, bool withNumber, int32_t number) {
    description += Localized(literal);
    if (withNumber)
        description = tsacore::utility::ReplaceInString(description, tsacore::utility::NumberToString(number));
}

const char* VersionKey(int32_t version) {
    switch (version) {
    case MPG123_1_0: return "$$$/SovaPlugIns/SovaMp2/MPEG-1=MPEG-1";
    case MPG123_2_0: return "$$$/SovaPlugIns/SovaMp2/MPEG-2=MPEG-2";
    case MPG123_2_5: return "$$$/SovaPlugIns/SovaMp2/MPEG-2_5=MPEG-2.5";
    default: return nullptr;
    }
}

const char* LayerKey(int32_t layer) {
    switch (layer) {
    case 1: return "$$$/SovaPlugIns/SovaMp2/_AudioLayerI= Audio Layer I";
    case 2: return "$$$/SovaPlugIns/SovaMp2/_AudioLayerII= Audio Layer II";
    case 3: return "$$$/SovaPlugIns/SovaMp2/_AudioLayerIII= Audio Layer III";
    default: return nullptr;
    }
}
} // namespace

tsacore::UString Reader::DescribeSource() const {
    const mpg123_frameinfo& info = frameInfo_;
    tsacore::UString description;

    const int32_t version = FieldValue(info.version);
    if (const char* key = VersionKey(version))
        AppendPiece(description, key, false, 0);
    else
        AppendPiece(description, "$$$/SovaPlugIns/SovaMp2/MPEG-Unknown=MPEG-@0", true, version);

    if (const char* key = LayerKey(info.layer))
        AppendPiece(description, key, false, 0);
    else
        AppendPiece(description, "$$$/SovaPlugIns/SovaMp2/_AudioLayerUnknown= Audio Layer @0", true, info.layer);

    switch (FieldValue(info.vbr)) {
    case MPG123_CBR: AppendPiece(description, "$$$/SovaPlugIns/SovaMp2/_num_kbps_CBR=, @0 kbps CBR", true, info.bitrate); break;
    case MPG123_VBR: AppendPiece(description, "$$$/SovaPlugIns/SovaMp2/_num_kbps_VBR=, @0 kbps VBR", true, info.bitrate); break;
    case MPG123_ABR: AppendPiece(description, "$$$/SovaPlugIns/SovaMp2/_num_kbps_ABR=, @0 kbps ABR", true, info.abr_rate); break;
    default: AppendPiece(description, "$$$/SovaPlugIns/SovaMp2/_num_kbps=, @0 kbps", true, info.bitrate); break;
    }

    if (FieldValue(info.mode) == MPG123_M_JOINT) {
        description += u' ';
        description += Localized("$$$/SovaPlugIns/SovaMp2/JointStereo=(Joint Stereo)");
    }
    return description;
}
} // namespace sova::mpg123
