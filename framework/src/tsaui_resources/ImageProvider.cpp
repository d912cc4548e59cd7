// SPDX-License-Identifier: MIT
#include <uit/ImageProvider.h>

#include <atomic>

namespace uit {
namespace {
std::atomic<uint64_t> sLive{0};
std::atomic<uint64_t> sCreated{0};
} // namespace

ImageProvider::ImageProvider(tsaui::utility::OS_ResourceManager* resources,
                             tsaui::drawbot::SupplierInterface* supplier)
    : resources_(resources), supplier_(supplier) {
    ++sLive;
    ++sCreated;
}

ImageProvider::~ImageProvider() { --sLive; }

uint64_t ImageProvider::LiveCount() { return sLive; }
uint64_t ImageProvider::CreatedCount() { return sCreated; }
} // namespace uit
