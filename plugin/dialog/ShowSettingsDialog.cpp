// SPDX-License-Identifier: MIT
// Selector 15: the encoder settings dialog for a save format.
#include "dialog/SovaMp2SettingsDialog.h"
#include "host/HostText.h"
#include "interface/SovaMp2Interface.h"

int32_t SovaMp2Interface::ShowSettingsDialog(sova::sdk::HostAudioFormat* format, int32_t parentWindow,
                                             int64_t /*context*/, bool* cancelled) {
    sova::EncoderSettings settings;
    settings.FromText(sova::HostText(format->GetSettingsText()));
    const int32_t sampleRate = format->GetSampleRate();
    const int32_t channels = format->GetChannelCount();
    {
        SovaMp2SettingsDialog dialog(settings, channels, sampleRate);
        *cancelled = true;
        if (dialog.Run(parentWindow)) {
            const tsacore::UString text = settings.ToText();
            format->SetSettingsText(text.c_str());
            *cancelled = false;
        }
    }
    return sova::sdk::kResultOK;
}
