// SPDX-License-Identifier: MIT
#include "host/OutputName.h"

#include <algorithm>
#include <filesystem>
#include <map>

#include <fmt/format.h>

namespace sovahost {
std::string OutputNameProblem(const std::string& path) {
    static const std::map<std::string, std::string> others = {
        {".rf64", "RF64"}, {".w64", "Wave64"},
        {".flac", "FLAC"}, {".aif", "AIFF"},   {".aiff", "AIFF"},         {".aifc", "AIFF-C"}, {".caf", "CAF"},
        {".au", "Sun AU"}, {".snd", "Sun AU"}, {".ogg", "Ogg"},           {".oga", "Ogg"},    {".opus", "Opus"},
        {".mp3", "MP3"},   {".mp1", "MPEG Layer I"}, {".m4a", "MPEG-4 audio"}, {".mp4", "MPEG-4"}, {".aac", "AAC"},
        {".wma", "WMA"},   {".ac3", "AC-3"},   {".mka", "Matroska"},      {".webm", "WebM"},  {".mpg", "MPEG video"}};
    if (path == "-") return {};
    std::string extension = std::filesystem::path(path).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    const auto found = others.find(extension);
    if (found == others.end()) return {};
    return fmt::format("'{}' names a {} file, but sova-host encode writes a raw MPEG Audio Layer II stream or a "
                       "broadcast WAV file holding one; name it .mp2 or .wav",
                       path, found->second);
}
} // namespace sovahost
