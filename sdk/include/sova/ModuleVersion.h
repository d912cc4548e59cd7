// SPDX-License-Identifier: MIT
// For hosts: the SDK version a loaded module was built with, read from its "Sova" note (see
// VersionNote.h) in the loaded image, before any call into the module. Linux (glibc) only.
#pragma once

#include <dlfcn.h>
#include <link.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>

#include <sova/Version.h>

namespace sova::sdk {
namespace detail {
struct NoteSearch {
    ElfW(Addr) loadBias;
    std::optional<SdkVersion> version;
};

inline std::optional<SdkVersion> FindSovaNote(const unsigned char* notes, size_t size, size_t alignment) {
    const auto aligned = [alignment](size_t n) { return (n + alignment - 1) & ~(alignment - 1); };
    size_t offset = 0;
    while (offset + sizeof(ElfW(Nhdr)) <= size) {
        ElfW(Nhdr) header;
        std::memcpy(&header, notes + offset, sizeof header);
        const size_t name = offset + sizeof header;
        const size_t description = name + aligned(header.n_namesz);
        const size_t next = description + aligned(header.n_descsz);
        if (next > size) break;
        if (header.n_type == 1 && header.n_namesz == 5 && header.n_descsz == 12 &&
            std::memcmp(notes + name, "Sova", 5) == 0) {
            uint32_t numbers[3];
            std::memcpy(numbers, notes + description, sizeof numbers);
            return SdkVersion{numbers[0], numbers[1], numbers[2]};
        }
        offset = next;
    }
    return std::nullopt;
}

inline int SearchLoadedObject(dl_phdr_info* info, size_t, void* data) {
    auto* search = static_cast<NoteSearch*>(data);
    if (info->dlpi_addr != search->loadBias) return 0;
    for (ElfW(Half) i = 0; i < info->dlpi_phnum && !search->version; ++i) {
        const ElfW(Phdr)& segment = info->dlpi_phdr[i];
        if (segment.p_type != PT_NOTE) continue;
        search->version = FindSovaNote(reinterpret_cast<const unsigned char*>(info->dlpi_addr + segment.p_vaddr),
                                       segment.p_memsz, segment.p_align == 8 ? 8 : 4);
    }
    return 1;
}
} // namespace detail

// moduleHandle is what dlopen returned. No value when the module carries no note (built
// without SOVA_SDK_VERSION_NOTE): its SDK version cannot be known.
inline std::optional<SdkVersion> LoadedModuleSdkVersion(void* moduleHandle) {
    link_map* map = nullptr;
    if (moduleHandle == nullptr || dlinfo(moduleHandle, RTLD_DI_LINKMAP, &map) != 0 || map == nullptr)
        return std::nullopt;
    detail::NoteSearch search{map->l_addr, std::nullopt};
    dl_iterate_phdr(detail::SearchLoadedObject, &search);
    return search.version;
}
} // namespace sova::sdk
