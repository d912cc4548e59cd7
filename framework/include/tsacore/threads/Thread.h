// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>

namespace tsacore::threads {
uint64_t GetCurrentThreadID(); // the kernel's id of the calling thread
} // namespace tsacore::threads
