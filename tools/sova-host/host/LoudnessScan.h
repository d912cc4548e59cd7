// SPDX-License-Identifier: MIT
// A whole file's loudness: MPEG audio decoded through the module, any other audio through
// libsndfile. Both read to the end; `progress`, when set, is told the frames measured so far.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "host/AudioSource.h"
#include "host/Json.h"
#include "host/Loudness.h"
#include "module/ReadSession.h"

namespace sovahost {
using MeasureProgress = std::function<void(int64_t framesDone)>;

// The session must be open (ReadSession::Open succeeded) and not yet read from.
LoudnessFacts MeasureSession(ReadSession& session, int32_t block, const MeasureProgress& progress = {},
                             LoudnessMeter::Measures measures = LoudnessMeter::Measures::All);
// Reads the source from where it is to its end; the caller rewinds it for a second pass.
LoudnessFacts MeasureSource(AudioSource& source, const MeasureProgress& progress = {});

// One file's loudness as `info --loudness` measures it: an MPEG stream the module opened (mpeg
// set), else any audio libsndfile reads (formatName says which); nullopt when neither can read it.
struct FileLoudness {
    LoudnessFacts facts;
    std::string formatName; // libsndfile's name of the format; empty for MPEG audio read through the module
    int32_t rate = 0, channels = 0;
    int64_t frames = 0;     // measured, per channel
};
std::optional<FileLoudness> MeasureFile(StartedModule& module, const std::string& path, bool mpeg, bool hideDecoderNotes,
                                        const MeasureProgress& progress = {},
                                        LoudnessMeter::Measures measures = LoudnessMeter::Measures::All);

// "-23.0 LUFS" and the like; "-inf" for silence.
std::string LevelText(const std::optional<double>& value, const char* unit);
// "integrated -23.0 LUFS, range 5.2 LU, true peak -1.3 dBTP, sample peak -1.9 dBFS"
std::string LoudnessInWords(const LoudnessFacts& facts);
// The four figures under the names scripts read: "loudness_lufs", "loudness_range_lu",
// "true_peak_dbtp", "sample_peak_dbfs" (null where the stream has none: silence), and the
// highest momentary and short-term levels.
void AddLoudness(JsonObject& json, const LoudnessFacts& facts);
} // namespace sovahost
