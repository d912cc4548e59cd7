// SPDX-License-Identifier: MIT
// A number field: the user types a value or steps it with the arrow keys (Shift steps by the
// shift increment, Ctrl by the fine one). The unit label follows the number.
#pragma once

#include <tsaui/controls/UI_ControlView.h>

namespace tsaui::controls {
class TSAUI_API UI_HotTextNumber : public UI_ControlView {
public:
    struct Settings {
        double minValue = 0.0;
        double maxValue = 100.0;
        double increment = 1.0;
        double shiftIncrement = 10.0;
        double cmdIncrement = 0.1;
        int32_t decimalPlaces = 0;
        tsacore::UString textLabel;
    };
    UI_HotTextNumber();
    ~UI_HotTextNumber() override;
    void Configure(const Settings& settings);
    const Settings& GetSettings() const { return settings_; }
    void SetValue(double value); // clamped to the range
    double GetValue() const;
    void SetDisabled(bool disabled) override;
private:
    Settings settings_;
};
} // namespace tsaui::controls
