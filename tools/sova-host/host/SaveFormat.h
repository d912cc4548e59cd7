// SPDX-License-Identifier: MIT
// The save format sova-host agrees with the module for one encode: proposed from the plan
// (selector 13 for the module's base settings, then the plan's rate, channels, bitrate and mode
// over them) and negotiated with selector 14.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "module/HostModule.h"
#include "module/HostObjects.h"
#include "host/EncodePlan.h"

namespace sovahost {
// The module's preferred format (selector 13) with startText, when not empty, as its settings.
AudioFormat PreferredFormat(const HostModule& plugIn, MessageSink& sink, const std::string& startText);

// Puts the plan into format: rate, channels, length (rescaled from sourceFrames at sourceRate)
// and the settings entries that carry bitrate, mode and MPEG version.
void ApplyPlan(const EncodePlan& plan, int64_t sourceFrames, int32_t sourceRate, AudioFormat& format);

// Selector 14 on format. The module's bitrate table is coarser than Layer II (it moves some
// legal bitrates to other rates); where it moved what the plan holds, the plan is put back, and
// `detail` hears of it. Returns the module's description of the format, empty when it described
// another one. Throws std::runtime_error when the module refuses the format.
std::u16string Negotiate(const HostModule& plugIn, MessageSink& sink, const EncodePlan& plan, AudioFormat& format,
                         int64_t* estimatedSize, const std::function<void(const std::string&)>& detail);
} // namespace sovahost
