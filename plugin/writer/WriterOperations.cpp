// Placeholder until the writer lands.
#include "interface/SovaMp2Interface.h"

int32_t SovaMp2Interface::OpenForWrite(sova::sdk::HostWriteOpenRequest*, WriteHandle*) { return sova::sdk::kResultNotSupported; }
int32_t SovaMp2Interface::WriteSamples(WriteHandle, sova::sdk::HostWriteRequest*) { return sova::sdk::kResultNotSupported; }
int32_t SovaMp2Interface::CloseWriter(WriteHandle, bool, int32_t) { return sova::sdk::kResultNotSupported; }
