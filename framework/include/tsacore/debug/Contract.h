// SPDX-License-Identifier: MIT
// Contract-violation support.
#pragma once

#include <cstdint>
#include <functional>

namespace tsacore::debug {
// Reports a failed contract (condition text, source path, line). True asks the caller to
// break into the debugger. The default reporter records nothing and answers false.
bool BreakAfterContractDialog(const char* condition, const char* sourcePath, int32_t line);
bool IsDebuggerAttached();

// Host side: see every failed contract.
using ContractReporter = std::function<bool(const char* condition, const char* sourcePath, int32_t line)>;
void SetContractReporter(ContractReporter reporter);
} // namespace tsacore::debug
