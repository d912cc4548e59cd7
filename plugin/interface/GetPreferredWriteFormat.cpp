// SPDX-License-Identifier: MIT
#include "interface/SovaMp2Interface.h"

// 16-bit stereo at 44100 Hz.
int32_t SovaMp2Interface::GetPreferredWriteFormat(sova::sdk::HostAudioFormat* format) {
    format->SetChannelCount(2);
    format->SetSampleRate(44100);
    format->SetSampleFormat(sova::sdk::kSampleInt16);
    return sova::sdk::kResultOK;
}
