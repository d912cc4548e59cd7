// Dispatch, driven through a probe module built on the same interface template as SovaMp2
// (ProbeModule.cpp): its operations report their arguments into the same log as the host
// objects, and their result can be chosen, so every row of the dispatch table shows the calls
// it makes, in order, and what it passes on.
#include <gtest/gtest.h>

#include <string>

#include "RecordingHost.h"

namespace {
using namespace sova::sdk;
using namespace boundarytest;

Log* gLog = nullptr;
void AppendToLog(const char* line) { gLog->push_back(line); }

std::string Id(const void* pointer) { return std::to_string(reinterpret_cast<uintptr_t>(pointer)); }

class Probe : public ::testing::Test {
protected:
    Probe() {
        gLog = &log;
        module.Symbol<void (*)(void (*)(const char*))>("SovaProbeSetLog")(&AppendToLog);
        Returning(kResultOK);
    }
    ~Probe() override { gLog = nullptr; }

    void Returning(int32_t result, bool leaveCancelled = false) {
        module.Symbol<void (*)(int32_t, bool)>("SovaProbeSetResult")(result, leaveCancelled);
    }

    LoadedModule module{SOVA_PROBE_MODULE_PATH};
    Log log;
    RecordingSink sink{log};
    int dummy = 0;
    void* handle = &dummy;
};

TEST_F(Probe, ArgumentFreeSelectorsAndRegistration) {
    Returning(-5);
    EXPECT_EQ(module.Call(kSelectorStartup, handle, nullptr), -5);
    EXPECT_EQ(module.Call(kSelectorShutdown, handle, nullptr), -5);
    RecordingRegistrar registrar(log);
    EXPECT_EQ(module.Call(kSelectorDescribePlugIn, handle, &registrar), -5);
    const HostRegistrar* asHost = &registrar;
    EXPECT_EQ(log, (Log{"Startup() nosink", "Shutdown() nosink", "Prepare(1,1)",
                        "DescribePlugIn(" + Id(asHost) + ") nosink"}));
}

// Each selector's result is the operation's own, unchanged, and hostContext is what the
// request's sink was for exactly the selectors that ask for it.
TEST_F(Probe, MessageSinkIsKeptForTheSelectorsThatAskForIt) {
    Returning(-77);
    RecordingRequest request(log);
    request.sink = &sink;
    EXPECT_EQ(module.Call(kSelector3, nullptr, &request), -77);
    request.sink = nullptr;
    EXPECT_EQ(module.Call(kSelector3, nullptr, &request), -77);
    const HostRequest* asHost = &request;
    EXPECT_EQ(log, (Log{"GetMessageSink()", "HandleSelector3(" + Id(asHost) + ") sink", "GetMessageSink()",
                        "HandleSelector3(" + Id(asHost) + ") nosink"}));

    log.clear();
    RecordingSelector4Request request4(log);
    request4.sink = &sink;
    EXPECT_EQ(module.Call(kSelector4, nullptr, &request4), -77);
    EXPECT_EQ(log, (Log{"GetMessageSink()", "Op6(0)", "HandleSelector4(" + Id(static_cast<HostRequest*>(&request4)) +
                                                           ") sink"}));

    log.clear();
    RecordingOpenRequest open(log);
    open.sink = &sink;
    EXPECT_EQ(module.Call(kSelectorOpenForRead, nullptr, &open), -77);
    EXPECT_EQ(log, (Log{"GetMessageSink()", "OpenForRead(" + Id(static_cast<HostOpenRequest*>(&open)) + ") sink"}));

    log.clear();
    RecordingAudioFormat format(log);
    format.sink = &sink;
    const std::string formatId = Id(static_cast<HostAudioFormat*>(&format));
    EXPECT_EQ(module.Call(kSelectorGetReadFormat, handle, &format), -77);
    EXPECT_EQ(module.Call(kSelectorGetPreferredWriteFormat, nullptr, &format), -77);
    EXPECT_EQ(log, (Log{"GetMessageSink()", "GetReadFormat(" + Id(handle) + "," + formatId + ") sink",
                        "GetMessageSink()", "GetPreferredWriteFormat(" + formatId + ") sink"}));

    log.clear();
    RecordingConformRequest conform(log);
    conform.sink = &sink;
    EXPECT_EQ(module.Call(kSelectorConformWriteFormat, nullptr, &conform), -77);
    EXPECT_EQ(log, (Log{"GetMessageSink()",
                        "ConformWriteFormat(" + Id(static_cast<HostConformRequest*>(&conform)) + ") sink"}));

    log.clear();
    RecordingWriteRequest write(log);
    write.sink = &sink;
    EXPECT_EQ(module.Call(kSelectorWriteSamples, handle, &write), -77);
    EXPECT_EQ(log, (Log{"GetMessageSink()",
                        "WriteSamples(" + Id(handle) + "," + Id(static_cast<HostWriteRequest*>(&write)) + ") sink"}));
}

TEST_F(Probe, ReadingAndOpaqueSelectorsDoNotAskForTheSink) {
    Returning(-9);
    RecordingReadRequest read(log);
    EXPECT_EQ(module.Call(kSelectorReadSamples, handle, &read), -9);
    EXPECT_EQ(log, (Log{"ReadSamples(" + Id(handle) + "," + Id(static_cast<HostReadRequest*>(&read)) + ") nosink"}));

    log.clear();
    RecordingAudioFormat opaque(log);
    EXPECT_EQ(module.Call(kSelector9, handle, &opaque), -9);
    EXPECT_EQ(module.Call(kSelector11, handle, &opaque), -9);
    EXPECT_EQ(log, (Log{"HandleSelector9(" + Id(handle) + "," + Id(static_cast<HostAudioFormat*>(&opaque)) + ") nosink",
                        "HandleSelector11(" + Id(handle) + ") nosink"}));
}

// 8 and 10 read the request's values last position first and pass them in position order.
TEST_F(Probe, SelectorsEightAndTenPassTheValuesInPositionOrder) {
    RecordingSelector8Request request8(log);
    EXPECT_EQ(module.Call(kSelector8, handle, &request8), kResultOK);
    EXPECT_EQ(log, (Log{"Op3()", "Op2()", "Op1()", "HandleSelector8(" + Id(handle) + ",1001,1002,1003) nosink"}));

    log.clear();
    RecordingSelector10Request request10(log);
    EXPECT_EQ(module.Call(kSelector10, handle, &request10), kResultOK);
    EXPECT_EQ(log, (Log{"Op4()", "Op3()", "Op2()", "Op1()",
                        "HandleSelector10(" + Id(handle) + ",2001,2002,2003,2004) nosink"}));
}

TEST_F(Probe, SelectorFifteenReportsCancelledOnlyWhenTheDialogRan) {
    RecordingAudioFormat format(log);
    RecordingDialogRequest request(log);
    request.sink = &sink;
    request.format = &format;
    request.parentWindow = 4242;
    request.context = 1234567890123LL;
    const std::string dialogCall =
        "ShowSettingsDialog(" + Id(static_cast<HostAudioFormat*>(&format)) + ",4242,1234567890123,false) sink";
    const Log asked{"GetMessageSink()", "Op6()", "GetParentWindow()", "GetFormat()", dialogCall};

    Returning(kResultOK, true); // the user closed the dialog without confirming
    EXPECT_EQ(module.Call(kSelectorShowSettingsDialog, nullptr, &request), kResultOK);
    Log expected = asked;
    expected.push_back("SetCancelled(true)");
    EXPECT_EQ(log, expected);

    log.clear();
    Returning(kResultOK, false); // confirmed
    EXPECT_EQ(module.Call(kSelectorShowSettingsDialog, nullptr, &request), kResultOK);
    expected = asked;
    expected.push_back("SetCancelled(false)");
    EXPECT_EQ(log, expected);

    log.clear();
    Returning(kResultFailed, true); // the dialog could not run: the host hears nothing about cancelling
    EXPECT_EQ(module.Call(kSelectorShowSettingsDialog, nullptr, &request), kResultFailed);
    EXPECT_EQ(log, asked);
}

TEST_F(Probe, SelectorSeventeenHandsTheWriterOverOnlyAfterASuccessfulOpen) {
    RecordingWriteOpenRequest request(log);
    request.sink = &sink;
    const std::string openCall = "OpenForWrite(" + Id(static_cast<HostWriteOpenRequest*>(&request)) + ",empty) sink";

    EXPECT_EQ(module.Call(kSelectorOpenForWrite, nullptr, &request), kResultOK);
    EXPECT_EQ(log, (Log{"GetMessageSink()", openCall, "TakeWriteHandle(ptr)"}));
    EXPECT_NE(request.writeHandle, nullptr);

    log.clear();
    request.writeHandle = nullptr;
    Returning(kResultFailed);
    EXPECT_EQ(module.Call(kSelectorOpenForWrite, nullptr, &request), kResultFailed);
    EXPECT_EQ(log, (Log{"GetMessageSink()", openCall}));
    EXPECT_EQ(request.writeHandle, nullptr);
}

TEST_F(Probe, SelectorNineteenReadsValueThenFlagAndPassesBoth) {
    Returning(-10);
    RecordingCloseRequest request(log);
    request.sink = &sink;
    request.flag = true;
    request.value = 3003;
    EXPECT_EQ(module.Call(kSelectorCloseWriter, handle, &request), -10);
    EXPECT_EQ(log, (Log{"GetMessageSink()", "Op3()", "Op2()", "CloseWriter(" + Id(handle) + ",true,3003) sink"}));
}

// The template's CloseReader destroys the reader through its virtual destructor.
TEST_F(Probe, SelectorTwelveDestroysTheReader) {
    void* reader = module.Symbol<void* (*)()>("SovaProbeNewReader")();
    EXPECT_EQ(module.Call(kSelectorCloseReader, reader, nullptr), kResultOK);
    EXPECT_EQ(log, (Log{"~ProbeReader(" + Id(reader) + ")"}));
}

// The argument checks and unknown selectors of the template, with operations that would
// report any call that got through.
TEST_F(Probe, RefusedCallsReachNoOperation) {
    RecordingAudioFormat request(log);
    for (int32_t selector : {0, 3, 4, 5, 13, 14, 15, 17})
        EXPECT_EQ(module.Call(selector, handle, nullptr), kResultMissingArgument) << selector;
    for (int32_t selector : {6, 7, 8, 9, 10, 18}) {
        EXPECT_EQ(module.Call(selector, nullptr, &request), kResultMissingArgument) << selector;
        EXPECT_EQ(module.Call(selector, handle, nullptr), kResultMissingArgument) << selector;
    }
    for (int32_t selector : {11, 12}) EXPECT_EQ(module.Call(selector, nullptr, &request), kResultMissingArgument);
    EXPECT_EQ(module.Call(kSelectorCloseWriter, nullptr, &request), kResultFailed);
    EXPECT_EQ(module.Call(kSelectorCloseWriter, handle, nullptr), kResultFailed);
    for (int32_t selector : {16, 20, 1000, -1, -16})
        EXPECT_EQ(module.Call(selector, handle, &request), kResultUnknownSelector) << selector;
    EXPECT_TRUE(log.empty()) << log.front();
}
} // namespace
