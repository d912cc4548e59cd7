// SPDX-License-Identifier: MIT
#include "codecs/TwoLameLibrary.h"

#include <cstdio>

#include "codecs/LibraryBinding.h"
#include "codecs/TraceMessage.h"

namespace sova {

namespace {
// Zero-initialised when the module loads.
platform::ModuleHandle sHandle;
bool sBound;
TwoLameFunctions sFunctions;
binding::LibraryTraceSites sLoadTraces;

// Every entry point, in look-up order: N = needed, O = optional, I = ignored, R = required.
#define SOVA_TWOLAME_ENTRY_POINTS(N, O, I, R)                                                             \
    N(get_twolame_version) O(get_twolame_url) I(twolame_print_config) R(twolame_init)                      \
    R(twolame_init_params) R(twolame_encode_buffer_interleaved) R(twolame_encode_flush) R(twolame_close)   \
    I(twolame_set_verbosity) R(twolame_set_mode) R(twolame_set_version) R(twolame_set_psymodel)            \
    R(twolame_set_num_channels) R(twolame_set_in_samplerate) R(twolame_set_out_samplerate)                 \
    R(twolame_set_bitrate) R(twolame_set_padding) R(twolame_set_energy_levels)                             \
    R(twolame_set_num_ancillary_bits) R(twolame_set_emphasis) R(twolame_set_error_protection)              \
    R(twolame_set_copyright) R(twolame_set_original) R(twolame_set_ATH_level)
#define SOVA_SKIP(name)

// Intended: unlike the decoder binding, names other than the required ones may be absent.
bool AllRequiredFound() {
#define SOVA_FOUND(name) &&sFunctions.name
    return true SOVA_TWOLAME_ENTRY_POINTS(SOVA_SKIP, SOVA_SKIP, SOVA_SKIP, SOVA_FOUND);
#undef SOVA_FOUND
}

constexpr size_t kMessageBufferSize = 1024;
constexpr size_t kVersionBufferSize = 256;
} // namespace

const std::array<const char*, TwoLameLibrary::kEntryPointCount> TwoLameLibrary::kEntryPointNames = {
#define SOVA_NAME(name) #name,
    SOVA_TWOLAME_ENTRY_POINTS(SOVA_NAME, SOVA_NAME, SOVA_NAME, SOVA_NAME)
#undef SOVA_NAME
};

void TwoLameLibrary::Load() {
    binding::Load(sHandle, {"twolame.dll", "twolameD.dll", "Loading TwoLame...",
                            "Could not load the default TwoLame library.  Looking for an alternate...", nullptr,
                            "Exception when loading TwoLame!"},
                  sLoadTraces);
}

void TwoLameLibrary::Unload() {
    sBound = false; // intended: unlike the decoder binding, an unloaded encoder is no longer bound
    binding::Unload(sHandle, "Unloading TwoLame...", sLoadTraces);
}

void TwoLameLibrary::UnloadIfLoaded() {
    if (sHandle)
        Unload();
}

void TwoLameLibrary::Resolve() {
#define SOVA_RESOLVE(name) binding::Resolve(sHandle, sFunctions.name, #name);
    SOVA_TWOLAME_ENTRY_POINTS(SOVA_RESOLVE, SOVA_RESOLVE, SOVA_RESOLVE, SOVA_RESOLVE)
#undef SOVA_RESOLVE
}

bool TwoLameLibrary::Bind() {
    // Intended: unlike the decoder binding, every call repeats the checks and the version lines.
    Load();
    if (!sHandle) {
        SOVA_TRACE("Could not find TwoLame Library");
        Unload();
        return sBound;
    }
    Resolve();
    if (!sFunctions.get_twolame_version)
        return sBound;

    char message[kMessageBufferSize];
    char version[kVersionBufferSize];
    const char* versionText = sFunctions.get_twolame_version();
    std::snprintf(version, sizeof version, "%s", versionText ? versionText : ""); // a null text counts as empty
    if (version[0] == '\0') {
        std::snprintf(message, sizeof message, "Unable to detect TwoLame version");
        SOVA_TRACE(message);
        return sBound;
    }
    std::snprintf(message, sizeof message, "TwoLame version detected: %s", version);
    SOVA_TRACE(message);
    if (sFunctions.get_twolame_url) {
        const char* url = sFunctions.get_twolame_url();
        std::snprintf(message, sizeof message, "TwoLame URL: %s", url ? url : "");
        SOVA_TRACE(message);
    }
    if (AllRequiredFound()) {
        sBound = true;
        return true;
    }
    std::snprintf(message, sizeof message, "Incompatible TwoLame Library");
    SOVA_TRACE(message);
    return sBound;
}

bool TwoLameLibrary::IsBound() { return sBound; }
platform::ModuleHandle TwoLameLibrary::Handle() { return sHandle; }
const TwoLameFunctions& TwoLameLibrary::Functions() { return sFunctions; }

} // namespace sova
