// SPDX-License-Identifier: MIT
// Which files sova-host reads as audio, judged by the file-name extension: what libsndfile
// reads here, and the formats people bring that it does not (with the way round them).
#pragma once

#include <set>
#include <string>

namespace sovahost {
// Extensions (lower case, no dot) of the formats this libsndfile reads, with their usual other
// spellings: mp1/mp2/mp3 for MPEG audio, ogg/opus for Ogg, aif/aifc for AIFF. Header-less raw
// samples are not among them (nothing says their rate and channels).
const std::set<std::string>& ReadableExtensions();

// The path's extension, lower case without the dot; empty when it has none.
std::string LowerExtension(const std::string& path);

bool HasReadableExtension(const std::string& path);

// For a file whose extension names audio that sova-host cannot read (m4a, aac, mp4, wma, ...):
// one line saying what it is and the ffmpeg pipe that encodes it, with these paths in it.
// Empty for every other file.
std::string UnreadableFormatAdvice(const std::string& input, const std::string& output);
} // namespace sovahost
