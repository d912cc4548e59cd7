// SPDX-License-Identifier: MIT
// The encoder settings record and its one-line text form. The host stores only the text;
// every operation that needs settings parses the text into a fresh record, and writes the
// record back with ToText when it changed it.
#pragma once

#include <cstdint>

#include <tsacore/String.h>

namespace sova {
// The thirteen keys of the settings text. Each field of EncoderSettings is named as its key.
namespace settingskeys {
extern const tsacore::UString CompressionType;
extern const tsacore::UString BitsPerSecond;
extern const tsacore::UString ChannelMode;
extern const tsacore::UString MPEGVersion;
extern const tsacore::UString EmphasisType;
extern const tsacore::UString PAMType;
extern const tsacore::UString ATH;
extern const tsacore::UString Copy;
extern const tsacore::UString Original;
extern const tsacore::UString CRC;
extern const tsacore::UString Energy;
extern const tsacore::UString PaddingType;
extern const tsacore::UString ShowAdvanced;
} // namespace settingskeys

class EncoderSettings {
public:
    EncoderSettings() = default; // every field at its default

    int32_t GetCompressionType() const { return CompressionType; }
    void SetCompressionType(int32_t value) { CompressionType = value; }
    int32_t GetBitsPerSecond() const { return BitsPerSecond; } // kbit/s
    void SetBitsPerSecond(int32_t value) { BitsPerSecond = value; }
    int32_t GetChannelMode() const { return ChannelMode; }
    void SetChannelMode(int32_t value) { ChannelMode = value; }
    int32_t GetMPEGVersion() const { return MPEGVersion; }
    void SetMPEGVersion(int32_t value) { MPEGVersion = value; }
    int32_t GetPaddingType() const { return PaddingType; }
    void SetPaddingType(int32_t value) { PaddingType = value; }
    int32_t GetEmphasisType() const { return EmphasisType; }
    void SetEmphasisType(int32_t value) { EmphasisType = value; }
    int32_t GetPAMType() const { return PAMType; }
    void SetPAMType(int32_t value) { PAMType = value; }
    float GetATH() const { return ATH; }
    void SetATH(float value) { ATH = value; }
    bool GetCopy() const { return Copy; }
    void SetCopy(bool value) { Copy = value; }
    bool GetOriginal() const { return Original; }
    void SetOriginal(bool value) { Original = value; }
    bool GetCRC() const { return CRC; }
    void SetCRC(bool value) { CRC = value; }
    bool GetEnergy() const { return Energy; }
    void SetEnergy(bool value) { Energy = value; }
    bool GetShowAdvanced() const { return ShowAdvanced; }
    void SetShowAdvanced(bool value) { ShowAdvanced = value; }

    // The settings text of the record: thirteen integer entries in key order.
    tsacore::UString ToText() const;
    // Replaces the whole record from a settings text; missing or malformed keys keep their
    // defaults. Always returns true.
    bool FromText(const tsacore::UString& text);
    // For constant bitrate only: when the bitrate implies a sample rate other than sampleRate,
    // moves BitsPerSecond to the nearest bitrate usable at the implied rate. Returns false when
    // nothing was considered (variable bitrate, or the rate already fits).
    bool ConformBitrateToSampleRate(int32_t channels, int32_t sampleRate);

    // Records are equal when their texts are: ATH compares by bit pattern.
    bool operator==(const EncoderSettings& other) const;

private:
    int32_t CompressionType = 0; // 0 = constant bitrate
    int32_t BitsPerSecond = 192; // kbit/s
    int32_t ChannelMode = -1;    // -1 auto, 0 stereo, 1 joint stereo, 2 dual channel, 3 mono
    int32_t MPEGVersion = 1;     // 1 = MPEG-1, 0 = MPEG-2 LSF
    int32_t PaddingType = 0;
    int32_t EmphasisType = 0;    // 0 none, 1 = 50/15 us, 3 = CCITT J.17
    int32_t PAMType = 1;         // psychoacoustic model, TwoLAME's numbering
    float ATH = 0.0f;            // threshold adjustment, used with models 3 and 4
    bool Copy = false;
    bool Original = false;
    bool CRC = false;
    bool Energy = false;
    bool ShowAdvanced = false;   // dialog preference only
};
} // namespace sova
