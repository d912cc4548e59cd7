// SPDX-License-Identifier: MIT
#include "codecs/Mpg123Library.h"

#include "codecs/LibraryBinding.h"
#include "codecs/TraceMessage.h"

namespace sova {

namespace {
// Zero-initialised when the module loads.
platform::ModuleHandle sHandle;
bool sBound;
Mpg123Functions sFunctions;
binding::LibraryTraceSites sLoadTraces;

// Every entry point, in look-up order.
#define SOVA_MPG123_ENTRY_POINTS(X)                                                                       \
    X(mpg123_init) X(mpg123_exit) X(mpg123_new) X(mpg123_delete) X(mpg123_param) X(mpg123_getparam)        \
    X(mpg123_plain_strerror) X(mpg123_strerror) X(mpg123_errcode) X(mpg123_parnew) X(mpg123_new_pars)      \
    X(mpg123_delete_pars) X(mpg123_format_none) X(mpg123_format) X(mpg123_getformat) X(mpg123_open)        \
    X(mpg123_close) X(mpg123_read) X(mpg123_info) X(mpg123_outblock) X(mpg123_length)

bool AllFound() {
#define SOVA_FOUND(name) &&sFunctions.name
    return true SOVA_MPG123_ENTRY_POINTS(SOVA_FOUND);
#undef SOVA_FOUND
}
} // namespace

const std::array<const char*, Mpg123Library::kEntryPointCount> Mpg123Library::kEntryPointNames = {
#define SOVA_NAME(name) #name,
    SOVA_MPG123_ENTRY_POINTS(SOVA_NAME)
#undef SOVA_NAME
};

void Mpg123Library::Load() {
    binding::Load(sHandle, {"libmpg123.dll", "libmpg123-0.dll", "Loading libmpg123...",
                            "Could not load the default libmpg123 library. Checking for an alternate 'libmpg123-0.dll'",
                            "Could not load libmpg123!", "Exception when loading libmpg123!"},
                  sLoadTraces);
}

void Mpg123Library::Unload() {
    // Intended: unlike the encoder binding, the bound flag and the table stay as they are.
    binding::Unload(sHandle, "Unloading libmpg123...", sLoadTraces);
}

void Mpg123Library::Resolve() {
#define SOVA_RESOLVE(name) binding::Resolve(sHandle, sFunctions.name, #name);
    SOVA_MPG123_ENTRY_POINTS(SOVA_RESOLVE)
#undef SOVA_RESOLVE
}

bool Mpg123Library::Bind() {
    if (sBound) // intended: the decoder binding is checked once; the encoder's checks again on every call
        return true;
    Load();
    if (!sHandle) {
        SOVA_TRACE("Could not find libmpg123 Library");
        Unload();
        return false;
    }
    Resolve();
    if (!AllFound()) {
        SOVA_TRACE("Incompatible libmpg123 Library");
        return false;
    }
    sBound = true;
    return true;
}

mpg123_handle* Mpg123Library::CreateDecoder() {
    int err = sFunctions.mpg123_init();
    mpg123_handle* handle = nullptr;
    if (err == MPG123_OK) {
        handle = sFunctions.mpg123_new(nullptr, &err);
        if (err == MPG123_OK && handle) {
            sFunctions.mpg123_param(handle, MPG123_ADD_FLAGS, MPG123_FORCE_FLOAT, 0.0);
            return handle;
        }
    }
    SOVA_TRACE(std::string("Cannot initialize mpg123 library: ") + sFunctions.mpg123_plain_strerror(err));
    return handle;
}

int Mpg123Library::CloseDecoder(mpg123_handle* h) {
    const int result = sFunctions.mpg123_close(h);
    sFunctions.mpg123_delete(h);
    sFunctions.mpg123_exit();
    return result;
}

int Mpg123Library::OpenStream(mpg123_handle* h, std::string utf8Path) {
    return sFunctions.mpg123_open(h, utf8Path.c_str());
}

int Mpg123Library::LockOutputFormat(mpg123_handle* h, long* rate, int* channels, int* encoding) {
    if (!h || !rate || !channels || !encoding)
        return MPG123_ERR_NULL;
    long streamRate = 0;
    int e = sFunctions.mpg123_getformat(h, &streamRate, channels, encoding);
    if (e != 0)
        return e;
    e = sFunctions.mpg123_format_none(h);
    if (e != 0)
        return e;
    e = sFunctions.mpg123_format(h, streamRate, *channels, *encoding);
    if (e != 0)
        return e;
    *rate = streamRate;
    return 0;
}

int Mpg123Library::GetFrameInfo(mpg123_handle* h, mpg123_frameinfo* info) {
    if (!h || !info)
        return MPG123_ERR_NULL;
    return sFunctions.mpg123_info(h, info);
}

int Mpg123Library::GetStreamLength(mpg123_handle* h, int64_t* frames) {
    if (!h || !frames)
        return MPG123_ERR_NULL;
    *frames = static_cast<int64_t>(sFunctions.mpg123_length(h));
    return 0;
}

uint32_t Mpg123Library::GetOutputBlockSize(mpg123_handle* h) {
    if (!h)
        return 0;
    return static_cast<uint32_t>(sFunctions.mpg123_outblock(h));
}

int Mpg123Library::ReadDecoded(mpg123_handle* h, unsigned char* buffer, size_t size, size_t* done) {
    if (!h || !buffer || !done)
        return MPG123_ERR_NULL;
    if (size == 0)
        return MPG123_ERR;
    return sFunctions.mpg123_read(h, buffer, size, done);
}

bool Mpg123Library::IsBound() { return sBound; }
platform::ModuleHandle Mpg123Library::Handle() { return sHandle; }
const Mpg123Functions& Mpg123Library::Functions() { return sFunctions; }

} // namespace sova
