// SPDX-License-Identifier: MIT
// The TwoLAME binding: loaded at run time by file name (never linked), entry points looked up
// by name. Binding traces the library's version and home page; get_twolame_version is needed,
// get_twolame_url optional, twolame_print_config and twolame_set_verbosity ignored, the other
// 20 required. Every Bind repeats its checks; shut-down unloads the library.
//
// The encoder calls TwoLAME only through Functions(), e.g.
//     const auto& tl = sova::TwoLameLibrary::Functions();
//     twolame_options* options = tl.twolame_init();
#pragma once

#include <array>
#include <cstddef>

#include <platform/Loader.h>
#include <twolame.h>

namespace sova {

// One pointer per entry point, in look-up order; null when not found. Signatures as published
// in <twolame.h>.
struct TwoLameFunctions {
    decltype(&::get_twolame_version) get_twolame_version;
    decltype(&::get_twolame_url) get_twolame_url;
    decltype(&::twolame_print_config) twolame_print_config;
    decltype(&::twolame_init) twolame_init;
    decltype(&::twolame_init_params) twolame_init_params;
    decltype(&::twolame_encode_buffer_interleaved) twolame_encode_buffer_interleaved;
    decltype(&::twolame_encode_flush) twolame_encode_flush;
    decltype(&::twolame_close) twolame_close;
    decltype(&::twolame_set_verbosity) twolame_set_verbosity;
    decltype(&::twolame_set_mode) twolame_set_mode;
    decltype(&::twolame_set_version) twolame_set_version;
    decltype(&::twolame_set_psymodel) twolame_set_psymodel;
    decltype(&::twolame_set_num_channels) twolame_set_num_channels;
    decltype(&::twolame_set_in_samplerate) twolame_set_in_samplerate;
    decltype(&::twolame_set_out_samplerate) twolame_set_out_samplerate;
    decltype(&::twolame_set_bitrate) twolame_set_bitrate;
    decltype(&::twolame_set_padding) twolame_set_padding;
    decltype(&::twolame_set_energy_levels) twolame_set_energy_levels;
    decltype(&::twolame_set_num_ancillary_bits) twolame_set_num_ancillary_bits;
    decltype(&::twolame_set_emphasis) twolame_set_emphasis;
    decltype(&::twolame_set_error_protection) twolame_set_error_protection;
    decltype(&::twolame_set_copyright) twolame_set_copyright;
    decltype(&::twolame_set_original) twolame_set_original;
    decltype(&::twolame_set_ATH_level) twolame_set_ATH_level;
};

class TwoLameLibrary {
public:
    static constexpr size_t kEntryPointCount = 24;
    // The names in the order Resolve looks them up (the order of TwoLameFunctions).
    static const std::array<const char*, kEntryPointCount> kEntryPointNames;

    static bool Bind();           // true when bound; traces the version lines every time
    static void UnloadIfLoaded(); // Unload, when a library is held
    static void Load();           // "twolame.dll", then "twolameD.dll"; never throws
    static void Unload();         // frees the library, clears the bound flag and the handle
    static void Resolve();        // looks every name up again; a missing one stores null

    // State, for the encoder and for hosts of the module's internals (tests).
    static bool IsBound();
    static platform::ModuleHandle Handle();
    static const TwoLameFunctions& Functions();
};

} // namespace sova
