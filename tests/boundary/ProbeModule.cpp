// SPDX-License-Identifier: MIT
// A module on the same interface template as SovaMp2 whose operations only log how Dispatch
// called them and return a result the test chooses, so a test can see the values Dispatch
// passes on and steer it down paths the real module's defaults never take (a dialog that ran,
// an open that succeeded). Exports SovaProbeSetLog and SovaProbeSetResult besides
// SovaInterface.
#include "RecordingHost.h"
#include "interface/HandleDestruction.h"
#include "interface/SovaPrivateInterfaceTemplate.h"

namespace {
using boundarytest::Format;
using namespace sova::sdk;
void (*gLogger)(const char* line) = nullptr;
int32_t gResult = 0;
bool gLeaveCancelled = false;

struct ProbeReader {};
struct ProbeWriter {};

class ProbeInterface final : public SovaPrivateInterfaceTemplate<ProbeReader, ProbeWriter> {
    // The operation, its arguments, and hostContext as it was set for the call.
    template <class... A>
    int32_t Ran(const char* name, A... args) {
        if (gLogger) gLogger((Format(name, args...) + " " + boundarytest::Id(hostContext)).c_str());
        return gResult;
    }

public:
    int32_t DescribePlugIn(HostRegistrar* r) override { return Ran("DescribePlugIn", r); }
    int32_t Startup() override { return Ran("Startup"); }
    int32_t Shutdown() override { return Ran("Shutdown"); }
    int32_t HandleSelector3(HostRequest* r) override { return Ran("HandleSelector3", r); }
    int32_t HandleSelector4(HostRequest* r) override { return Ran("HandleSelector4", r); }
    int32_t OpenForRead(HostOpenRequest* r) override { return Ran("OpenForRead", r); }
    int32_t GetReadFormat(ReadHandle h, HostAudioFormat* f) override { return Ran("GetReadFormat", h, f); }
    int32_t ReadSamples(ReadHandle h, HostReadRequest* r) override { return Ran("ReadSamples", h, r); }
    int32_t HandleSelector8(void* h, int64_t a, int64_t b, int32_t c) override {
        return Ran("HandleSelector8", h, a, b, c);
    }
    int32_t HandleSelector9(void* h, void* r) override { return Ran("HandleSelector9", h, r); }
    int32_t HandleSelector10(void* h, int64_t a, int64_t b, int64_t c, int32_t d) override {
        return Ran("HandleSelector10", h, a, b, c, d);
    }
    int32_t HandleSelector11(void* h) override { return Ran("HandleSelector11", h); }
    int32_t GetPreferredWriteFormat(HostAudioFormat* f) override { return Ran("GetPreferredWriteFormat", f); }
    int32_t ConformWriteFormat(HostConformRequest* r) override { return Ran("ConformWriteFormat", r); }
    int32_t ShowSettingsDialog(HostAudioFormat* f, int32_t parent, int64_t context, bool* cancelled) override {
        const int32_t result = Ran("ShowSettingsDialog", f, parent, context, *cancelled);
        *cancelled = gLeaveCancelled;
        return result;
    }
    int32_t OpenForWrite(HostWriteOpenRequest* r, WriteHandle* writer) override {
        const int32_t result = Ran("OpenForWrite", r, *writer == nullptr);
        static ProbeWriter writerObject; // left in the out-parameter even when the open fails
        *writer = &writerObject;
        return result;
    }
    int32_t WriteSamples(WriteHandle h, HostWriteRequest* r) override { return Ran("WriteSamples", h, r); }
    int32_t CloseWriter(WriteHandle h, bool flag, int32_t value) override { return Ran("CloseWriter", h, flag, value); }
};
} // namespace

template void DestroyHandleObject<ProbeReader>(ProbeReader*);

#define PROBE_EXPORT extern "C" __attribute__((visibility("default")))

PROBE_EXPORT int32_t SovaInterface(int32_t selector, void* handle, void* request) {
    ProbeInterface probe;
    return probe.Dispatch(selector, handle, request);
}
PROBE_EXPORT void SovaProbeSetLog(void (*logger)(const char*)) { gLogger = logger; }
// What every operation returns from now on, and what the dialog leaves in the cancelled flag.
PROBE_EXPORT void SovaProbeSetResult(int32_t result, bool leaveCancelled) {
    gResult = result;
    gLeaveCancelled = leaveCancelled;
}
