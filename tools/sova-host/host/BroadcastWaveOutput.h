// SPDX-License-Identifier: MIT
// encode's broadcast WAV output (an output named .wav or .bwf, or --container bwf): the module
// writes its raw Layer II frames to a temporary file of their own, in a private folder beside the
// output; Wrap then writes the WAV file (BroadcastWave.h) to the output's work path, which the
// caller commits as for a raw MP2. The bext text comes from the options, else from the source's
// own bext or LIST INFO chunk, and the coding history of the source continues with this encode's line.
#pragma once

#include <ctime>
#include <memory>
#include <optional>
#include <string>

#include "host/BroadcastWave.h"
#include "host/Loudness.h"
#include "host/TempFile.h"

namespace sovahost {
struct BroadcastOptions {
    std::string container;                     // --container: "", "mp2" or "bwf"
    std::optional<std::string> description;    // --description
    std::optional<std::string> originator;     // --originator
    std::optional<std::string> originatorReference; // --originator-reference
};

// True when the output is to be a broadcast WAV file: --container bwf, or no --container and a
// name ending in .wav, .wave or .bwf (any case).
bool WantsBroadcastWave(const std::string& outPath, const BroadcastOptions& options);

// Empty when the options fit the output and the bext fields (printable ASCII, 256, 32 and 32 bytes
// at most, and only with a broadcast WAV output; no WAV name for --container mp2); else why not, in words.
std::string BroadcastOptionProblem(const std::string& outPath, const BroadcastOptions& options);

// What a WAV source's bext chunk, or else its LIST INFO chunk, says (libsndfile); empty fields
// when it has neither. timeReference is in the source's samples.
BroadcastText SourceBroadcastText(const std::string& sourcePath);

// The bext text of the output: each option over the source's value; the origination date and
// time of the source, else `now` (local time); the time reference rescaled to the output rate;
// the source's coding history followed by the line for `stream`.
BroadcastText ComposeBroadcastText(const BroadcastOptions& options, const BroadcastText& source, int32_t sourceRate,
                                   const LayerTwoStream& stream, const std::string& software, std::time_t now);

// The five loudness fields of a bext chunk from a measurement (what it could not measure, such as
// the loudness of silence, stays missing).
StoredLoudness StoredFrom(const LoudnessFacts& facts);

class BroadcastWaveOutput {
public:
    // Creates the frames file in a private folder in finalPath's folder (the current folder for
    // standard output); throws std::runtime_error when it cannot.
    explicit BroadcastWaveOutput(const std::string& finalPath);
    // Where the module writes the raw frames.
    const std::string& FramesPath() const { return frames_->Path(); }
    // Before encoding `samples` per channel at `rate` and `kbps` (0 when unknown): throws
    // std::runtime_error when the frames would not fit in a WAV file; returns the padding note to
    // show (PaddingNote), empty when there is none.
    std::string Prepare(int64_t samples, int32_t rate, int32_t kbps, bool padding) const;
    // After the module closed the frames file: describes the frames (energyLevels: TwoLAME wrote
    // energy levels in the ancillary data), composes the bext text (ComposeBroadcastText) and
    // writes the WAV file to workPath; returns the frames' description. Throws
    // std::runtime_error when it cannot.
    LayerTwoStream Finish(const BroadcastOptions& options, const std::string& sourcePath, int32_t sourceRate,
                          bool energyLevels, const StoredLoudness& loudness, const std::string& software,
                          const std::string& workPath) const;
private:
    std::unique_ptr<TempFile> frames_;
};

// The line encode says about padding in a broadcast WAV file: at 22050 and 44100 Hz padding makes
// the frames differ in size, which the mext chunk then declares; empty at the other rates.
std::string PaddingNote(int32_t rate, bool padding);
} // namespace sovahost
