// SPDX-License-Identifier: MIT
// The encoder options of `encode`, shared with `convert`, which hands them on, as typed, to one
// `encode` process per file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "host/BroadcastWaveOutput.h"
#include "module/HostModule.h"

namespace sovahost {
struct EncodeOptions {
    std::string settingsText;                // starting settings; the options below override it
    std::optional<int32_t> rate;             // --rate: proposed output sample rate, Hz
    std::optional<int32_t> channels;         // --channels: 1 or 2
    std::optional<int32_t> bitrate;          // -b, kbit/s
    std::optional<std::string> mode;         // -m: s, j, d, m, a
    std::optional<int32_t> psymodel;         // -P: -1 to 4
    std::optional<float> ath;                // -l
    std::optional<std::string> emphasis;     // -e: n, 5, c
    bool protect = false;                    // -p: CRC
    bool padding = false;                    // -d
    bool energy = false;                     // -E
    bool copyright = false;                  // -c
    bool nonCopyright = false;
    bool original = false;
    bool nonOriginal = false;                // -o
    std::string sampleFormat = "auto";       // auto, u8, s16, s24, f32
    int64_t blockFrames = 16384;             // frames per selector 18
    bool skipConform = false;                // hand the settings straight to selector 17
    bool dialog = false;                     // edit the settings in the plug-in's dialog first
    bool noProgress = false;
    std::optional<double> loudness;          // --loudness: integrated loudness to reach by a gain, LUFS
    double truePeak = -1.0;                  // --true-peak: the ceiling the gain may not push past, dBTP
    int jobs = 0;                            // --jobs: processes encoding one file (0: one per core, 8 at most)
    int64_t segmentFrames = 0;               // the shortest segment worth a process (0: the default)
    BroadcastOptions broadcast;              // --container, --description, --originator, --originator-reference
    std::string profile;                     // --profile: a delivery profile's name (empty: none)
};

// The options AddEncodeOptions registered on a command, kept to hand them on as they were typed.
struct EncodeOptionSet {
    std::vector<CLI::Option*> all;        // owned by the command; live as long as it
    std::vector<CLI::Option*> inSettings; // those a settings text carries: replaced by it after --dialog
};
EncodeOptionSet AddEncodeOptions(CLI::App& command, EncodeOptions& options);
// encode's own --jobs and --segment-frames (convert has a --jobs of its own, for files).
void AddSegmentOptions(CLI::App& command, EncodeOptions& options);
// The command-line arguments that give a child process the options in `given` as they were typed
// (each under its long name), except those in `leaveOut`. Call after parsing.
std::vector<std::string> ForwardedArguments(const std::vector<CLI::Option*>& given,
                                            const std::vector<CLI::Option*>& leaveOut = {});
} // namespace sovahost
