// SPDX-License-Identifier: MIT
/* A stand-in for libtwolame with every entry point the module looks up, built once per fault
 * to provoke: OMIT_<name> leaves that entry point out, EMPTY_VERSION makes the version text
 * empty. It encodes nothing. */
#include <stddef.h>

#define FAKE_VERSION "9.9.9-fake"
#define FAKE_URL "https://fake.invalid/twolame"

#ifndef OMIT_get_twolame_version
const char* get_twolame_version(void) {
#ifdef EMPTY_VERSION
    return "";
#else
    return FAKE_VERSION;
#endif
}
#endif
#ifndef OMIT_get_twolame_url
const char* get_twolame_url(void) { return FAKE_URL; }
#endif
#ifndef OMIT_twolame_print_config
void twolame_print_config(void* glopts) {}
#endif
static int fake_options;
void* twolame_init(void) { return &fake_options; }
int twolame_init_params(void* glopts) { return 0; }
int twolame_encode_buffer_interleaved(void* glopts, const short* pcm, int num_samples, unsigned char* mp2buffer,
                                      int mp2buffer_size) { return 0; }
int twolame_encode_flush(void* glopts, unsigned char* mp2buffer, int mp2buffer_size) { return 0; }
void twolame_close(void** glopts) { if (glopts) *glopts = NULL; }
#ifndef OMIT_twolame_set_verbosity
int twolame_set_verbosity(void* glopts, int verbosity) { return 0; }
#endif
#define FAKE_SETTER(name, type) int name(void* glopts, type value) { return 0; }
FAKE_SETTER(twolame_set_mode, int)
#ifndef OMIT_twolame_set_version
FAKE_SETTER(twolame_set_version, int)
#endif
FAKE_SETTER(twolame_set_psymodel, int)
FAKE_SETTER(twolame_set_num_channels, int)
FAKE_SETTER(twolame_set_in_samplerate, int)
FAKE_SETTER(twolame_set_out_samplerate, int)
FAKE_SETTER(twolame_set_bitrate, int)
FAKE_SETTER(twolame_set_padding, int)
FAKE_SETTER(twolame_set_energy_levels, int)
FAKE_SETTER(twolame_set_num_ancillary_bits, int)
FAKE_SETTER(twolame_set_emphasis, int)
FAKE_SETTER(twolame_set_error_protection, int)
FAKE_SETTER(twolame_set_copyright, int)
FAKE_SETTER(twolame_set_original, int)
FAKE_SETTER(twolame_set_ATH_level, float)
