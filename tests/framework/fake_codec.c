// SPDX-License-Identifier: MIT
/* A stand-in codec library: the loader tests copy it into temporary folders under the
   names of the real codec libraries and check which copy they got. */
const char* fake_codec_identity(void)
{
    return "fake codec";
}
