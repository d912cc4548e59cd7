// SPDX-License-Identifier: MIT
// What `info` says of a broadcast WAV file holding MPEG audio: the MPEG wave format, the mext
// flags, the bext text and the loudness it stores, in lines and in JSON fields.
#pragma once

#include <functional>
#include <string>

#include "host/BroadcastWaveReader.h"
#include "host/Json.h"

namespace sovahost {
// True when the file is a WAV file whose format tag is MPEG (0x0050).
bool HoldsMpeg(const BroadcastWaveFacts& facts);

// Calls line(label, value) for each fact, labels such as "container:", "bext:", "loudness:".
void BroadcastWaveLines(const BroadcastWaveFacts& facts,
                        const std::function<void(const char* label, const std::string& value)>& line);

// "container": "broadcast WAV" and a "bwf" object with the chunks' fields.
void AddBroadcastWaveJson(JsonObject& json, const BroadcastWaveFacts& facts);
} // namespace sovahost
