// SPDX-License-Identifier: MIT
// The drawing supplier: dialogs here draw through Qt, so the supplier only stands for the
// toolkit's drawing source and keeps count of itself.
#include <tsaui/drawbot/Supplier.h>

#include <atomic>

namespace tsaui::drawbot {
namespace {
std::atomic<uint64_t> sLive{0};
std::atomic<uint64_t> sCreated{0};

class OSSupplier final : public SupplierInterface {};
} // namespace

SupplierInterface::SupplierInterface() {
    ++sLive;
    ++sCreated;
}

SupplierInterface::~SupplierInterface() { --sLive; }

uint64_t SupplierInterface::LiveCount() { return sLive; }
uint64_t SupplierInterface::CreatedCount() { return sCreated; }

SupplierInterface* NewOSSupplier() { return new OSSupplier; }
} // namespace tsaui::drawbot
