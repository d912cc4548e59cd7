// SPDX-License-Identifier: MIT
// Dispatch through SovaInterface, with host objects that log every call made on them: the real
// SovaMp2.sova, and a probe module on the same interface template.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "Process.h"
#include "RecordingHost.h"

namespace {
using namespace sova::sdk;
using namespace boundarytest;
namespace fs = std::filesystem;

bool LibraryMapped(const std::string& name) {
    std::stringstream maps;
    maps << std::ifstream("/proc/self/maps").rdbuf();
    return maps.str().find(name) != std::string::npos;
}

fs::path TempPath(const std::string& name) {
    return fs::path(::testing::TempDir()) / ("boundary-" + std::to_string(getpid()) + "-" + name);
}

class RealModule : public ::testing::Test {
protected:
    LoadedModule module{SOVA_MODULE_PATH};
    Log log;
    RecordingSink sink{log};
    int dummy = 0;
    void* someHandle = &dummy; // never looked at: every call with it fails earlier or ignores it

    // Selectors 0 and 1 as a host sends them after loading. Selector 0 prepares the registrar
    // before anything else, once; selector 1 needs no arguments.
    void Start() {
        RecordingRegistrar registrar(log);
        ASSERT_EQ(module.Call(kSelectorDescribePlugIn, nullptr, &registrar), kResultOK);
        EXPECT_EQ(log.front(), "Prepare(1,1)");
        EXPECT_EQ(std::count(log.begin(), log.end(), "Prepare(1,1)"), 1);
        EXPECT_EQ(module.Call(kSelectorStartup, nullptr, nullptr), kResultOK);
        log.clear();
    }
    void Stop() { EXPECT_EQ(module.Call(kSelectorShutdown, nullptr, nullptr), kResultOK); }
};

// A missing handle or request: -6 (-1 for selector 19). Selector 16, above 19 or negative: -2.
// Nothing is called on the other argument either way.
TEST_F(RealModule, RefusedAndUnknownSelectorsCallNothing) {
    RecordingAudioFormat request(log);
    for (int32_t selector : {0, 3, 4, 5, 13, 14, 15, 17})
        EXPECT_EQ(module.Call(selector, someHandle, nullptr), kResultMissingArgument) << "selector " << selector;
    for (int32_t selector : {6, 7, 8, 9, 10, 18}) {
        EXPECT_EQ(module.Call(selector, nullptr, &request), kResultMissingArgument) << "selector " << selector;
        EXPECT_EQ(module.Call(selector, someHandle, nullptr), kResultMissingArgument) << "selector " << selector;
    }
    for (int32_t selector : {11, 12})
        EXPECT_EQ(module.Call(selector, nullptr, &request), kResultMissingArgument) << "selector " << selector;
    EXPECT_EQ(module.Call(kSelectorCloseWriter, nullptr, &request), kResultFailed);
    EXPECT_EQ(module.Call(kSelectorCloseWriter, someHandle, nullptr), kResultFailed);
    for (int32_t selector : {16, 20, 21, 1000, -1, INT32_MIN, INT32_MAX})
        EXPECT_EQ(module.Call(selector, someHandle, &request), kResultUnknownSelector) << "selector " << selector;
    EXPECT_TRUE(log.empty()) << log.front();
}

// Without a request selector 0 loads nothing, so the following shut-down finds no module
// resources: its contract error is not caught at the boundary and reaches the host.
TEST_F(RealModule, SelectorZeroWithoutRequestLoadsNothing) {
    EXPECT_EQ(module.Call(kSelectorDescribePlugIn, nullptr, nullptr), kResultMissingArgument);
    EXPECT_FALSE(LibraryMapped("libmpg123"));
    EXPECT_FALSE(LibraryMapped("libtwolame"));
    EXPECT_ANY_THROW(module.Call(kSelectorShutdown, nullptr, nullptr));
}

// The template defaults the module keeps, after the calls their rows make on the request.
TEST_F(RealModule, DefaultSelectorsMakeTheirCallsInOrder) {
    RecordingRequest request3(log);
    request3.sink = &sink;
    EXPECT_EQ(module.Call(kSelector3, nullptr, &request3), kResultOK);
    RecordingSelector4Request request4(log);
    EXPECT_EQ(module.Call(kSelector4, nullptr, &request4), kResultNotSupported);
    RecordingSelector8Request request8(log);
    EXPECT_EQ(module.Call(kSelector8, someHandle, &request8), kResultNotSupported);
    RecordingSelector10Request request10(log);
    EXPECT_EQ(module.Call(kSelector10, someHandle, &request10), kResultNotSupported);
    RecordingAudioFormat anyRequest(log);
    EXPECT_EQ(module.Call(kSelector9, someHandle, &anyRequest), kResultNotSupported);
    EXPECT_EQ(module.Call(kSelector11, someHandle, &anyRequest), kResultNotSupported);
    EXPECT_EQ(log, (Log{"GetMessageSink()", "GetMessageSink()", "Op6(0)", "Op3()", "Op2()", "Op1()", "Op4()", "Op3()",
                        "Op2()", "Op1()"}));
}

// A real reader: 5 asks for the sink first and hands the reader over; 12 destroys it (the
// decoder lets go of the file) without calling anything.
TEST_F(RealModule, OpenForReadHandsTheReaderOverAndCloseReaderDestroysIt) {
    const fs::path mp2 = TempPath("silence.mp2");
    const std::string command = "head -c 176400 /dev/zero | twolame --quiet -r -s 44100 -N 2 - '" + mp2.string() + "'";
    const testsupport::ProcessRun made = testsupport::RunShell(command);
    ASSERT_TRUE(made.Succeeded()) << "twolame could not make the test file: " << made.err;
    Start();

    RecordingOpenRequest open(log);
    open.sink = &sink;
    open.path = mp2.u16string();
    ASSERT_EQ(module.Call(kSelectorOpenForRead, nullptr, &open), kResultOK);
    EXPECT_EQ(log.front(), "GetMessageSink()");
    ASSERT_NE(open.readHandle, nullptr);
    EXPECT_EQ(std::count(log.begin(), log.end(), "TakeReadHandle(" + Id(open.readHandle) + ")"), 1);
    EXPECT_GE(DescriptorsOn(fs::canonical(mp2)), 1);

    log.clear();
    EXPECT_EQ(module.Call(kSelectorCloseReader, open.readHandle, nullptr), kResultOK);
    EXPECT_EQ(DescriptorsOn(fs::canonical(mp2)), 0);
    EXPECT_TRUE(log.empty());
    Stop();
}

// Saving: 13 proposes 16-bit stereo at 44100 Hz; 17 hands over the writer it opened, last;
// 19 reads its values, position 3 first.
TEST_F(RealModule, WritingSelectorsMakeTheirCallsInOrder) {
    Start();
    RecordingAudioFormat format(log);
    format.sink = &sink;
    format.channelCount = format.sampleRate = format.sampleFormat = 0;
    EXPECT_EQ(module.Call(kSelectorGetPreferredWriteFormat, nullptr, &format), kResultOK);
    EXPECT_EQ(log, (Log{"GetMessageSink()", "SetChannelCount(2)", "SetSampleRate(44100)", "SetSampleFormat(20)"}));

    log.clear();
    RecordingWriteOpenRequest open(log);
    open.format = &format;
    open.path = TempPath("out.mp2").u16string();
    ASSERT_EQ(module.Call(kSelectorOpenForWrite, nullptr, &open), kResultOK);
    ASSERT_NE(open.writeHandle, nullptr);
    EXPECT_EQ(log.front(), "GetMessageSink()");
    EXPECT_EQ(log.back(), "TakeWriteHandle(" + Id(open.writeHandle) + ")");
    EXPECT_EQ(std::count(log.begin(), log.end(), log.back()), 1);

    log.clear();
    RecordingCloseRequest close(log);
    EXPECT_EQ(module.Call(kSelectorCloseWriter, open.writeHandle, &close), kResultOK);
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ((Log{log[0], log[1], log[2]}), (Log{"GetMessageSink()", "Op3()", "Op2()"}));
    Stop();
}

// Every row of the dispatch table through the probe module (ProbeModule.cpp), whose operations
// log their arguments into the same log as the host objects and return what the test chooses:
// each row's calls in order, what it passes on, and the operation's result unchanged.
Log* gProbeLog = nullptr;

template <class R>
void* AsHost(R& request) { return static_cast<typename R::Protocol*>(&request); }

std::string Fill(std::string text, const std::string& token, const void* pointer) {
    for (size_t at; (at = text.find(token)) != std::string::npos;) text.replace(at, token.size(), Id(pointer));
    return text;
}

TEST(Probe, EveryRowCallsWhatTheTableSaysInOrder) {
    const LoadedModule module(SOVA_PROBE_MODULE_PATH);
    Log log;
    gProbeLog = &log;
    auto append = [](const char* line) { gProbeLog->push_back(line); };
    module.Symbol<void (*)(void (*)(const char*))>("SovaProbeSetLog")(append);
    RecordingSink sink(log);
    RecordingRegistrar registrar(log);
    RecordingSelector4Request request4(log);
    RecordingSelector8Request request8(log);
    RecordingSelector10Request request10(log);
    RecordingDialogRequest dialog(log);
    RecordingWriteOpenRequest writeOpen(log);
    RecordingCloseRequest close(log);
    // Where Dispatch calls nothing but GetMessageSink, if that, any request will do: this one
    // logs the call and has a sink to hand out.
    RecordingAudioFormat format(log);
    for (HostMessageSink** s : {&request4.sink, &format.sink, &dialog.sink, &writeOpen.sink, &close.sink}) *s = &sink;
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
        {3, AsHost(format), {"GetMessageSink()", "HandleSelector3({r}) {s}"}},
        {4, AsHost(request4), {"GetMessageSink()", "Op6(0)", "HandleSelector4({r}) {s}"}},
        {5, AsHost(format), {"GetMessageSink()", "OpenForRead({r}) {s}"}},
        {6, AsHost(format), {"GetMessageSink()", "GetReadFormat({h},{r}) {s}"}},
        {7, AsHost(format), {"ReadSamples({h},{r}) null"}},
        {8, AsHost(request8), {"Op3()", "Op2()", "Op1()", "HandleSelector8({h},1001,1002,1003) null"}},
        {9, AsHost(format), {"HandleSelector9({h},{r}) null"}},
        {10, AsHost(request10), {"Op4()", "Op3()", "Op2()", "Op1()", "HandleSelector10({h},2001,2002,2003,2004) null"}},
        {11, nullptr, {"HandleSelector11({h}) null"}},
        {13, AsHost(format), {"GetMessageSink()", "GetPreferredWriteFormat({r}) {s}"}},
        {14, AsHost(format), {"GetMessageSink()", "ConformWriteFormat({r}) {s}"}},
        // SetCancelled only after a dialog that returned 0, with what it left in the flag.
        {15, AsHost(dialog), {"GetMessageSink()", "Op6()", "GetParentWindow()", "GetFormat()", dialogCall,
                              "SetCancelled(true)"}, 0, true},
        {15, AsHost(dialog), {"GetMessageSink()", "Op6()", "GetParentWindow()", "GetFormat()", dialogCall,
                              "SetCancelled(false)"}, 0, false},
        {15, AsHost(dialog), {"GetMessageSink()", "Op6()", "GetParentWindow()", "GetFormat()", dialogCall}, -1, true},
        // The local handle starts empty (true); the writer is handed over only after a successful open.
        {17, AsHost(writeOpen), {"GetMessageSink()", "OpenForWrite({r},true) {s}", "TakeWriteHandle({w})"}, 0},
        {17, AsHost(writeOpen), {"GetMessageSink()", "OpenForWrite({r},true) {s}"}, -1},
        {18, AsHost(format), {"GetMessageSink()", "WriteSamples({h},{r}) {s}"}},
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
