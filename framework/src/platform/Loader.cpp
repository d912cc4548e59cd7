// The loader stand-in: Windows library names mapped to this platform's, looked for in the
// host's folders first and then through the dynamic linker's own search.
#include <platform/Loader.h>

#include <algorithm>
#include <mutex>

#include <dlfcn.h>
#include <link.h>
#include <sys/stat.h>

#include <tsacore/utility/ModuleSymbols.h>
#include <tsacore/utility/StringConversion.h>

namespace platform {
namespace {
struct LoaderConfiguration {
    std::mutex mutex;
    std::vector<std::string> folders;
    bool searchSystem = true;
};

LoaderConfiguration& Configuration()
{
    static LoaderConfiguration configuration;
    return configuration;
}

// Anything at the path, a dangling link included: the host put it there for us.
bool Present(const std::string& path)
{
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

std::string Lowercase(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c); });
    return text;
}
} // namespace

std::string MapLibraryName(const std::u16string& windowsName)
{
    const std::string name = tsacore::utility::UTF16to8(windowsName);
    // Windows names are case-insensitive; the known ones map onto their exact Linux names.
    const std::string lower = Lowercase(name);
    if (lower == "libmpg123.dll")
        return "libmpg123.so";
    if (lower == "libmpg123-0.dll")
        return "libmpg123.so.0";
    if (lower == "twolame.dll")
        return "libtwolame.so";
    if (lower == "twolamed.dll")
        return "libtwolame.so.0";
    if (lower.size() > 4 && lower.compare(lower.size() - 4, 4, ".dll") == 0)
        return name.substr(0, name.size() - 4) + ".so";
    return name;
}

ModuleHandle LoadLibraryW(const char16_t* fileName)
{
    if (fileName == nullptr || *fileName == 0)
        return nullptr;
    const std::string mapped = MapLibraryName(fileName);
    if (mapped.find('/') != std::string::npos)
        return ::dlopen(mapped.c_str(), RTLD_NOW | RTLD_LOCAL); // a path: exactly that file

    std::vector<std::string> folders;
    bool searchSystem;
    {
        LoaderConfiguration& c = Configuration();
        std::lock_guard lock(c.mutex);
        folders = c.folders;
        searchSystem = c.searchSystem;
    }
    for (const std::string& folder : folders) {
        const std::string candidate = (folder.empty() || folder.back() == '/' ? folder : folder + "/") + mapped;
        if (Present(candidate)) {
            // Found here: this file or nothing. Falling through to another folder or the
            // system would silently hand out a different library than the host provided.
            return ::dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL);
        }
    }
    if (!searchSystem)
        return nullptr;
    return ::dlopen(mapped.c_str(), RTLD_NOW | RTLD_LOCAL);
}

bool FreeLibrary(ModuleHandle module)
{
    return module != nullptr && ::dlclose(module) == 0;
}

void SetLibrarySearchFolders(const std::vector<std::string>& folders, bool searchSystem)
{
    LoaderConfiguration& c = Configuration();
    std::lock_guard lock(c.mutex);
    c.folders = folders;
    c.searchSystem = searchSystem;
}

std::string ModuleFilePath(ModuleHandle module)
{
    if (module == nullptr)
        return {};
    struct link_map* map = nullptr;
    if (::dlinfo(module, RTLD_DI_LINKMAP, &map) != 0 || map == nullptr || map->l_name == nullptr)
        return {};
    return map->l_name;
}
} // namespace platform

namespace tsacore::utility {
void* GetFunctionPointerFromModuleImpl(platform::ModuleHandle module, const char* symbolName)
{
    if (module == nullptr || symbolName == nullptr)
        return nullptr;
    return ::dlsym(module, symbolName);
}
} // namespace tsacore::utility
