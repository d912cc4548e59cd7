// Every row of the dispatch table, through the probe module (ProbeModule.cpp): its operations
// log their arguments into the same log as the host objects, so each row shows the calls it
// makes, in order, what it passes on, and that the operation's result comes back unchanged.
#include <gtest/gtest.h>

#include "RecordingHost.h"

namespace {
using namespace sova::sdk;
using namespace boundarytest;

Log* gLog = nullptr;
void AppendToLog(const char* line) { gLog->push_back(line); }

template <class R>
void* AsHost(R& request) { return static_cast<typename R::Protocol*>(&request); }

std::string Fill(std::string text, const std::string& token, const void* pointer) {
    for (size_t at; (at = text.find(token)) != std::string::npos;) text.replace(at, token.size(), Id(pointer));
    return text;
}

struct Probe : ::testing::Test {
    Probe() {
        gLog = &log;
        module.Symbol<void (*)(void (*)(const char*))>("SovaProbeSetLog")(&AppendToLog);
    }
    ~Probe() override { gLog = nullptr; }

    LoadedModule module{SOVA_PROBE_MODULE_PATH};
    Log log;
    RecordingSink sink{log};
};

TEST_F(Probe, EveryRowCallsWhatTheTableSaysInOrder) {
    RecordingRegistrar registrar(log);
    RecordingRequest request3(log);
    RecordingSelector4Request request4(log);
    RecordingOpenRequest open(log);
    RecordingAudioFormat format(log);
    RecordingReadRequest read(log);
    RecordingSelector8Request request8(log);
    RecordingSelector10Request request10(log);
    RecordingConformRequest conform(log);
    RecordingDialogRequest dialog(log);
    RecordingWriteOpenRequest writeOpen(log);
    RecordingWriteRequest write(log);
    RecordingCloseRequest close(log);
    for (HostMessageSink** s : {&request3.sink, &request4.sink, &open.sink, &format.sink, &conform.sink, &dialog.sink,
                                &writeOpen.sink, &write.sink, &close.sink})
        *s = &sink;
    dialog.format = &format;

    // {r} is the request, {h} the handle, {f} the dialog's format, {s} the sink; the last word is hostContext.
    struct Row {
        int32_t selector;
        void* request;
        Log expected;
        int32_t result = -77;
        bool leaveCancelled = false;
    };
    const std::string dialogCall = "ShowSettingsDialog({f},4242,1234567890123,false) {s}";
    const Row rows[] = {
        {0, AsHost(registrar), {"Prepare(1,1)", "DescribePlugIn({r}) null"}},
        {1, nullptr, {"Startup() null"}},
        {2, nullptr, {"Shutdown() null"}},
        {3, AsHost(request3), {"GetMessageSink()", "HandleSelector3({r}) {s}"}},
        {4, AsHost(request4), {"GetMessageSink()", "Op6(0)", "HandleSelector4({r}) {s}"}},
        {5, AsHost(open), {"GetMessageSink()", "OpenForRead({r}) {s}"}},
        {6, AsHost(format), {"GetMessageSink()", "GetReadFormat({h},{r}) {s}"}},
        {7, AsHost(read), {"ReadSamples({h},{r}) null"}},
        {8, AsHost(request8), {"Op3()", "Op2()", "Op1()", "HandleSelector8({h},1001,1002,1003) null"}},
        {9, AsHost(format), {"HandleSelector9({h},{r}) null"}},
        {10, AsHost(request10), {"Op4()", "Op3()", "Op2()", "Op1()", "HandleSelector10({h},2001,2002,2003,2004) null"}},
        {11, nullptr, {"HandleSelector11({h}) null"}},
        {13, AsHost(format), {"GetMessageSink()", "GetPreferredWriteFormat({r}) {s}"}},
        {14, AsHost(conform), {"GetMessageSink()", "ConformWriteFormat({r}) {s}"}},
        // SetCancelled only after a dialog that returned 0, with what it left in the flag.
        {15, AsHost(dialog), {"GetMessageSink()", "Op6()", "GetParentWindow()", "GetFormat()", dialogCall,
                              "SetCancelled(true)"}, 0, true},
        {15, AsHost(dialog), {"GetMessageSink()", "Op6()", "GetParentWindow()", "GetFormat()", dialogCall,
                              "SetCancelled(false)"}, 0, false},
        {15, AsHost(dialog), {"GetMessageSink()", "Op6()", "GetParentWindow()", "GetFormat()", dialogCall}, -1, true},
        // The local handle starts empty (true); the writer is handed over only after a successful open.
        {17, AsHost(writeOpen), {"GetMessageSink()", "OpenForWrite({r},true) {s}", "TakeWriteHandle({w})"}, 0},
        {17, AsHost(writeOpen), {"GetMessageSink()", "OpenForWrite({r},true) {s}"}, -1},
        {18, AsHost(write), {"GetMessageSink()", "WriteSamples({h},{r}) {s}"}},
        {19, AsHost(close), {"GetMessageSink()", "Op3()", "Op2()", "CloseWriter({h},true,3003) {s}"}},
    };
    int dummy = 0;
    void* handle = &dummy;
    for (const Row& row : rows) {
        log.clear();
        writeOpen.writeHandle = nullptr;
        module.Symbol<void (*)(int32_t, bool)>("SovaProbeSetResult")(row.result, row.leaveCancelled);
        EXPECT_EQ(module.Call(row.selector, handle, row.request), row.result) << "selector " << row.selector;
        const std::pair<const char*, const void*> tokens[] = {
            {"{r}", row.request}, {"{h}", handle}, {"{f}", AsHost(format)}, {"{w}", writeOpen.writeHandle},
            {"{s}", static_cast<HostMessageSink*>(&sink)}};
        Log expected = row.expected;
        for (std::string& line : expected)
            for (const auto& [token, pointer] : tokens) line = Fill(line, token, pointer);
        EXPECT_EQ(log, expected) << "selector " << row.selector;
        if (row.selector == 17) {
            EXPECT_EQ(writeOpen.writeHandle != nullptr, row.result == 0);
        }
    }
}
} // namespace
