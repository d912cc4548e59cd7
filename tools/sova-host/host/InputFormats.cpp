// SPDX-License-Identifier: MIT
#include "InputFormats.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>
#include <string_view>

#include <fmt/format.h>
#include <sndfile.h>

namespace sovahost {
namespace {
// Other spellings of a libsndfile format's extension, and the subtype a spelling needs.
struct Alias {
    const char* extension;  // libsndfile's own extension of the format
    const char* spelling;
    int subtype;            // 0: any
};
constexpr Alias kAliases[] = {
    {"aiff", "aif", 0}, {"aiff", "aifc", 0}, {"au", "snd", 0},
    {"m1a", "mp1", SF_FORMAT_MPEG_LAYER_I}, {"m1a", "mp2", SF_FORMAT_MPEG_LAYER_II},
    {"m1a", "mp3", SF_FORMAT_MPEG_LAYER_III}, {"m1a", "mpa", 0},
    {"oga", "ogg", SF_FORMAT_VORBIS}, {"oga", "opus", SF_FORMAT_OPUS},
};

bool HasSubtype(int subtype) {
    int count = 0;
    sf_command(nullptr, SFC_GET_FORMAT_SUBTYPE_COUNT, &count, sizeof count);
    for (int i = 0; i < count; ++i) {
        SF_FORMAT_INFO info{};
        info.format = i;
        if (sf_command(nullptr, SFC_GET_FORMAT_SUBTYPE, &info, sizeof info) == 0 && info.format == subtype) return true;
    }
    return false;
}

std::set<std::string> AskLibsndfile() {
    std::set<std::string> extensions;
    int count = 0;
    sf_command(nullptr, SFC_GET_FORMAT_MAJOR_COUNT, &count, sizeof count);
    for (int i = 0; i < count; ++i) {
        SF_FORMAT_INFO info{};
        info.format = i;
        if (sf_command(nullptr, SFC_GET_FORMAT_MAJOR, &info, sizeof info) == 0 && info.extension &&
            (info.format & SF_FORMAT_TYPEMASK) != SF_FORMAT_RAW)
            extensions.insert(info.extension);
    }
    for (const Alias& alias : kAliases)
        if (extensions.count(alias.extension) && (alias.subtype == 0 || HasSubtype(alias.subtype)))
            extensions.insert(alias.spelling);
    return extensions;
}

// Audio people have that libsndfile does not read, by extension.
const std::map<std::string, const char*> kUnreadable = {
    {"aac", "AAC audio"},
    {"ac3", "Dolby Digital (AC-3) audio"},
    {"ape", "Monkey's Audio"},
    {"dts", "DTS audio"},
    {"eac3", "Dolby Digital Plus (E-AC-3) audio"},
    {"m4a", "AAC or ALAC audio in an MPEG-4 file"},
    {"m4b", "AAC audio in an MPEG-4 file"},
    {"mka", "Matroska audio"},
    {"mkv", "Matroska video"},
    {"mov", "QuickTime movie"},
    {"mp4", "MPEG-4 file"},
    {"webm", "WebM audio"},
    {"wma", "Windows Media Audio"},
    {"wv", "WavPack audio"},
};

// The path as one shell word.
std::string ShellWord(const std::string& path) {
    const bool plain = !path.empty() && std::all_of(path.begin(), path.end(), [](unsigned char c) {
        return std::isalnum(c) || std::string_view("_./+-=,:@%").find(static_cast<char>(c)) != std::string_view::npos;
    });
    std::string word = plain ? path : "'";
    if (!plain) {
        for (char c : path) word += c == '\'' ? std::string("'\\''") : std::string(1, c);
        word += "'";
    }
    // A name that begins with "-" would be read as an option.
    return path.rfind('-', 0) == 0 && path != "-" ? "./" + word : word;
}
} // namespace

const std::set<std::string>& ReadableExtensions() {
    static const std::set<std::string> extensions = AskLibsndfile();
    return extensions;
}

std::string LowerExtension(const std::string& path) {
    std::string extension = std::filesystem::path(path).extension().string();
    if (!extension.empty()) extension.erase(0, 1);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension;
}

bool HasReadableExtension(const std::string& path) { return ReadableExtensions().count(LowerExtension(path)) > 0; }

std::string UnreadableFormatAdvice(const std::string& input, const std::string& output) {
    const auto found = kUnreadable.find(LowerExtension(input));
    if (found == kUnreadable.end()) return {};
    return fmt::format("{} (.{}) is not read by sova-host; decode it with ffmpeg: ffmpeg -i {} -f wav - | "
                       "sova-host encode - {}",
                       found->second, found->first, ShellWord(input), ShellWord(output));
}
} // namespace sovahost
