// SPDX-License-Identifier: MIT
#include "host/SettingsValues.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <functional>
#include <map>

#include <fmt/format.h>

#include "host/LayerTwoRules.h"
#include "host/SettingsText.h"

namespace sovahost {
namespace {
struct Rule {
    std::function<bool(int32_t)> accepts;
    std::string allowed; // what the key takes, in words
};

std::vector<int32_t> AllLayerTwoBitrates() {
    std::vector<int32_t> all;
    for (bool mpeg1 : {false, true})
        for (int index = 1; index <= 14; ++index) all.push_back(layer2::BitrateOfIndex(mpeg1, index));
    std::sort(all.begin(), all.end());
    all.erase(std::unique(all.begin(), all.end()), all.end());
    return all;
}

const std::map<std::string, Rule>& Rules() {
    const auto oneOf = [](std::vector<int32_t> values) {
        return [values](int32_t v) { return std::find(values.begin(), values.end(), v) != values.end(); };
    };
    static const std::map<std::string, Rule> rules = {
        {"BitsPerSecond", {oneOf(AllLayerTwoBitrates()), fmt::format("a Layer II bitrate in kbit/s: {}", fmt::join(AllLayerTwoBitrates(), ", "))}},
        {"ChannelMode", {oneOf({-1, 0, 1, 2, 3}), "-1 automatic, 0 stereo, 1 joint stereo, 2 dual channel, 3 mono"}},
        {"CompressionType", {oneOf({0}), "0, constant bitrate"}},
        {"MPEGVersion", {oneOf({0, 1}), "0 MPEG-2 LSF, 1 MPEG-1"}},
        {"PaddingType", {oneOf({0, 1}), "0 no padding, 1 padding"}},
        {"EmphasisType", {oneOf({0, 1, 3}), "0 none, 1 50/15 us, 3 CCITT J.17"}},
        {"PAMType", {oneOf({-1, 0, 1, 2, 3, 4}), "-1 to 4"}},
        {"ATH", {[](int32_t bits) { return std::isfinite(std::bit_cast<float>(bits)); },
                 "the bits of a finite float (e.g. 0, or 1065353216 for 1.0)"}},
    };
    return rules;
}
} // namespace

std::vector<std::string> SettingsValueProblems(const SettingsReading& reading) {
    std::vector<std::string> problems;
    const auto& entries = reading.integers;
    for (const auto& [key, rule] : Rules()) {
        const std::optional<int32_t> value = SettingsNumber(entries, key);
        if (value && !rule.accepts(*value))
            problems.push_back(fmt::format("{}:0:{}; cannot be written ({} takes {})", key, *value, key, rule.allowed));
    }
    return problems;
}
} // namespace sovahost
