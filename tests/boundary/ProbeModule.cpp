// A module built on the same interface template as SovaMp2, whose operations only report how
// they were called. It lets the boundary tests steer what an operation returns (a dialog that
// ran, an open that succeeded) and see the exact arguments Dispatch passes, which the real
// module's defaults never show. Besides SovaInterface it exports SovaProbeSetLog and
// SovaProbeSetResult.
#include <string>

#include "interface/HandleDestruction.h"
#include "interface/SovaPrivateInterfaceTemplate.h"

namespace {
using Logger = void (*)(const char* line);
Logger gLogger = nullptr;
int32_t gResult = 0;
bool gLeaveCancelled = false;

void Report(const std::string& line) {
    if (gLogger) gLogger(line.c_str());
}
std::string Pointer(const void* pointer) { return pointer ? std::to_string(reinterpret_cast<uintptr_t>(pointer)) : "null"; }

struct ProbeReader {
    virtual ~ProbeReader() { Report("~ProbeReader(" + Pointer(this) + ")"); }
};
struct ProbeWriter {};

class ProbeInterface final : public SovaPrivateInterfaceTemplate<ProbeReader, ProbeWriter> {
public:
    // Which operation ran, its arguments, and whether hostContext was set for the call.
    void Ran(const std::string& call) { Report(call + (hostContext ? " sink" : " nosink")); }

    int32_t DescribePlugIn(sova::sdk::HostRegistrar* r) override { Ran("DescribePlugIn(" + Pointer(r) + ")"); return gResult; }
    int32_t Startup() override { Ran("Startup()"); return gResult; }
    int32_t Shutdown() override { Ran("Shutdown()"); return gResult; }
    int32_t HandleSelector3(sova::sdk::HostRequest* r) override { Ran("HandleSelector3(" + Pointer(r) + ")"); return gResult; }
    int32_t HandleSelector4(sova::sdk::HostRequest* r) override { Ran("HandleSelector4(" + Pointer(r) + ")"); return gResult; }
    int32_t OpenForRead(sova::sdk::HostOpenRequest* r) override { Ran("OpenForRead(" + Pointer(r) + ")"); return gResult; }
    int32_t GetReadFormat(ReadHandle h, sova::sdk::HostAudioFormat* f) override {
        Ran("GetReadFormat(" + Pointer(h) + "," + Pointer(f) + ")");
        return gResult;
    }
    int32_t ReadSamples(ReadHandle h, sova::sdk::HostReadRequest* r) override {
        Ran("ReadSamples(" + Pointer(h) + "," + Pointer(r) + ")");
        return gResult;
    }
    int32_t HandleSelector8(void* h, int64_t a, int64_t b, int32_t c) override {
        Ran("HandleSelector8(" + Pointer(h) + "," + std::to_string(a) + "," + std::to_string(b) + "," +
            std::to_string(c) + ")");
        return gResult;
    }
    int32_t HandleSelector9(void* h, void* r) override { Ran("HandleSelector9(" + Pointer(h) + "," + Pointer(r) + ")"); return gResult; }
    int32_t HandleSelector10(void* h, int64_t a, int64_t b, int64_t c, int32_t d) override {
        Ran("HandleSelector10(" + Pointer(h) + "," + std::to_string(a) + "," + std::to_string(b) + "," +
            std::to_string(c) + "," + std::to_string(d) + ")");
        return gResult;
    }
    int32_t HandleSelector11(void* h) override { Ran("HandleSelector11(" + Pointer(h) + ")"); return gResult; }
    // CloseReader keeps the template's default: it must destroy the reader.
    int32_t GetPreferredWriteFormat(sova::sdk::HostAudioFormat* f) override {
        Ran("GetPreferredWriteFormat(" + Pointer(f) + ")");
        return gResult;
    }
    int32_t ConformWriteFormat(sova::sdk::HostConformRequest* r) override {
        Ran("ConformWriteFormat(" + Pointer(r) + ")");
        return gResult;
    }
    int32_t ShowSettingsDialog(sova::sdk::HostAudioFormat* f, int32_t parent, int64_t context, bool* cancelled) override {
        Ran("ShowSettingsDialog(" + Pointer(f) + "," + std::to_string(parent) + "," + std::to_string(context) + "," +
            (cancelled ? (*cancelled ? "true" : "false") : "null") + ")");
        if (cancelled) *cancelled = gLeaveCancelled;
        return gResult;
    }
    int32_t OpenForWrite(sova::sdk::HostWriteOpenRequest* r, WriteHandle* writer) override {
        Ran("OpenForWrite(" + Pointer(r) + "," + (writer ? (*writer ? "set" : "empty") : "null") + ")");
        // A failed open may still leave something in the out-parameter; Dispatch must not hand it over.
        static ProbeWriter writerObject;
        if (writer) *writer = &writerObject;
        return gResult;
    }
    int32_t WriteSamples(WriteHandle h, sova::sdk::HostWriteRequest* r) override {
        Ran("WriteSamples(" + Pointer(h) + "," + Pointer(r) + ")");
        return gResult;
    }
    int32_t CloseWriter(WriteHandle h, bool flag, int32_t value) override {
        Ran("CloseWriter(" + Pointer(h) + "," + (flag ? "true" : "false") + "," + std::to_string(value) + ")");
        return gResult;
    }
};
} // namespace

template void DestroyHandleObject<ProbeReader>(ProbeReader*);

#define PROBE_EXPORT extern "C" __attribute__((visibility("default")))

PROBE_EXPORT int32_t SovaInterface(int32_t selector, void* handle, void* request) {
    ProbeInterface probe;
    return probe.Dispatch(selector, handle, request);
}

PROBE_EXPORT void SovaProbeSetLog(Logger logger) { gLogger = logger; }

// What every operation returns from now on, and what the dialog leaves in the cancelled flag.
PROBE_EXPORT void SovaProbeSetResult(int32_t result, bool leaveCancelled) {
    gResult = result;
    gLeaveCancelled = leaveCancelled;
}

// A reader as OpenForRead would hand it to the host; the host must close it with selector 12.
PROBE_EXPORT void* SovaProbeNewReader() { return new ProbeReader; }
