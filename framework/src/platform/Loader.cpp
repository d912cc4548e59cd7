// SPDX-License-Identifier: MIT
// The loader stand-in: Windows library names mapped to this platform's, looked for in the
// host's folders first and then through the dynamic linker's own search.
#include <platform/Loader.h>

#include <algorithm>
#include <mutex>
#include <set>

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
    std::set<std::string> loadedFromFolders; // paths of every library loaded from a folder
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

// The file the dynamic linker itself picks for a bare name (LD_LIBRARY_PATH, run paths, its
// cache, its default folders for this architecture), asked in a namespace of its own so that
// a library of that name loaded already cannot answer instead.
std::string FindAsTheSystemWould(const std::string& name)
{
    void* probe = ::dlmopen(LM_ID_NEWLM, name.c_str(), RTLD_LAZY | RTLD_LOCAL);
    if (probe == nullptr)
        return {};
    struct link_map* map = nullptr;
    std::string path;
    if (::dlinfo(probe, RTLD_DI_LINKMAP, &map) == 0 && map != nullptr && map->l_name != nullptr)
        path = map->l_name;
    ::dlclose(probe);
    return path;
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

namespace {
thread_local std::string lastLoadError;

ModuleHandle Open(const std::string& path, int extraFlags = 0)
{
    ModuleHandle module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | extraFlags);
    const char* reason = module == nullptr ? ::dlerror() : nullptr;
    if (module == nullptr && (extraFlags & RTLD_NOLOAD) == 0)
        lastLoadError = reason != nullptr ? reason : path + ": cannot be loaded";
    return module;
}

ModuleHandle LoadMapped(const std::string& mapped)
{
    if (mapped.find('/') != std::string::npos)
        return Open(mapped); // a path: exactly that file

    std::vector<std::string> folders;
    bool searchSystem;
    std::set<std::string> loadedFromFolders;
    {
        LoaderConfiguration& c = Configuration();
        std::lock_guard lock(c.mutex);
        folders = c.folders;
        searchSystem = c.searchSystem;
        loadedFromFolders = c.loadedFromFolders;
    }
    for (const std::string& folder : folders) {
        const std::string candidate = (folder.empty() ? "./" : folder.back() == '/' ? folder : folder + "/") + mapped;
        if (Present(candidate)) {
            // Found here: this file or nothing. Falling through to another folder or the
            // system would silently hand out a different library than the host provided.
            ModuleHandle module = Open(candidate);
            // Only a new load carries the folder's path; a file that was already loaded
            // (through a link, say) keeps the name it was first loaded under.
            if (module != nullptr && ModuleFilePath(module) == candidate) {
                LoaderConfiguration& c = Configuration();
                std::lock_guard lock(c.mutex);
                c.loadedFromFolders.insert(candidate);
            }
            return module;
        }
    }
    if (!searchSystem) {
        lastLoadError = mapped + ": not in the configured folders";
        return nullptr;
    }

    // A bare name also matches the internal name of a library already loaded, so a copy
    // loaded from a folder earlier would answer for the system's library. Then the system's
    // file is looked up by path instead.
    if (ModuleHandle loaded = Open(mapped, RTLD_NOLOAD)) {
        const std::string loadedPath = ModuleFilePath(loaded);
        if (loadedFromFolders.count(loadedPath) == 0)
            return loaded;
        ::dlclose(loaded);
        const std::string systemPath = FindAsTheSystemWould(mapped);
        if (systemPath.empty()) {
            lastLoadError = mapped + ": not found in the system's folders";
            return nullptr;
        }
        return Open(systemPath); // the folder's copy again only when it is the system's file
    }
    return Open(mapped);
}
} // namespace

std::string LastLoadError()
{
    return lastLoadError;
}

ModuleHandle LoadLibraryW(const char16_t* fileName)
{
    lastLoadError.clear();
    if (fileName == nullptr || *fileName == 0) {
        lastLoadError = "no library name";
        return nullptr;
    }
    return LoadMapped(MapLibraryName(fileName));
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
    void* address = ::dlsym(module, symbolName);
    if (address == nullptr)
        return nullptr;
    // Only the library's own entry points count, as with GetProcAddress: dlsym would also
    // answer with a symbol of a library that this one depends on.
    struct link_map* owner = nullptr;
    struct link_map* own = nullptr;
    Dl_info info{};
    if (::dladdr1(address, &info, reinterpret_cast<void**>(&owner), RTLD_DL_LINKMAP) == 0 ||
        ::dlinfo(module, RTLD_DI_LINKMAP, &own) != 0 || owner != own)
        return nullptr;
    return address;
}
} // namespace tsacore::utility
