// SPDX-License-Identifier: MIT
// The drawing supplier: the toolkit's source of drawing surfaces for dialogs.
#pragma once

#include <cstdint>

namespace tsaui::drawbot {
class SupplierInterface {
public:
    virtual ~SupplierInterface();
    static uint64_t LiveCount();    // suppliers alive now
    static uint64_t CreatedCount(); // suppliers made since the process started
protected:
    SupplierInterface();
};
SupplierInterface* NewOSSupplier(); // caller owns the result
} // namespace tsaui::drawbot
