// SPDX-License-Identifier: MIT
/* A stand-in for libmpg123 with every entry point the module looks up, built once per fault
 * to provoke: OMIT_GETPARAM leaves mpg123_getparam out. The decoder calls do nothing useful;
 * the fake_* globals let a test steer them and see how often they ran. */
#include <stddef.h>
#include <sys/types.h>

int fake_mpg123_init_result = 0; /* what mpg123_init answers */
int fake_mpg123_read_calls = 0, fake_mpg123_exit_calls = 0;
static int fake_handle;

int mpg123_init(void) { return fake_mpg123_init_result; }
void mpg123_exit(void) { ++fake_mpg123_exit_calls; }
void* mpg123_new(const char* decoder, int* error) { if (error) *error = 0; return &fake_handle; }
void mpg123_delete(void* mh) {}
int mpg123_param(void* mh, int type, long value, double fvalue) { return 0; }
#ifndef OMIT_GETPARAM
int mpg123_getparam(void* mh, int type, long* value, double* fvalue) { return 0; }
#endif
const char* mpg123_plain_strerror(int errcode) { return errcode == 0 ? "fine" : "fake refused to start"; }
const char* mpg123_strerror(void* mh) { return ""; }
int mpg123_errcode(void* mh) { return 0; }
void* mpg123_parnew(void* mp, const char* decoder, int* error) { return NULL; }
void* mpg123_new_pars(int* error) { return NULL; }
void mpg123_delete_pars(void* mp) {}
int mpg123_format_none(void* mh) { return 0; }
int mpg123_format(void* mh, long rate, int channels, int encodings) { return 0; }
int mpg123_getformat(void* mh, long* rate, int* channels, int* encoding) { return -1; }
int mpg123_open(void* mh, const char* path) { return -1; }
int mpg123_close(void* mh) { return 0; }
int mpg123_read(void* mh, void* out, size_t size, size_t* done) { ++fake_mpg123_read_calls; return -12; }
int mpg123_info(void* mh, void* mi) { return 0; }
size_t mpg123_outblock(void* mh) { return 0; }
off_t mpg123_length(void* mh) { return -1; } /* the stream's length is unknown */
