// SPDX-License-Identifier: MIT
// Whether an MPEG audio Layer II file is fit to deliver: the facts of one file (its frames as
// sova-host's own walk finds them, its CRCs, its tags, its audio as the module decodes it) and
// the failures found in them. A delivery profile adds its own requirements to the same report
// with Fail (after CheckDelivery, before the report is shown).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "host/FrameAudit.h"
#include "host/Loudness.h"
#include "host/StreamDamage.h"
#include "module/ReadSession.h"

namespace sovahost {
struct DeliveryFailure {
    std::string check;             // what failed, one word scripts can match: "crc", "junk", "loudness", ...
    std::string message;           // in words, with its place
    std::optional<uint64_t> offset; // byte in the file, when it has one
    std::optional<int64_t> frame;  // audio frame, counting from 1, when it is one frame
    std::optional<double> seconds; // time in the audio, when it has one
};

// What the decoded audio showed.
struct DecodedFacts {
    int32_t sampleRate = 0, channels = 0;
    int64_t samples = 0;          // per channel, delivered by the module
    double headSilence = 0, tailSilence = 0; // seconds below the threshold at each end
    bool allSilent = false;
    double silenceThresholdDbfs = 0;
    StreamDamage damage;          // the decoder's failures, against what the headers promise
    std::optional<LoudnessFacts> loudness; // when asked for
};

struct LoudnessRequirement {
    double targetLufs = -23;
    double toleranceLu = 1;
    std::optional<double> truePeakCeilingDbtp; // the highest true peak allowed
    bool judged = true; // false: shown against the target only, a delivery profile judges it
};

struct DeliveryReport {
    std::string path;
    FrameAudit frames;
    std::optional<DecodedFacts> decoded;        // when the module could read the file
    std::optional<LoudnessRequirement> loudnessRequired;
    std::vector<DeliveryFailure> failures;      // in the order found

    bool Fit() const { return failures.empty(); }
    DeliveryFailure& Fail(std::string check, std::string message);
    // The walk found a stream of frames (not free format).
    bool Walked() const { return frames.walk && frames.walk->Found() && !frames.walk->freeFormat; }
};

struct DeliveryOptions {
    std::optional<LoudnessRequirement> loudness; // measure loudness and judge it against this
    bool measureLoudness = false;                // measure it without judging
    int32_t block = 16384;                       // frames per read from the module
};

// The whole check of one file: the walk and its CRCs, the module's decoding, silence and, when
// asked, loudness; each failure found is in the report.
DeliveryReport CheckDelivery(StartedModule& module, const std::string& path, const DeliveryOptions& options);
} // namespace sovahost
