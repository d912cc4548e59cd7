// SPDX-License-Identifier: MIT
// The module's only export.
#include "interface/HandleDestruction.h"
#include "interface/SovaMp2Interface.h"
#include "reader/Reader.h"
#include "writer/TwoLameEncoder.h"

// CloseReader's default destroys readers through this instantiation, made where Reader is complete.
template void DestroyHandleObject<sova::mpg123::Reader>(sova::mpg123::Reader*);

extern "C" __attribute__((visibility("default"))) int32_t SovaInterface(int32_t selector, void* handle,
                                                                          void* request) {
    SovaMp2Interface plugIn;
    return plugIn.Dispatch(selector, handle, request);
}
