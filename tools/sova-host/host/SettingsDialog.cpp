// SPDX-License-Identifier: MIT
#include "host/SettingsDialog.h"

#include <exception>

#include <hub/app/App.h>
#include <tsacore/config/Error.h>

namespace sovahost {
int RunSettingsDialog(const HostModule& module, AudioFormat& format, std::string* error) {
    hub::app::App* app = hub::app::App::GetApp();
    const int64_t window = app->OpenMainWindow(u"sova-host", 480, 320);
    DialogRequest request;
    request.sink = format.sink;
    request.format = &format;
    request.parentWindow = static_cast<int32_t>(window);
    int outcome = kDialogFailed;
    try {
        const int32_t result = module.Call(sova::sdk::kSelectorShowSettingsDialog, nullptr, &request);
        if (result != sova::sdk::kResultOK) {
            if (error) *error = "the plug-in answered " + std::to_string(result) + " to the settings dialog request";
        } else if (!request.cancelledSet) {
            if (error) *error = "the plug-in did not say whether the dialog was cancelled";
        } else {
            outcome = request.cancelled ? kDialogCancelled : kDialogConfirmed;
        }
    } catch (const tsacore::config::Error& failure) {
        // The framework's errors (a broken layout, a contract violation) leave the plug-in.
        if (error) *error = ToUtf8(failure.Message());
    } catch (const std::exception& failure) {
        if (error) *error = failure.what();
    }
    app->CloseMainWindow(window);
    return outcome;
}
} // namespace sovahost
