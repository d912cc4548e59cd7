// SPDX-License-Identifier: MIT
// sova-host settings: shows the plug-in's encoder settings dialog (selector 15) over a host
// window and prints the settings text the user confirmed. Exit status 0 after OK, 1 after
// Cancel, 2 on failure. With --png it takes a picture of the open dialog instead, then cancels.
#include <cstdio>

#include <fmt/core.h>
#include <tsaui/controls/UI_SectionView.h>
#include <tsaui/ui/UI_Automation.h>
#include <hub/app/App.h>

#include "Commands.h"
#include "RunCommand.h"
#include "module/ReadSession.h"
#include "host/SettingsDialog.h"

namespace sovahost {
namespace {
struct SettingsOptions {
    int32_t rate = 44100;
    int32_t channels = 2;
    std::string settings;
    std::string png;
    bool advanced = false;
};
} // namespace

void RegisterSettingsCommand(CLI::App& app, HostOptions& options) {
    auto settings = std::make_shared<SettingsOptions>();
    CLI::App* command = app.add_subcommand("settings", "Edit encoder settings in the plug-in's dialog");
    command->add_option("--rate", settings->rate, "Sample rate of the audio to save (Hz)")->capture_default_str();
    command->add_option("--channels", settings->channels, "Channel count of the audio to save")->capture_default_str();
    command->add_option("--settings", settings->settings, "Settings text to start from (default: empty)");
    command->add_option("--png", settings->png, "Save a picture of the open dialog to this PNG file and cancel");
    command->add_flag("--advanced", settings->advanced, "Open the dialog's Advanced section");
    // Exit status 2 on failure, not 1: 1 is Cancel.
    RunsAs(*command, options, [&options, settings] {
        namespace automation = tsaui::ui::automation;
        constexpr int kFailed = 2;
        if (settings->png.empty() && hub::app::App::IsOffscreen())
            throw CommandFailure("no display to show the dialog on (set DISPLAY, or use --png)", kFailed);
        StartedModule module(options);
        AudioFormat format;
        format.sink = &module.Sink();
        format.sampleRate = settings->rate;
        format.channelCount = settings->channels;
        format.settingsText = FromUtf8(settings->settings);

        bool pictureSaved = false;
        if (!settings->png.empty())
            automation::SetModalRunObserver([&](tsaui::ui::UI_Dialog& dialog) {
                auto* archived = dynamic_cast<tsaui::ui::UI_ArchivedDialog*>(&dialog);
                auto section = archived ? std::dynamic_pointer_cast<tsaui::controls::UI_SectionView>(
                                              archived->GetNodeForID("AdvancedSectionViewID"))
                                        : nullptr;
                if (settings->advanced && section && !section->GetOpened())
                    automation::Click(*section); // as the user would: the disclosure triangle
                pictureSaved = automation::SavePicture(dialog, settings->png);
                automation::PressEscape(dialog);
            });
        else if (settings->advanced)
            format.settingsText = u"ShowAdvanced:0:1;" + format.settingsText; // the first entry of a key wins

        std::string error;
        const int outcome = RunSettingsDialog(module.Module(), format, &error);
        automation::SetModalRunObserver({});
        if (outcome == kDialogFailed) throw CommandFailure(error, kFailed);
        if (!settings->png.empty()) {
            if (!pictureSaved) throw CommandFailure("cannot write " + settings->png, kFailed);
            fmt::print("picture: {}\n", settings->png);
            return 0;
        }
        if (outcome == kDialogCancelled) {
            fmt::print(stderr, "cancelled\n");
            return 1;
        }
        fmt::print("{}\n", ToUtf8(format.settingsText));
        return 0;
    });
}
} // namespace sovahost
