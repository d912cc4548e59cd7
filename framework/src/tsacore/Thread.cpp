// SPDX-License-Identifier: MIT
#include <tsacore/threads/Thread.h>

#include <sys/syscall.h>
#include <unistd.h>

namespace tsacore::threads {
uint64_t GetCurrentThreadID()
{
    return static_cast<uint64_t>(::syscall(SYS_gettid));
}
} // namespace tsacore::threads
