// SPDX-License-Identifier: MIT
// The localiser: a table from "$$$/..." keys to translated texts, filled by the host.
#include <tsacore/config/Localizer.h>

#include <fstream>
#include <mutex>
#include <unordered_map>

#include <sys/stat.h>

#include <tsacore/utility/StringConversion.h>

namespace tsacore::config {
namespace {
struct Translations {
    std::mutex mutex;
    std::unordered_map<ByteString, UString> table;
};

Translations& TheTranslations()
{
    static Translations translations;
    return translations;
}

void TrimBlanks(ByteString& s)
{
    const auto first = s.find_first_not_of(" \t\r\n");
    if (first == ByteString::npos) {
        s.clear();
        return;
    }
    const auto last = s.find_last_not_of(" \t\r\n");
    s = s.substr(first, last - first + 1);
}
} // namespace

Localizer& Localizer::Get()
{
    struct Instance : Localizer {};
    static Instance instance;
    return instance;
}

UString& Localizer::Localize(UString& out, const char* literal)
{
    if (literal == nullptr) {
        out.clear();
        return out;
    }
    const ByteString text(literal);
    const auto equals = text.find('=');
    const ByteString key = equals == ByteString::npos ? text : text.substr(0, equals);
    {
        Translations& t = TheTranslations();
        std::lock_guard lock(t.mutex);
        const auto found = t.table.find(key);
        if (found != t.table.end()) {
            out = found->second;
            return out;
        }
    }
    out = utility::UTF8to16(equals == ByteString::npos ? text : text.substr(equals + 1));
    return out;
}

bool Localizer::LoadTranslations(const std::string& path)
{
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::string line;
    bool first = true;
    while (std::getline(in, line)) {
        if (first && line.compare(0, 3, "\xEF\xBB\xBF") == 0)
            line.erase(0, 3); // byte-order mark
        first = false;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        ByteString probe = line;
        TrimBlanks(probe);
        if (probe.empty() || probe[0] == '#')
            continue;
        // Blanks around the key are dropped; the text stays exactly as written, since a
        // translation may need its leading or trailing blanks.
        const auto equals = line.find('=');
        if (equals == std::string::npos)
            continue; // not a translation line
        ByteString key = line.substr(0, equals);
        TrimBlanks(key);
        if (key.empty())
            continue;
        AddTranslation(key, utility::UTF8to16(line.substr(equals + 1)));
    }
    return !in.bad();
}

void Localizer::AddTranslation(const ByteString& key, const UString& text)
{
    Translations& t = TheTranslations();
    std::lock_guard lock(t.mutex);
    t.table[key] = text;
}

void Localizer::ClearTranslations()
{
    Translations& t = TheTranslations();
    std::lock_guard lock(t.mutex);
    t.table.clear();
}

UString Localize(const char* literal)
{
    UString out;
    Localizer::Get().Localize(out, literal);
    return out;
}
} // namespace tsacore::config
