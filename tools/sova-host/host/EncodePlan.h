// SPDX-License-Identifier: MIT
// What an encode writes, decided by sova-host from the source and what the user asked for:
//  - rate: --rate, else the source's when it is an MPEG rate, else the nearest MPEG rate above it;
//  - channels: --channels, else what the channel mode needs, else the source's (two at most);
//  - bitrate: the one asked for, else twolame's default for that rate and mode;
//  - a combination Layer II does not allow is refused, naming what would be allowed.
// The module's own negotiation may propose otherwise; the plan is what the user gets.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace sovahost {
struct EncodeRequest {
    int32_t sourceRate = 0, sourceChannels = 0;
    std::optional<int32_t> rate;     // --rate
    std::optional<int32_t> channels; // --channels
    std::optional<int32_t> bitrate;  // -b, or BitsPerSecond of the user's settings text
    std::optional<int32_t> mode;     // -m, or ChannelMode of the user's settings text (-1 automatic)
};

struct EncodePlan {
    int32_t rate = 0, channels = 0, bitrate = 0;
    int32_t mode = -1; // the settings' ChannelMode: -1 automatic, 0 stereo, 1 joint, 2 dual, 3 mono
    bool mono = false; // the file's mode is mono
    std::vector<std::string> warnings; // each change to what was asked, in words
    std::string refusal;               // set when the request cannot be written
};

EncodePlan PlanEncode(const EncodeRequest& request);

// "mono", "stereo", "joint stereo", "dual channel", or "stereo (automatic)".
std::string ChannelModeName(int32_t mode, bool mono);
} // namespace sovahost
