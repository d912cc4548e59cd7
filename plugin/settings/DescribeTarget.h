// SPDX-License-Identifier: MIT
// The words for a save format: the one-line form (MPEG version and bitrate) for the writer,
// the multi-line form (adding channel mode with sample rate, and the header flags) for the
// save-format negotiation. Localised through the host's localiser.
#pragma once

#include <cstdint>

#include <tsacore/String.h>

namespace sova {
class EncoderSettings;

tsacore::UString DescribeTarget(int32_t sampleRate, int32_t channels, const EncoderSettings& settings,
                                bool multiLine);
} // namespace sova
