// SPDX-License-Identifier: MIT
#include "dialog/SovaMp2SettingsDialog.h"

#include <hub/app/App.h>
#include <tsacore/config/Error.h>
#include <tsacore/config/Localizer.h>
#include <tsacore/utility/Numbers.h>
#include <tsacore/utility/ReplaceInString.h>
#include <tsaui/ui/UI_Dialog.h>

#include "Common/Module/private/win/Module_WIN.h"
#include "settings/BitrateTable.h"

using tsacore::UString;
using tsacore::config::Localize;
using tsacore::utility::NumberToString;
using tsacore::utility::ReplaceInString;
using namespace tsaui::controls;

namespace {
// The MPEG-2 LSF Layer II bitrates, offered for one channel, and the MPEG-1 ones for two.
const std::vector<int32_t> kMonoBitrates = {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
const std::vector<int32_t> kStereoBitrates = {32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384};

constexpr int32_t kPopupTypeSelectedOverPopup = 3;
} // namespace

namespace sova {
UString ChannelModeItemText(int32_t channelMode) {
    switch (channelMode) {
    case -1: return Localize("$$$/sova/SovaMp2SettingsDialog/ChannelAuto=(Automatic)");
    case 3: return Localize("$$$/sova/SovaMp2SettingsDialog/ChannelMono=Mono");
    case 2: return Localize("$$$/sova/SovaMp2SettingsDialog/ChannelDual=Dual Mono");
    case 0: return Localize("$$$/sova/SovaMp2SettingsDialog/ChannelStereo=Stereo");
    case 1: return Localize("$$$/sova/SovaMp2SettingsDialog/ChannelJoint=Joint Stereo");
    default: return {};
    }
}

UString PsycModelItemText(int32_t pamType) {
    switch (pamType) {
    case -1: return Localize("$$$/sova/SovaMp2SettingsDialog/PAMNone=(None)");
    case 0: return Localize("$$$/sova/SovaMp2SettingsDialog/PAMFast=Fast");
    case 1: return Localize("$$$/sova/SovaMp2SettingsDialog/PAMstd1=Type I  (Standard)");
    case 2: return Localize("$$$/sova/SovaMp2SettingsDialog/PAMstd2=Type II (Standard)");
    case 3: return Localize("$$$/sova/SovaMp2SettingsDialog/PAMalt1=Type I  (Alternate)");
    case 4: return Localize("$$$/sova/SovaMp2SettingsDialog/PAMalt2=Type II (Alternate)");
    default: return {};
    }
}

UString EmphasisItemText(int32_t emphasisType) {
    switch (emphasisType) {
    case 0: return Localize("$$$/sova/SovaMp2SettingsDialog/EmphNone=No Emphasis");
    case 1: return ReplaceInString(Localize("$$$/sova/SovaMp2SettingsDialog/Emph50_15microSeconds=50/15 @0s"), u"\u00B5");
    case 3: return Localize("$$$/sova/SovaMp2SettingsDialog/EmphCCITT=CCITT J.17");
    default:
        return ReplaceInString(Localize("$$$/sova/SovaMp2SettingsDialog/EmphUnknown=Unknown Emphasis Type: @0"),
                               NumberToString(emphasisType));
    }
}

UString BitrateItemText(int32_t kbps, int32_t channels, int32_t sampleRate) {
    int32_t chosenRate = 0, rowBitrate = 0;
    ChooseSampleRate(kbps, channels, sampleRate, chosenRate, rowBitrate);
    return ReplaceInString(Localize("$$$/sova/SovaMp2SettingsDialog/BitRatePopup=@0 kbps (@1 Hz)"),
                           NumberToString(kbps), NumberToString(chosenRate));
}
} // namespace sova

SovaMp2SettingsDialog::SovaMp2SettingsDialog(sova::EncoderSettings& settings, int32_t channels, int32_t rate)
    : callerSettings(settings), workingSettings(settings), channelCount(channels), sampleRate(rate),
      channelModes{-1, 3, 2, 0, 1}, psycModels{-1, 0, 1, 2, 3, 4}, emphasisTypes{0, 1, 3} {}

template <class T>
std::shared_ptr<T> SovaMp2SettingsDialog::FindControl(const char* id) {
    std::shared_ptr<T> control = std::dynamic_pointer_cast<T>(dialog->GetNodeForID(id));
    if (!control)
        tsacore::config::ThrowError(1, "$$$/tsacore/utility/Error/InvalidTypeConversion=Invalid type conversion.",
                                    105, 21, true, {}, {}, {}, {});
    return control;
}

tsaui::ui::UI_NodeCallbackRef SovaMp2SettingsDialog::Bind(Handler handler) {
    return std::make_shared<tsaui::ui::UI_NodeCallback>([this, handler](const tsaui::ui::UI_NodeMessage& message) {
        const auto* changed = dynamic_cast<const UI_ControlChangedMessage*>(&message);
        if (!changed)
            tsacore::config::ThrowError(1, "$$$/tsacore/utility/Error/InvalidTypeConversion=Invalid type conversion.",
                                        105, 21, true, {}, {}, {}, {});
        (this->*handler)(*changed);
    });
}

int32_t SovaMp2SettingsDialog::PositionOf(const std::vector<int32_t>& values, int32_t value) {
    for (size_t i = 0; i < values.size(); ++i)
        if (values[i] == value)
            return static_cast<int32_t>(i);
    return static_cast<int32_t>(values.size());
}

int32_t SovaMp2SettingsDialog::EntryAt(const std::vector<int32_t>& values, int32_t position, int32_t fallback) {
    return position >= 0 && position < static_cast<int32_t>(values.size()) ? values[position] : fallback;
}

void SovaMp2SettingsDialog::FillPopup(UI_Popup& popup, const std::vector<int32_t>& values,
                                      UString (*itemText)(int32_t), int32_t selected) {
    popup.SetItemCheckStyle(true);
    for (int32_t value : values)
        popup.AddItem(itemText(value));
    popup.SetValue(PositionOf(values, selected));
}

bool SovaMp2SettingsDialog::Run(tsaui::ui::UI_WindowRef parentWindow) {
    // The archived dialog over the module's resources, titled in the user's language.
    tsaui::drawbot::SupplierInterface* supplier = hub::app::App::GetApp()->GetWorkspace()->GetDrawingSupplier();
    tsaui::utility::OS_ResourceManager* resources = GetResourceManager();
    const UString title = Localize("$$$/sova/SovaMp2SettingsDialog/TwoLameSettings=TwoLame MPEG Audio Layer II Settings");
    dialog = std::make_shared<tsaui::ui::UI_ArchivedDialog>(supplier, resources, "FormatOptions", title, parentWindow,
                                                            true, false, tsaui::ui::UI_Point{0.0f, 0.0f},
                                                            tsaui::ui::UI_NodeFactoryRef(), false);
    // The text naming the MPEG version and layer.
    mpegModeText = FindControl<UI_StaticText>("MpegModeDynamicTextID");
    // Channel mode: its items, the working copy's mode selected.
    channelModePopup = FindControl<UI_Popup>("ChannelModePopupID");
    channelModePopup->SetPopupType(kPopupTypeSelectedOverPopup);
    channelModePopup->NotifyWhenChanged(Bind(&SovaMp2SettingsDialog::OnChannelModeChanged));
    FillPopup(*channelModePopup, channelModes, &sova::ChannelModeItemText, workingSettings.GetChannelMode());
    // Bitrate: its items come once the channel mode and the other controls are set, below.
    bitratePopup = FindControl<UI_Popup>("ConstantBitratePopupID");
    bitratePopup->SetPopupType(kPopupTypeSelectedOverPopup);
    bitratePopup->NotifyWhenChanged(Bind(&SovaMp2SettingsDialog::OnBitrateChanged));
    bitratePopup->SetItemCheckStyle(true);
    // Advanced: closing shrinks the dialog; opening again (from the caller's flag, as the direct
    // call has just cleared the working copy's) grows it back.
    advancedSection = FindControl<UI_SectionView>("AdvancedSectionViewID");
    advancedSection->SetDisclosureTriangleWantsFocus(true);
    advancedSection->AddOpenedStateChangedCallback(std::make_shared<UI_SectionOpenedCallback>(
        [this](UI_SectionView& section) { OnAdvancedOpenedChanged(section); }));
    advancedSection->SetOpened(false);
    OnAdvancedOpenedChanged(*advancedSection);
    if (callerSettings.GetShowAdvanced())
        advancedSection->SetOpened(true);
    // The five header and bitstream flags, each checked from the working copy.
    const auto checkbox = [this](const char* id, bool checked) {
        auto box = FindControl<UI_Checkbox>(id);
        box->SetChecked(checked);
        box->NotifyWhenChanged(Bind(&SovaMp2SettingsDialog::OnSettingChanged));
        return box;
    };
    copyrightCheckbox = checkbox("CopyrightCheckboxID", workingSettings.GetCopy());
    originalCheckbox = checkbox("OriginalCheckboxID", workingSettings.GetOriginal());
    embedPeakCheckbox = checkbox("EmbedPeakCheckboxID", workingSettings.GetEnergy());
    crcCheckbox = checkbox("CRCCheckboxID", workingSettings.GetCRC());
    paddingCheckbox = checkbox("EnablePaddingCheckboxID", workingSettings.GetPaddingType() != 0);
    // De-emphasis: its items, the working copy's type selected.
    deEmphasisPopup = FindControl<UI_Popup>("DeEmphasisModelPopupID");
    deEmphasisPopup->SetPopupType(kPopupTypeSelectedOverPopup);
    deEmphasisPopup->NotifyWhenChanged(Bind(&SovaMp2SettingsDialog::OnSettingChanged));
    FillPopup(*deEmphasisPopup, emphasisTypes, &sova::EmphasisItemText, workingSettings.GetEmphasisType());
    // Psychoacoustic model: its items, the working copy's model selected.
    psycModelPopup = FindControl<UI_Popup>("PsycModelPopupID");
    psycModelPopup->SetPopupType(kPopupTypeSelectedOverPopup);
    psycModelPopup->NotifyWhenChanged(Bind(&SovaMp2SettingsDialog::OnSettingChanged));
    FillPopup(*psycModelPopup, psycModels, &sova::PsycModelItemText, workingSettings.GetPAMType());
    // The ATH adjustment in dB.
    athHotText = FindControl<UI_HotTextNumber>("AthHotTextID");
    athHotText->SetValue(static_cast<double>(workingSettings.GetATH()));
    athHotText->NotifyWhenChanged(Bind(&SovaMp2SettingsDialog::OnSettingChanged));
    // The working copy takes what the controls now show (and the ATH field its enabled state);
    // then the bitrates that the channel mode allows.
    const UI_ControlChangedMessage opening(*dialog);
    OnSettingChanged(opening);
    RebuildBitrateList();
    OnBitrateChanged(opening);
    // OK and Cancel end the modal run; the platform may swap their places.
    auto okButton = FindControl<UI_Button>("OKButtonID");
    auto cancelButton = FindControl<UI_Button>("CancelButtonID");
    dialog->SetOkButton(okButton);
    dialog->SetCancelButton(cancelButton);
    tsaui::ui::FlipNodePositionsOnMac(okButton, cancelButton);
    // The bitrate pop-up's presentation once more, now that its items are in.
    bitratePopup->SetPopupType(kPopupTypeSelectedOverPopup);
    // Only OK writes the working copy back.
    if (dialog->RunModal() != tsaui::ui::kDialogResultOK)
        return false;
    callerSettings = workingSettings;
    return true;
}

void SovaMp2SettingsDialog::RebuildBitrateList() {
    bitrates = channelCount == 1 ? kMonoBitrates : kStereoBitrates;
    while (bitratePopup->RemoveItem(0)) {
    }
    for (int32_t kbps : bitrates)
        bitratePopup->AddItem(sova::BitrateItemText(kbps, channelCount, sampleRate));
    int32_t selected = static_cast<int32_t>(bitrates.size()) - 1;
    for (size_t i = 0; i < bitrates.size(); ++i)
        if (bitrates[i] >= workingSettings.GetBitsPerSecond()) {
            selected = static_cast<int32_t>(i);
            break;
        }
    bitratePopup->SetValue(selected);
}

void SovaMp2SettingsDialog::OnBitrateChanged(const UI_ControlChangedMessage&) {
    if (workingSettings.GetCompressionType() == 0)
        workingSettings.SetBitsPerSecond(
            EntryAt(bitrates, bitratePopup->GetValue(), workingSettings.GetBitsPerSecond()));
    int32_t chosenRate = 0, rowBitrate = 0;
    sova::ChooseSampleRate(workingSettings.GetBitsPerSecond(), channelCount, sampleRate, chosenRate, rowBitrate);
    workingSettings.SetMPEGVersion(sova::IsMpeg1SampleRate(chosenRate) ? 1 : 0);
    mpegModeText->SetValue(workingSettings.GetMPEGVersion() == 1
                               ? Localize("$$$/sova/SovaMp2SettingsDialog/MPEG1Label=MPEG-1 Audio Layer II")
                               : Localize("$$$/sova/SovaMp2SettingsDialog/MPEG2Label=MPEG-2 LSF Audio Layer II"));
}

void SovaMp2SettingsDialog::OnChannelModeChanged(const UI_ControlChangedMessage& message) {
    workingSettings.SetChannelMode(
        EntryAt(channelModes, channelModePopup->GetValue(), workingSettings.GetChannelMode()));
    if (workingSettings.GetChannelMode() == 3)
        channelCount = 1;
    else if (workingSettings.GetChannelMode() != -1)
        channelCount = 2;
    RebuildBitrateList();
    OnBitrateChanged(message);
}

void SovaMp2SettingsDialog::OnSettingChanged(const UI_ControlChangedMessage&) {
    workingSettings.SetCopy(copyrightCheckbox->IsChecked());
    workingSettings.SetOriginal(originalCheckbox->IsChecked());
    workingSettings.SetEnergy(embedPeakCheckbox->IsChecked());
    workingSettings.SetCRC(crcCheckbox->IsChecked());
    workingSettings.SetPaddingType(paddingCheckbox->IsChecked() ? 1 : 0);
    // A stored value that its pop-up does not offer stays until the user picks an item.
    workingSettings.SetEmphasisType(
        EntryAt(emphasisTypes, deEmphasisPopup->GetValue(), workingSettings.GetEmphasisType()));
    workingSettings.SetPAMType(EntryAt(psycModels, psycModelPopup->GetValue(), workingSettings.GetPAMType()));
    const int32_t model = workingSettings.GetPAMType();
    if (model == 3 || model == 4) {
        athHotText->SetDisabled(false);
        workingSettings.SetATH(static_cast<float>(athHotText->GetValue()));
    } else {
        athHotText->SetDisabled(true);
    }
}

void SovaMp2SettingsDialog::OnAdvancedOpenedChanged(UI_SectionView& section) {
    const float width = dialog->GetWidth();
    float height = dialog->GetHeight();
    const float contentHeight = section.GetHeight() - section.GetHeaderHeight();
    if (section.GetOpened()) {
        workingSettings.SetShowAdvanced(true);
        height += contentHeight;
    } else {
        workingSettings.SetShowAdvanced(false);
        height -= contentHeight;
    }
    dialog->Resize(width, height);
}
