// SPDX-License-Identifier: MIT
// The SDK version this module speaks, readable by a host before it calls SovaInterface.
#include <sova/VersionNote.h>

SOVA_SDK_VERSION_NOTE();
