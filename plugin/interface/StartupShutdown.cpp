// Placeholder until the codec bindings land.
#include "interface/SovaMp2Interface.h"

int32_t SovaMp2Interface::Startup() { return 0; }
int32_t SovaMp2Interface::Shutdown() { return 0; }
