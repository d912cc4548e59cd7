// Placeholder until registration and negotiation land.
#include "interface/SovaMp2Interface.h"

int32_t SovaMp2Interface::DescribePlugIn(sova::sdk::HostRegistrar*) { return 0; }
int32_t SovaMp2Interface::ConformWriteFormat(sova::sdk::HostConformRequest*) { return sova::sdk::kResultNotSupported; }
