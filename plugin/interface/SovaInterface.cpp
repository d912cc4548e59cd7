// The module's only export.
#include "interface/SovaMp2Interface.h"
#include "reader/Reader.h"
#include "writer/TwoLameEncoder.h"

extern "C" __attribute__((visibility("default"))) int32_t SovaInterface(int32_t selector, void* handle,
                                                                          void* request) {
    SovaMp2Interface plugIn;
    return plugIn.Dispatch(selector, handle, request);
}
