// SPDX-License-Identifier: MIT
// What sova-host knows about one input file: what the module reports when it opens it (format,
// description, the settings that would write it again), what the walk of its frame headers shows,
// and, when asked, what reading the whole stream through the module showed.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "host/FrameWalk.h"
#include "module/ReadSession.h"
#include "host/ReadThrough.h"
#include "host/StreamDamage.h"

namespace sovahost {
struct FileFacts {
    std::string path;
    std::string refusal;     // empty when the module opened the file; else why not, in words
    std::string refusalKind; // "missing", "unreadable", "not MPEG audio" or "unusable"
    std::string description; // the module's one-line description
    AudioFormat format;      // as selector 6 reported it
    std::string settingsText;
    std::optional<int32_t> bitrate; // kbit/s
    int32_t mode = -1;              // 0 stereo, 1 joint stereo, 2 dual channel, 3 mono
    int32_t emphasis = 0;           // 0 none, 1 50/15 us, 3 CCITT J.17
    bool crc = false, copyright = false, original = false;
    std::optional<FrameWalk> walk;             // nullopt when the file could not be read for it
    std::optional<ReadThroughReport> verified; // with --verify
    std::optional<StreamDamage> damage;        // with --verify

    // Samples per channel: the exact count when the stream was read through, else what the frame
    // headers promise, else the length libmpg123 estimated at open (-1 unknown).
    int64_t Samples() const;
    // "exact", "as decoded from a damaged stream", "from the frame headers" or "estimated at open"
    const char* SamplesSource() const;
    double Seconds(int64_t frames) const;
    std::string ModeName() const;
    std::string EmphasisName() const;
    std::string VerifiedInWords() const;
    // Damage that the frame headers show, when the stream was not read through: "damaged: ..."
    std::string HeaderDamageInWords() const;
    // Damaged as reading through found, else as the frame headers show.
    bool Damaged() const {
        return damage ? damage->Damaged() : walk && !walk->problems.empty();
    }
};

struct FactOptions {
    bool verify = false;          // read the stream to its end
    int32_t block = 4096;         // frames per read when verifying
    bool hideDecoderNotes = true; // libmpg123's own notes on stderr
};

// Why the module refused to open a stream (selector 5's result), in the words info and decode share.
std::string OpenRefusalInWords(int32_t result, const std::optional<FrameWalk>& walk);
// "PCM samples", "float samples"...: what a RIFF/WAVE file holds when it is not MPEG audio;
// nullopt for MPEG audio in a WAV file (a broadcast WAV file), an unknown format or another file.
std::optional<std::string> WaveSamplesKind(const std::string& path);
// "not MPEG audio: a WAV file of PCM samples (module answer ...)"
std::string WaveRefusalInWords(const std::string& samples, int32_t result);

FileFacts GatherFileFacts(StartedModule& module, const std::string& path, const FactOptions& options);

// "II" for 2.
std::string LayerNumeral(int layer);
} // namespace sovahost
