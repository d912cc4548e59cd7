// SPDX-License-Identifier: MIT
// Images for dialogs, found through a module's resource manager.
#pragma once

#include <cstdint>

#include <tsaui/drawbot/Supplier.h>
#include <tsaui/utility/OS_ResourceManager.h>

namespace uit {
class ImageProvider {
public:
    // Neither argument is owned; both must outlive the provider.
    ImageProvider(tsaui::utility::OS_ResourceManager* resources, tsaui::drawbot::SupplierInterface* supplier);
    virtual ~ImageProvider();
    static uint64_t LiveCount();    // image providers alive now
    static uint64_t CreatedCount(); // image providers made since the process started
private:
    tsaui::utility::OS_ResourceManager* resources_;
    tsaui::drawbot::SupplierInterface* supplier_;
};
} // namespace uit
