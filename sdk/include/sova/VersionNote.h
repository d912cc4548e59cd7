// SPDX-License-Identifier: MIT
// For modules: SOVA_SDK_VERSION_NOTE() records the SDK version the module is built with in an
// ELF note (owner "Sova", type 1, three 32-bit numbers: major, minor, patch) that a host reads
// from the loaded module without calling it (see ModuleVersion.h). Use it once, at namespace
// scope, in one source file of the module.
#pragma once

#include <sova/Version.h>

#define SOVA_SDK_NOTE_TEXT_(x) #x
#define SOVA_SDK_NOTE_TEXT(x) SOVA_SDK_NOTE_TEXT_(x)

#define SOVA_SDK_VERSION_NOTE_FOR(major, minor, patch)                                           \
    __asm__(".pushsection .note.sova.sdk,\"a\",%note\n"                                          \
            ".balign 4\n"                                                                        \
            ".long 5, 12, 1\n" /* name size, description size, type */                           \
            ".asciz \"Sova\"\n"                                                                  \
            ".balign 4\n"                                                                        \
            ".long " SOVA_SDK_NOTE_TEXT(major) ", " SOVA_SDK_NOTE_TEXT(minor) ", "               \
            SOVA_SDK_NOTE_TEXT(patch) "\n"                                                       \
            ".popsection\n")

#define SOVA_SDK_VERSION_NOTE() \
    SOVA_SDK_VERSION_NOTE_FOR(SOVA_SDK_VERSION_MAJOR, SOVA_SDK_VERSION_MINOR, SOVA_SDK_VERSION_PATCH)
