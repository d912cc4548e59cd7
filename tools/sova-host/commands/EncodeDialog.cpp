// SPDX-License-Identifier: MIT
#include "EncodeDialog.h"

#include <algorithm>
#include <stdexcept>

#include <hub/app/App.h>

#include "EncodeSettings.h"
#include "host/AudioSource.h"
#include "host/SaveFormat.h"
#include "host/SettingsDialog.h"
#include "module/ReadSession.h"

namespace sovahost {
void RequireDisplay() {
    if (hub::app::App::IsOffscreen())
        throw std::runtime_error("no display to show the settings dialog on (set DISPLAY, or leave out --dialog)");
}

void EditInDialog(const HostModule& plugIn, AudioFormat& format) {
    std::string error;
    const int outcome = RunSettingsDialog(plugIn, format, &error);
    if (outcome == kDialogCancelled) throw std::runtime_error("cancelled in the settings dialog; nothing was written");
    if (outcome != kDialogConfirmed) throw std::runtime_error("the settings dialog failed: " + error);
}

std::string SettingsFromDialog(const HostOptions& hostOptions, const EncodeOptions& options, const std::string& input) {
    RequireDisplay();
    AudioSource source(input, input);
    StartedModule module(hostOptions);
    module.RequireStarted();
    const StartingSettings start = UserSettings(options, options.settingsText, ReadSettingsText(options.settingsText));
    AudioFormat format = PreferredFormat(module.Module(), module.Sink(), start.text);
    format.sampleRate = options.rate.value_or(source.Rate());
    format.channelCount = options.channels.value_or(std::min(source.Channels(), 2));
    EditInDialog(module.Module(), format);
    return ToUtf8(format.settingsText);
}
} // namespace sovahost
