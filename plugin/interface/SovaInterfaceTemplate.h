// SPDX-License-Identifier: MIT
// The interface object behind SovaInterface: twenty virtual operations, each with a default,
// and Dispatch, which checks a selector's arguments, reads what it needs from the request and
// calls the matching operation. A plug-in derives from it and overrides what it implements.
// The object lives for one call only; hostContext is valid for that call.
#pragma once

#include <cstdint>

#include <sova/Sdk.h>

// Deletes a handle object through its virtual destructor. Only declared here: the plug-in
// instantiates it in one source file where the handle's class is complete (see
// interface/HandleDestruction.h), so no source file deletes a reader it only knows by name.
template <class T>
void DestroyHandleObject(T* object);

template <class ReaderT, class WriterT>
class SovaInterfaceTemplate {
public:
    using ReadHandle = ReaderT*;
    using WriteHandle = WriterT*;

    SovaInterfaceTemplate() = default;
    SovaInterfaceTemplate(const SovaInterfaceTemplate&) = delete;
    SovaInterfaceTemplate& operator=(const SovaInterfaceTemplate&) = delete;

    virtual ~SovaInterfaceTemplate() = default;
    virtual int32_t DescribePlugIn(sova::sdk::HostRegistrar*) { return 0; }
    virtual int32_t Startup() { return 0; }
    virtual int32_t Shutdown() { return 0; }
    virtual int32_t HandleSelector3(sova::sdk::HostRequest*) { return 0; }
    virtual int32_t HandleSelector4(sova::sdk::HostRequest*) { return sova::sdk::kResultNotSupported; }
    virtual int32_t OpenForRead(sova::sdk::HostOpenRequest*) { return sova::sdk::kResultNotSupported; }
    virtual int32_t GetReadFormat(ReadHandle, sova::sdk::HostAudioFormat*) { return sova::sdk::kResultNotSupported; }
    virtual int32_t ReadSamples(ReadHandle, sova::sdk::HostReadRequest*) { return sova::sdk::kResultNotSupported; }
    virtual int32_t HandleSelector8(void*, int64_t, int64_t, int32_t) { return sova::sdk::kResultNotSupported; }
    virtual int32_t HandleSelector9(void*, void*) { return sova::sdk::kResultNotSupported; }
    virtual int32_t HandleSelector10(void*, int64_t, int64_t, int64_t, int32_t) { return sova::sdk::kResultNotSupported; }
    virtual int32_t HandleSelector11(void*) { return sova::sdk::kResultNotSupported; }
    // Destroys the reader through its virtual destructor and frees it.
    virtual int32_t CloseReader(ReadHandle reader) {
        if (reader) DestroyHandleObject(reader);
        return sova::sdk::kResultOK;
    }
    virtual int32_t GetPreferredWriteFormat(sova::sdk::HostAudioFormat*) { return sova::sdk::kResultNotSupported; }
    virtual int32_t ConformWriteFormat(sova::sdk::HostConformRequest*) { return sova::sdk::kResultNotSupported; }
    // cancelled points to the caller's flag; the dialog leaves false in it only when confirmed.
    virtual int32_t ShowSettingsDialog(sova::sdk::HostAudioFormat*, int32_t /*parentWindow*/, int64_t /*context*/,
                                       bool* /*cancelled*/) {
        return sova::sdk::kResultNotSupported;
    }
    // On success *writer holds a new writer that Dispatch hands to the host.
    virtual int32_t OpenForWrite(sova::sdk::HostWriteOpenRequest*, WriteHandle* /*writer*/) {
        return sova::sdk::kResultNotSupported;
    }
    virtual int32_t WriteSamples(WriteHandle, sova::sdk::HostWriteRequest*) { return sova::sdk::kResultNotSupported; }
    virtual int32_t CloseWriter(WriteHandle, bool, int32_t) { return sova::sdk::kResultNotSupported; }

    int32_t Dispatch(int32_t selector, void* handle, void* request);

    // Converts frameCount samples of one channel, in the layout of sampleFormatCode, to 16-bit
    // and stores sample i at destination[i * stride]. Unknown codes write nothing.
    static void ConvertToInt16(const void* source, int16_t* destination, int64_t frameCount, int32_t stride,
                               int32_t sampleFormatCode);

protected:
    sova::sdk::HostMessageSink* hostContext = nullptr; // the host's sink for this call, may be null
};

#include "interface/SovaInterfaceTemplate.inl"
