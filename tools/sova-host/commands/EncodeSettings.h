// SPDX-License-Identifier: MIT
// From encode's options and the user's settings text to what the plan and the module start from.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "cmd_encode.h"
#include "host/AudioSource.h"
#include "host/DeliveryProfiles.h"
#include "host/EncodePlan.h"
#include "host/SettingsText.h"

namespace sovahost {
// The text read once: what the module would ignore is warned about on stderr, values that
// cannot be written throw std::runtime_error ("--settings: ...").
SettingsReading CheckedSettings(const std::string& text);

// The starting settings for the module's preferred format: the user's text (or the dialog's)
// under the flag options; the user's bitrate and mode, where the text holds them, go to the plan.
struct StartingSettings {
    std::string text;
    std::optional<int32_t> bitrate, mode;
};
// reading is ReadSettingsText(userText) (or CheckedSettings), passed in so that it is read once.
StartingSettings UserSettings(const EncodeOptions& options, const std::string& userText, const SettingsReading& reading);

// What will be written, by sova-host's rule (host/EncodePlan), for this source.
// profile: the delivery profile applied to options (nullptr for none).
EncodePlan Plan(const EncodeOptions& options, const StartingSettings& start, const AudioSource& source,
                const DeliveryProfile* profile);

// --format: the sample format forced on the module, or nullopt for the source's own precision.
std::optional<int32_t> ForcedSampleFormat(const std::string& name);
// -m's letter as the module's ChannelMode value (0 stereo, 1 joint, 2 dual, 3 mono; -1 auto).
int32_t ModeValue(const std::string& mode);
} // namespace sovahost
