// SPDX-License-Identifier: MIT
#include "settings/EncoderSettings.h"

#include <bit>

#include "settings/BitrateTable.h"
#include "settings/PropertyMap.h"

namespace sova {
namespace settingskeys {
const tsacore::UString CompressionType = u"CompressionType";
const tsacore::UString BitsPerSecond = u"BitsPerSecond";
const tsacore::UString ChannelMode = u"ChannelMode";
const tsacore::UString MPEGVersion = u"MPEGVersion";
const tsacore::UString EmphasisType = u"EmphasisType";
const tsacore::UString PAMType = u"PAMType";
const tsacore::UString ATH = u"ATH";
const tsacore::UString Copy = u"Copy";
const tsacore::UString Original = u"Original";
const tsacore::UString CRC = u"CRC";
const tsacore::UString Energy = u"Energy";
const tsacore::UString PaddingType = u"PaddingType";
const tsacore::UString ShowAdvanced = u"ShowAdvanced";
} // namespace settingskeys

namespace {
void ReadInteger(const PropertyMap& map, const tsacore::UString& key, int32_t& field) {
    map.GetInteger(key, field);
}

void ReadBool(const PropertyMap& map, const tsacore::UString& key, bool& field) {
    if (int32_t value = 0; map.GetInteger(key, value)) field = value != 0;
}
} // namespace

tsacore::UString EncoderSettings::ToText() const {
    namespace keys = settingskeys;
    PropertyMap map;
    map.SetInteger(keys::CompressionType, CompressionType);
    map.SetInteger(keys::BitsPerSecond, BitsPerSecond);
    map.SetInteger(keys::ChannelMode, ChannelMode);
    map.SetInteger(keys::MPEGVersion, MPEGVersion);
    map.SetInteger(keys::EmphasisType, EmphasisType);
    map.SetInteger(keys::PAMType, PAMType);
    map.SetInteger(keys::ATH, std::bit_cast<int32_t>(ATH)); // the float's IEEE 754 bit pattern
    map.SetInteger(keys::Copy, Copy ? 1 : 0);
    map.SetInteger(keys::Original, Original ? 1 : 0);
    map.SetInteger(keys::CRC, CRC ? 1 : 0);
    map.SetInteger(keys::Energy, Energy ? 1 : 0);
    map.SetInteger(keys::PaddingType, PaddingType);
    map.SetInteger(keys::ShowAdvanced, ShowAdvanced ? 1 : 0);
    return map.ToText();
}

bool EncoderSettings::FromText(const tsacore::UString& text) {
    namespace keys = settingskeys;
    *this = EncoderSettings{};
    PropertyMap map;
    map.FromText(text);
    ReadInteger(map, keys::CompressionType, CompressionType);
    ReadInteger(map, keys::BitsPerSecond, BitsPerSecond);
    ReadInteger(map, keys::ChannelMode, ChannelMode);
    ReadInteger(map, keys::MPEGVersion, MPEGVersion);
    ReadInteger(map, keys::EmphasisType, EmphasisType);
    ReadInteger(map, keys::PAMType, PAMType);
    if (int32_t bits = 0; map.GetInteger(keys::ATH, bits)) ATH = std::bit_cast<float>(bits);
    ReadBool(map, keys::Copy, Copy);
    ReadBool(map, keys::Original, Original);
    ReadBool(map, keys::CRC, CRC);
    ReadBool(map, keys::Energy, Energy);
    ReadInteger(map, keys::PaddingType, PaddingType);
    ReadBool(map, keys::ShowAdvanced, ShowAdvanced);
    return true;
}

bool EncoderSettings::ConformBitrateToSampleRate(int32_t channels, int32_t sampleRate) {
    if (CompressionType != 0) return false;
    int32_t chosenRate = 0;
    int32_t rowBitrate = 0;
    ChooseSampleRate(BitsPerSecond, channels, sampleRate, chosenRate, rowBitrate); // only the rate matters
    if (chosenRate == sampleRate) return false;
    return ChooseBitrate(BitsPerSecond, chosenRate, channels);
}

bool EncoderSettings::operator==(const EncoderSettings& other) const {
    return CompressionType == other.CompressionType && BitsPerSecond == other.BitsPerSecond &&
           ChannelMode == other.ChannelMode && MPEGVersion == other.MPEGVersion &&
           PaddingType == other.PaddingType && EmphasisType == other.EmphasisType && PAMType == other.PAMType &&
           std::bit_cast<uint32_t>(ATH) == std::bit_cast<uint32_t>(other.ATH) && Copy == other.Copy &&
           Original == other.Original && CRC == other.CRC && Energy == other.Energy &&
           ShowAdvanced == other.ShowAdvanced;
}
} // namespace sova
