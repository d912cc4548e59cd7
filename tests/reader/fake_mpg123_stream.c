// SPDX-License-Identifier: MIT
/* A stand-in libmpg123 whose "files" are descriptions of a stream, for the reader's cases that
 * real files cannot produce: unknown versions, layers and bitrate modes, no bitrate, a channel
 * mode outside the four, an unmeasured length, decoder errors while priming or reading.
 *
 * A file holds "key=value" words: version layer mode bitrate abr vbr flags emphasis length,
 * frames (sample frames to deliver), error_at (the 1-based read call that fails with
 * MPG123_ERR) and encoding (the output encoding announced, 32-bit float by default). Sample values are frame * 1e-4 + channel. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/types.h>

struct frameinfo { /* the layout of libmpg123's mpg123_frameinfo */
    int version, layer;
    long rate;
    int mode, mode_ext, framesize, flags, emphasis, bitrate, abr_rate, vbr;
};

struct handle {
    struct frameinfo info;
    long length, frames, delivered, error_at, reads;
    int channels, encoding;
};

static long word(const char* text, const char* key, long fallback) {
    char pattern[64];
    snprintf(pattern, sizeof pattern, "%s=", key);
    for (const char* at = strstr(text, pattern); at; at = strstr(at + 1, pattern))
        if (at == text || at[-1] == ' ' || at[-1] == '\n') return strtol(at + strlen(pattern), NULL, 10);
    return fallback;
}

int mpg123_init(void) { return 0; }
void mpg123_exit(void) {}
void* mpg123_new(const char* decoder, int* error) {
    if (error) *error = 0;
    return calloc(1, sizeof(struct handle));
}
void mpg123_delete(void* h) { free(h); }
int mpg123_param(void* h, int type, long value, double fvalue) { return 0; }
int mpg123_getparam(void* h, int type, long* value, double* fvalue) { return 0; }
const char* mpg123_plain_strerror(int code) { return "fake"; }
const char* mpg123_strerror(void* h) { return "fake"; }
int mpg123_errcode(void* h) { return 0; }
void* mpg123_parnew(void* pars, const char* decoder, int* error) { return NULL; }
void* mpg123_new_pars(int* error) { return NULL; }
void mpg123_delete_pars(void* pars) {}
int mpg123_format_none(void* h) { return 0; }
int mpg123_format(void* h, long rate, int channels, int encodings) { return 0; }

int mpg123_open(void* mh, const char* path) {
    struct handle* h = mh;
    char text[1024] = {0};
    FILE* file = fopen(path, "r");
    if (!file) return -1;
    size_t got = fread(text, 1, sizeof text - 1, file);
    fclose(file);
    text[got] = 0;
    struct frameinfo* i = &h->info;
    i->version = (int)word(text, "version", 0), i->layer = (int)word(text, "layer", 2), i->rate = 44100;
    i->mode = (int)word(text, "mode", 0), i->flags = (int)word(text, "flags", 0);
    i->emphasis = (int)word(text, "emphasis", 0), i->bitrate = (int)word(text, "bitrate", 192);
    i->abr_rate = (int)word(text, "abr", 0), i->vbr = (int)word(text, "vbr", 0);
    h->length = word(text, "length", -1), h->frames = word(text, "frames", 0), h->error_at = word(text, "error_at", 0);
    h->channels = h->info.mode == 3 ? 1 : 2;
    h->encoding = (int)word(text, "encoding", 0x200); /* MPG123_ENC_FLOAT_32 */
    return 0;
}

int mpg123_getformat(void* mh, long* rate, int* channels, int* encoding) {
    struct handle* h = mh;
    *rate = h->info.rate;
    *channels = h->channels;
    *encoding = h->encoding;
    return 0;
}

int mpg123_close(void* h) { return 0; }

int mpg123_read(void* mh, void* out, size_t size, size_t* done) {
    struct handle* h = mh;
    *done = 0;
    if (++h->reads == h->error_at) return -1;
    long count = (long)(size / sizeof(float) / (size_t)h->channels);
    if (count > h->frames - h->delivered) count = h->frames - h->delivered;
    if (count <= 0) return -12; /* MPG123_DONE */
    float* samples = out;
    for (long i = 0; i < count; ++i)
        for (int c = 0; c < h->channels; ++c) samples[i * h->channels + c] = (float)(h->delivered + i) * 1e-4f + (float)c;
    h->delivered += count;
    *done = (size_t)count * (size_t)h->channels * sizeof(float);
    return 0;
}

int mpg123_info(void* mh, struct frameinfo* info) {
    *info = ((struct handle*)mh)->info;
    return 0;
}
size_t mpg123_outblock(void* h) { return 1152 * 2 * sizeof(float); }
off_t mpg123_length(void* mh) { return ((struct handle*)mh)->length; }
