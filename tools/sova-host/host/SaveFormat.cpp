// SPDX-License-Identifier: MIT
#include "host/SaveFormat.h"

#include <stdexcept>

#include <fmt/format.h>
#include <sova/Sdk.h>

#include "host/LayerTwoRules.h"
#include "module/ReadSession.h"
#include "host/SettingsText.h"

namespace sovahost {
using namespace sova::sdk;

namespace {
// Entries placed first win: the module keeps the first occurrence of a key.
std::u16string PlanEntries(const EncodePlan& plan) {
    return FromUtf8(fmt::format("BitsPerSecond:0:{};ChannelMode:0:{};MPEGVersion:0:{};", plan.bitrate, plan.mode,
                                layer2::IsMpeg1Rate(plan.rate) ? 1 : 0));
}
} // namespace

AudioFormat PreferredFormat(const HostModule& plugIn, MessageSink& sink, const std::string& startText) {
    AudioFormat format;
    format.sink = &sink;
    const int32_t preferred = plugIn.Call(kSelectorGetPreferredWriteFormat, nullptr, &format);
    if (preferred != kResultOK)
        throw std::runtime_error(fmt::format("the plug-in has no preferred save format: {}", ResultInWords(preferred)));
    if (!startText.empty()) format.settingsText = FromUtf8(startText);
    return format;
}

void ApplyPlan(const EncodePlan& plan, int64_t sourceFrames, int32_t sourceRate, AudioFormat& format) {
    format.sampleRate = plan.rate;
    format.channelCount = plan.channels;
    format.length = static_cast<int64_t>(static_cast<double>(sourceFrames) * plan.rate / sourceRate);
    format.settingsText = PlanEntries(plan) + format.settingsText;
}

std::u16string Negotiate(const HostModule& plugIn, MessageSink& sink, const EncodePlan& plan, AudioFormat& format,
                         int64_t* estimatedSize, const std::function<void(const std::string&)>& detail) {
    ConformRequest conform;
    conform.sink = &sink;
    conform.format = &format;
    const int64_t length = format.length;
    const int32_t result = plugIn.Call(kSelectorConformWriteFormat, nullptr, &conform);
    if (result != kResultOK)
        throw std::runtime_error(fmt::format("the plug-in refused the save format: {}", ResultInWords(result)));
    *estimatedSize = conform.estimatedSize;
    const int32_t kbps = SettingsValue(ToUtf8(format.settingsText), "BitsPerSecond", plan.bitrate);
    if (format.sampleRate == plan.rate && format.channelCount == plan.channels && kbps == plan.bitrate)
        return conform.description;
    detail(fmt::format("the plug-in's table proposed {} Hz, {} kbit/s; Layer II allows {} Hz, {} kbit/s as planned",
                       format.sampleRate, kbps, plan.rate, plan.bitrate));
    format.sampleRate = plan.rate;
    format.channelCount = plan.channels;
    format.length = length;
    format.settingsText = PlanEntries(plan) + format.settingsText;
    *estimatedSize = length * plan.bitrate * 1000 / (static_cast<int64_t>(plan.rate) * 8);
    return {};
}
} // namespace sovahost
