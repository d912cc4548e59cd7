// SPDX-License-Identifier: MIT
// An MP2 output whose name says it is another format (out.flac, out.mp3) would mislead every
// program that trusts the extension; such names are refused. .wav, .wave and .bwf name a broadcast
// WAV file holding the frames (BroadcastWaveOutput.h).
#pragma once

#include <string>

namespace sovahost {
// Empty when the name suits a raw MPEG Audio Layer II stream (.mp2, .mpa, ..., no or an unknown
// extension, "-") or a broadcast WAV file (.wav, .wave, .bwf); otherwise why not, in words.
std::string OutputNameProblem(const std::string& path);
} // namespace sovahost
