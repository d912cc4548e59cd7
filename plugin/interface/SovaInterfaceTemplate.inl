// SPDX-License-Identifier: MIT
// Dispatch and the sample converter of SovaInterfaceTemplate.
#pragma once


#include "interface/SampleConversion.h"

template <class ReaderT, class WriterT>
int32_t SovaInterfaceTemplate<ReaderT, WriterT>::Dispatch(int32_t selector, void* handle, void* request) {
    using namespace sova::sdk;
    hostContext = nullptr;
    const auto keepSink = [this](void* r) { hostContext = static_cast<HostRequest*>(r)->GetMessageSink(); };

    switch (static_cast<uint32_t>(selector)) { // negative selectors fall to the unknown case
    case kSelectorDescribePlugIn: {
        if (!request) return kResultMissingArgument;
        auto* registrar = static_cast<HostRegistrar*>(request);
        registrar->Prepare(1, 1);
        return DescribePlugIn(registrar);
    }
    case kSelectorStartup: return Startup();
    case kSelectorShutdown: return Shutdown();
    case kSelector3:
        if (!request) return kResultMissingArgument;
        keepSink(request);
        return HandleSelector3(static_cast<HostRequest*>(request));
    case kSelector4:
        if (!request) return kResultMissingArgument;
        keepSink(request);
        static_cast<HostSelector4Request*>(request)->Notify(0);
        return HandleSelector4(static_cast<HostRequest*>(request));
    case kSelectorOpenForRead:
        if (!request) return kResultMissingArgument;
        keepSink(request);
        return OpenForRead(static_cast<HostOpenRequest*>(request));
    case kSelectorGetReadFormat:
        if (!handle || !request) return kResultMissingArgument;
        keepSink(request);
        return GetReadFormat(static_cast<ReadHandle>(handle), static_cast<HostAudioFormat*>(request));
    case kSelectorReadSamples:
        if (!handle || !request) return kResultMissingArgument;
        return ReadSamples(static_cast<ReadHandle>(handle), static_cast<HostReadRequest*>(request));
    case kSelector8: {
        if (!handle || !request) return kResultMissingArgument;
        auto* values = static_cast<HostSelector8Request*>(request);
        const int32_t v3 = values->Value3();
        const int64_t v2 = values->Value2();
        const int64_t v1 = values->Value1();
        return HandleSelector8(handle, v1, v2, v3);
    }
    case kSelector9:
        if (!handle || !request) return kResultMissingArgument;
        return HandleSelector9(handle, request);
    case kSelector10: {
        if (!handle || !request) return kResultMissingArgument;
        auto* values = static_cast<HostSelector10Request*>(request);
        const int32_t v4 = values->Value4();
        const int64_t v3 = values->Value3();
        const int64_t v2 = values->Value2();
        const int64_t v1 = values->Value1();
        return HandleSelector10(handle, v1, v2, v3, v4);
    }
    case kSelector11:
        if (!handle) return kResultMissingArgument;
        return HandleSelector11(handle);
    case kSelectorCloseReader:
        if (!handle) return kResultMissingArgument;
        return CloseReader(static_cast<ReadHandle>(handle));
    case kSelectorGetPreferredWriteFormat:
        if (!request) return kResultMissingArgument;
        keepSink(request);
        return GetPreferredWriteFormat(static_cast<HostAudioFormat*>(request));
    case kSelectorConformWriteFormat:
        if (!request) return kResultMissingArgument;
        keepSink(request);
        return ConformWriteFormat(static_cast<HostConformRequest*>(request));
    case kSelectorShowSettingsDialog: {
        if (!request) return kResultMissingArgument;
        keepSink(request);
        auto* dialogRequest = static_cast<HostDialogRequest*>(request);
        bool cancelled = false;
        const int64_t context = dialogRequest->GetDialogContext();
        const int32_t parentWindow = dialogRequest->GetParentWindow();
        HostAudioFormat* format = dialogRequest->GetFormat();
        const int32_t result = ShowSettingsDialog(format, parentWindow, context, &cancelled);
        if (result == kResultOK) dialogRequest->SetCancelled(cancelled);
        return result;
    }
    case kSelectorOpenForWrite: {
        if (!request) return kResultMissingArgument;
        keepSink(request);
        auto* openRequest = static_cast<HostWriteOpenRequest*>(request);
        WriteHandle writer = nullptr;
        const int32_t result = OpenForWrite(openRequest, &writer);
        if (result == kResultOK) openRequest->TakeWriteHandle(writer);
        return result;
    }
    case kSelectorWriteSamples:
        if (!handle || !request) return kResultMissingArgument;
        keepSink(request);
        return WriteSamples(static_cast<WriteHandle>(handle), static_cast<HostWriteRequest*>(request));
    case kSelectorCloseWriter: {
        if (!handle || !request) return kResultFailed;
        keepSink(request);
        auto* closeRequest = static_cast<HostCloseRequest*>(request);
        const int32_t value = closeRequest->GetCloseValue();
        const bool flag = closeRequest->GetCloseFlag();
        return CloseWriter(static_cast<WriteHandle>(handle), flag, value);
    }
    default: return kResultUnknownSelector; // 16 and everything above 19
    }
}

template <class ReaderT, class WriterT>
void SovaInterfaceTemplate<ReaderT, WriterT>::ConvertToInt16(const void* source, int16_t* destination,
                                                             int64_t frameCount, int32_t stride,
                                                             int32_t sampleFormatCode) {
    sova::ConvertChannelToInt16(source, destination, frameCount, stride, sampleFormatCode);
}
