// SPDX-License-Identifier: MIT
// The libmpg123 binding: the decoder library is loaded at run time by file name (never
// linked), its entry points are looked up by name, and it counts as bound only when every
// one of them was found. Module-wide state; all operations are static. Once bound it stays
// bound for the life of the process.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include <platform/Loader.h>

// The original (enum-typed, unsuffixed) names, as exported by the library under those names.
#ifndef MPG123_ENUM_API
#define MPG123_ENUM_API
#endif
#ifndef MPG123_NO_LARGENAME
#define MPG123_NO_LARGENAME
#endif
#include <mpg123.h>

namespace sova {

// One pointer per entry point, in look-up order; null when not (yet) found. The signatures are
// those published in <mpg123.h> for this platform (size_t sizes, off_t lengths).
struct Mpg123Functions {
    int (*mpg123_init)(void);
    void (*mpg123_exit)(void);
    mpg123_handle* (*mpg123_new)(const char* decoder, int* error);
    void (*mpg123_delete)(mpg123_handle* mh);
    int (*mpg123_param)(mpg123_handle* mh, enum mpg123_parms type, long value, double fvalue);
    int (*mpg123_getparam)(mpg123_handle* mh, enum mpg123_parms type, long* value, double* fvalue);
    const char* (*mpg123_plain_strerror)(int errcode);
    const char* (*mpg123_strerror)(mpg123_handle* mh);
    int (*mpg123_errcode)(mpg123_handle* mh);
    mpg123_handle* (*mpg123_parnew)(mpg123_pars* mp, const char* decoder, int* error);
    mpg123_pars* (*mpg123_new_pars)(int* error);
    void (*mpg123_delete_pars)(mpg123_pars* mp);
    int (*mpg123_format_none)(mpg123_handle* mh);
    int (*mpg123_format)(mpg123_handle* mh, long rate, int channels, int encodings);
    int (*mpg123_getformat)(mpg123_handle* mh, long* rate, int* channels, int* encoding);
    int (*mpg123_open)(mpg123_handle* mh, const char* path);
    int (*mpg123_close)(mpg123_handle* mh);
    int (*mpg123_read)(mpg123_handle* mh, void* outmemory, size_t outmemsize, size_t* done);
    int (*mpg123_info)(mpg123_handle* mh, struct mpg123_frameinfo* mi);
    size_t (*mpg123_outblock)(mpg123_handle* mh);
    off_t (*mpg123_length)(mpg123_handle* mh);
};

class Mpg123Library {
public:
    static constexpr size_t kEntryPointCount = 21;
    // The names in the order Resolve looks them up (the order of Mpg123Functions).
    static const std::array<const char*, kEntryPointCount> kEntryPointNames;

    static bool Bind();    // true when loaded and complete; repeated calls return at once
    static void Load();    // "libmpg123.dll", then "libmpg123-0.dll"; never throws
    static void Unload();  // frees the library; the bound flag and the table stay as they are
    static void Resolve(); // looks every name up again; a missing one stores null

    // Decoder calls; they assume a bound library.
    static mpg123_handle* CreateDecoder(); // float output forced; null on failure
    static int CloseDecoder(mpg123_handle* h); // close, delete, exit; null h allowed
    static int OpenStream(mpg123_handle* h, std::string utf8Path);
    static int LockOutputFormat(mpg123_handle* h, long* rate, int* channels, int* encoding);
    static int GetFrameInfo(mpg123_handle* h, mpg123_frameinfo* info);
    static int GetStreamLength(mpg123_handle* h, int64_t* frames);
    static uint32_t GetOutputBlockSize(mpg123_handle* h);
    static int ReadDecoded(mpg123_handle* h, unsigned char* buffer, size_t size, size_t* done);

    // State, for hosts of the module's internals (tests).
    static bool IsBound();
    static platform::ModuleHandle Handle();
    static const Mpg123Functions& Functions();
};

} // namespace sova
