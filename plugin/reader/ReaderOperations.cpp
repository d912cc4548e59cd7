// Placeholder until the reader lands.
#include "interface/SovaMp2Interface.h"

int32_t SovaMp2Interface::OpenForRead(sova::sdk::HostOpenRequest*) { return sova::sdk::kResultNotSupported; }
int32_t SovaMp2Interface::GetReadFormat(ReadHandle, sova::sdk::HostAudioFormat*) { return sova::sdk::kResultNotSupported; }
int32_t SovaMp2Interface::ReadSamples(ReadHandle, sova::sdk::HostReadRequest*) { return sova::sdk::kResultNotSupported; }
