// SPDX-License-Identifier: MIT
#include <tsacore/debug/Contract.h>

#include <fstream>
#include <mutex>
#include <string>

namespace tsacore::debug {
namespace {
std::mutex& ReporterMutex()
{
    static std::mutex mutex;
    return mutex;
}

ContractReporter& Reporter()
{
    static ContractReporter reporter;
    return reporter;
}
} // namespace

bool BreakAfterContractDialog(const char* condition, const char* sourcePath, int32_t line)
{
    ContractReporter reporter;
    {
        std::lock_guard lock(ReporterMutex());
        reporter = Reporter();
    }
    if (!reporter)
        return false;
    return reporter(condition != nullptr ? condition : "", sourcePath != nullptr ? sourcePath : "", line);
}

bool IsDebuggerAttached()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.compare(0, 10, "TracerPid:") == 0) {
            try {
                return std::stol(line.substr(10)) != 0;
            } catch (const std::exception&) {
                return false;
            }
        }
    }
    return false;
}

void SetContractReporter(ContractReporter reporter)
{
    std::lock_guard lock(ReporterMutex());
    Reporter() = std::move(reporter);
}
} // namespace tsacore::debug
