// Placeholder until the dialog lands.
#include "interface/SovaMp2Interface.h"

int32_t SovaMp2Interface::ShowSettingsDialog(sova::sdk::HostAudioFormat*, int32_t, int64_t, bool*) {
    return sova::sdk::kResultNotSupported;
}
