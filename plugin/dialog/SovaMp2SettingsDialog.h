// SPDX-License-Identifier: MIT
// The modal dialog in which the user edits the encoder settings of an MP2 save format. It is
// built from the layout the module carries ("FormatOptions"), edits a copy of the caller's
// settings and writes them back only when the user confirms with OK.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include <tsaui/controls/UI_Button.h>
#include <tsaui/controls/UI_Checkbox.h>
#include <tsaui/controls/UI_HotTextNumber.h>
#include <tsaui/controls/UI_Popup.h>
#include <tsaui/controls/UI_SectionView.h>
#include <tsaui/controls/UI_StaticText.h>
#include <tsaui/ui/UI_Dialog.h>

#include "settings/EncoderSettings.h"

namespace sova {
// Item texts of the pop-ups, localised.
tsacore::UString ChannelModeItemText(int32_t channelMode); // empty for a mode not offered
tsacore::UString PsycModelItemText(int32_t pamType);       // empty for a model not offered
tsacore::UString EmphasisItemText(int32_t emphasisType);   // "Unknown Emphasis Type: n" for others
// "192 kbps (44100 Hz)": the bitrate and the sample rate it would be encoded at.
tsacore::UString BitrateItemText(int32_t kbps, int32_t channels, int32_t sampleRate);
} // namespace sova

class SovaMp2SettingsDialog {
public:
    SovaMp2SettingsDialog(sova::EncoderSettings& settings, int32_t channels, int32_t sampleRate);
    SovaMp2SettingsDialog(const SovaMp2SettingsDialog&) = delete;
    SovaMp2SettingsDialog& operator=(const SovaMp2SettingsDialog&) = delete;

    // Builds, wires and runs the dialog; true after OK, when the caller's settings were updated.
    bool Run(tsaui::ui::UI_WindowRef parentWindow);

    void OnChannelModeChanged(const tsaui::controls::UI_ControlChangedMessage& message);
    void OnBitrateChanged(const tsaui::controls::UI_ControlChangedMessage& message);
    void OnSettingChanged(const tsaui::controls::UI_ControlChangedMessage& message);
    void OnAdvancedOpenedChanged(tsaui::controls::UI_SectionView& section);
    void RebuildBitrateList();

private:
    template <class T>
    std::shared_ptr<T> FindControl(const char* id);
    using Handler = void (SovaMp2SettingsDialog::*)(const tsaui::controls::UI_ControlChangedMessage&);
    tsaui::ui::UI_NodeCallbackRef Bind(Handler handler);
    // Position of value in values; the list's length when it is not there.
    static int32_t PositionOf(const std::vector<int32_t>& values, int32_t value);
    // The entry at a pop-up's position, or fallback when the position is outside the list.
    static int32_t EntryAt(const std::vector<int32_t>& values, int32_t position, int32_t fallback);
    void FillPopup(tsaui::controls::UI_Popup& popup, const std::vector<int32_t>& values,
                   tsacore::UString (*itemText)(int32_t), int32_t selected);

    std::shared_ptr<tsaui::ui::UI_ArchivedDialog> dialog;
    std::shared_ptr<tsaui::controls::UI_StaticText> mpegModeText;
    std::shared_ptr<tsaui::controls::UI_Popup> channelModePopup;
    std::shared_ptr<tsaui::controls::UI_Popup> bitratePopup;
    std::shared_ptr<tsaui::controls::UI_SectionView> advancedSection;
    std::shared_ptr<tsaui::controls::UI_Checkbox> copyrightCheckbox;
    std::shared_ptr<tsaui::controls::UI_Checkbox> originalCheckbox;
    std::shared_ptr<tsaui::controls::UI_Checkbox> embedPeakCheckbox;
    std::shared_ptr<tsaui::controls::UI_Checkbox> crcCheckbox;
    std::shared_ptr<tsaui::controls::UI_Checkbox> paddingCheckbox;
    std::shared_ptr<tsaui::controls::UI_Popup> deEmphasisPopup;
    std::shared_ptr<tsaui::controls::UI_Popup> psycModelPopup;
    std::shared_ptr<tsaui::controls::UI_HotTextNumber> athHotText;
    sova::EncoderSettings& callerSettings;
    sova::EncoderSettings workingSettings;
    int32_t channelCount;
    int32_t sampleRate;
    std::vector<int32_t> bitrates;
    std::vector<int32_t> channelModes;
    std::vector<int32_t> psycModels;
    std::vector<int32_t> emphasisTypes;
};
