// SPDX-License-Identifier: MIT
#include "host/EncodePlan.h"

#include <fmt/format.h>

#include "host/LayerTwoRules.h"

namespace sovahost {
std::string ChannelModeName(int32_t mode, bool mono) {
    if (mono) return "mono";
    switch (mode) {
    case 0: return "stereo";
    case 1: return "joint stereo";
    case 2: return "dual channel";
    default: return "stereo (automatic)";
    }
}

EncodePlan PlanEncode(const EncodeRequest& request) {
    EncodePlan plan;
    plan.mode = request.mode.value_or(-1);
    const bool monoMode = plan.mode == 3, twoChannelMode = plan.mode >= 0 && plan.mode <= 2;
    if (request.channels) {
        plan.channels = *request.channels;
        if ((monoMode && plan.channels != 1) || (twoChannelMode && plan.channels != 2)) {
            plan.refusal = fmt::format("the channel mode {} writes {} channel{}; --channels {} contradicts it",
                                       ChannelModeName(plan.mode, monoMode), monoMode ? 1 : 2, monoMode ? "" : "s",
                                       plan.channels);
            return plan;
        }
    } else if (monoMode || twoChannelMode) {
        plan.channels = monoMode ? 1 : 2;
    } else {
        plan.channels = std::min(request.sourceChannels, 2);
        if (request.sourceChannels > 2)
            plan.warnings.push_back(fmt::format("the {}-channel source is downmixed to stereo (--channels 1 for mono)",
                                                request.sourceChannels));
    }

    if (request.rate) {
        plan.rate = *request.rate;
    } else {
        plan.rate = layer2::OutputRateFor(request.sourceRate);
        if (plan.rate != request.sourceRate)
            plan.warnings.push_back(fmt::format("{} Hz is not an MPEG Audio Layer II rate; resampling to {} Hz "
                                                "(--rate chooses another)",
                                                request.sourceRate, plan.rate));
    }

    plan.mono = monoMode || (plan.mode == -1 && plan.channels == 1);
    plan.bitrate = request.bitrate.value_or(layer2::DefaultBitrate(plan.rate, plan.mono));
    plan.refusal = layer2::Refusal(plan.bitrate, plan.rate, plan.mono, ChannelModeName(plan.mode, plan.mono));
    return plan;
}
} // namespace sovahost
