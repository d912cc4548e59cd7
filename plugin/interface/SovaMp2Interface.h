// SPDX-License-Identifier: MIT
// The MP2 plug-in's interface object: the operations it implements. Each body lives with its
// subsystem (start-up in interface/, reading in reader/, writing in writer/, the dialog in dialog/).
#pragma once

#include "interface/SovaPrivateInterfaceTemplate.h"

namespace sova {
namespace mpg123 { class Reader; }
class TwoLameEncoder;
} // namespace sova

class SovaMp2Interface final : public SovaPrivateInterfaceTemplate<sova::mpg123::Reader, sova::TwoLameEncoder> {
public:
    ~SovaMp2Interface() override = default;

    int32_t DescribePlugIn(sova::sdk::HostRegistrar* registrar) override;
    int32_t Startup() override;
    int32_t Shutdown() override;
    int32_t OpenForRead(sova::sdk::HostOpenRequest* request) override;
    int32_t GetReadFormat(ReadHandle reader, sova::sdk::HostAudioFormat* format) override;
    int32_t ReadSamples(ReadHandle reader, sova::sdk::HostReadRequest* request) override;
    int32_t GetPreferredWriteFormat(sova::sdk::HostAudioFormat* format) override;
    int32_t ConformWriteFormat(sova::sdk::HostConformRequest* request) override;
    int32_t ShowSettingsDialog(sova::sdk::HostAudioFormat* format, int32_t parentWindow, int64_t context,
                               bool* cancelled) override;
    int32_t OpenForWrite(sova::sdk::HostWriteOpenRequest* request, WriteHandle* writer) override;
    int32_t WriteSamples(WriteHandle writer, sova::sdk::HostWriteRequest* request) override;
    int32_t CloseWriter(WriteHandle writer, bool flag, int32_t value) override;

    sova::sdk::HostMessageSink* HostContext() const { return hostContext; }
};
