// SPDX-License-Identifier: MIT
// A module stamped with an SDK version one ahead of this tree's in the part that AHEAD_MAJOR,
// AHEAD_MINOR or AHEAD_PATCH names. Its entry point fails every call.
#include <sova/SovaInterface.h>
#include <sova/VersionNote.h>

#ifndef AHEAD_MAJOR
#define AHEAD_MAJOR 0
#endif
#ifndef AHEAD_MINOR
#define AHEAD_MINOR 0
#endif
#ifndef AHEAD_PATCH
#define AHEAD_PATCH 0
#endif

// The assembler adds the numbers.
SOVA_SDK_VERSION_NOTE_FOR(SOVA_SDK_VERSION_MAJOR + AHEAD_MAJOR, SOVA_SDK_VERSION_MINOR + AHEAD_MINOR,
                          SOVA_SDK_VERSION_PATCH + AHEAD_PATCH);

extern "C" __attribute__((visibility("default"))) int32_t SovaInterface(int32_t, void*, void*) { return -1; }
