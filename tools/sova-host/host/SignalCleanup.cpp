// SPDX-License-Identifier: MIT
#include "host/SignalCleanup.h"

#include <sys/wait.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <vector>

namespace sovahost {
namespace {
// A slot's paths are written before it is marked in use, and unmarked before it is reused.
constexpr int kSlots = 16;
char gFolders[kSlots][PATH_MAX];
char gFiles[kSlots][PATH_MAX];
volatile sig_atomic_t gInUse[kSlots];

constexpr int kMaxChildren = 256;
volatile sig_atomic_t gChildren[kMaxChildren]; // 0: free

struct sigaction gPrevious[NSIG];

// Signals that report a fault of the process itself: after cleaning up, the process still dies
// of them (a core dump, a sanitizer's report) instead of exiting.
bool IsFault(int signal) {
    return signal == SIGILL || signal == SIGTRAP || signal == SIGABRT || signal == SIGBUS || signal == SIGFPE ||
           signal == SIGSEGV || signal == SIGSYS;
}

// Every signal whose default action ends the process, except SIGKILL (which cannot be caught)
// and SIGPIPE and SIGXFSZ (ignored).
const std::vector<int>& CaughtSignals() {
    static const std::vector<int> signals = [] {
        std::vector<int> list{SIGHUP,  SIGINT,    SIGQUIT, SIGILL,  SIGTRAP, SIGABRT, SIGBUS,
                              SIGFPE,  SIGUSR1,   SIGSEGV, SIGUSR2, SIGALRM, SIGTERM, SIGSTKFLT,
                              SIGXCPU, SIGVTALRM, SIGPROF, SIGIO,   SIGPWR,  SIGSYS};
        for (int signal = SIGRTMIN; signal <= SIGRTMAX; ++signal) list.push_back(signal);
        return list;
    }();
    return signals;
}

sigset_t CaughtSet() {
    sigset_t set;
    sigemptyset(&set);
    for (int signal : CaughtSignals()) sigaddset(&set, signal);
    return set;
}

void RemoveListed() {
    for (int slot = 0; slot < kSlots; ++slot)
        if (gInUse[slot]) {
            unlink(gFiles[slot]);
            rmdir(gFolders[slot]);
        }
}

extern "C" void EndBySignal(int signal) {
    const int saved = errno;
    RemoveListed();
    // Children end too, stopped ones included, and are waited for: their own handlers remove
    // their files before convert reports the signal.
    const int forChildren = IsFault(signal) ? SIGTERM : signal;
    for (int i = 0; i < kMaxChildren; ++i)
        if (gChildren[i] > 0) {
            kill(static_cast<pid_t>(gChildren[i]), forChildren);
            kill(static_cast<pid_t>(gChildren[i]), SIGCONT);
        }
    for (int i = 0; i < kMaxChildren; ++i)
        if (gChildren[i] > 0) waitpid(static_cast<pid_t>(gChildren[i]), nullptr, 0);
    // Again once they are gone: a child may have made its file anew (a writer deletes and creates
    // it) after the first pass, keeping the folder from going.
    RemoveListed();
    if (IsFault(signal)) {
        // Raised again under the previous disposition once this handler returns (the signal is
        // blocked until then); a fault re-executes the faulting instruction all the same.
        sigaction(signal, &gPrevious[signal], nullptr);
        raise(signal);
        errno = saved;
        return;
    }
    _exit(128 + signal);
}
} // namespace

void InstallInterruptCleanup() {
    static bool installed = false;
    if (installed) return;
    installed = true;
    signal(SIGPIPE, SIG_IGN);
    signal(SIGXFSZ, SIG_IGN);
    struct sigaction action {};
    action.sa_handler = EndBySignal;
    action.sa_mask = CaughtSet();
    for (int signal : CaughtSignals()) {
        sigaction(signal, nullptr, &gPrevious[signal]);
        // A signal ignored by whoever started sova-host (nohup, a background job) stays ignored.
        if (gPrevious[signal].sa_handler != SIG_IGN) sigaction(signal, &action, nullptr);
    }
}

SignalsHeld::SignalsHeld() {
    const sigset_t caught = CaughtSet();
    sigprocmask(SIG_BLOCK, &caught, &previous_);
}

SignalsHeld::~SignalsHeld() { Restore(); }

void SignalsHeld::Restore() const { sigprocmask(SIG_SETMASK, &previous_, nullptr); }

int ListForRemoval(const std::string& folder, const std::string& file) {
    if (folder.size() >= PATH_MAX || file.size() >= PATH_MAX) return -1;
    for (int slot = 0; slot < kSlots; ++slot)
        if (!gInUse[slot]) {
            std::memcpy(gFolders[slot], folder.c_str(), folder.size() + 1);
            std::memcpy(gFiles[slot], file.c_str(), file.size() + 1);
            std::atomic_signal_fence(std::memory_order_seq_cst);
            gInUse[slot] = 1;
            return slot;
        }
    return -1;
}

void UnlistForRemoval(int slot) {
    if (slot >= 0 && slot < kSlots) gInUse[slot] = 0;
}

void ListChild(pid_t pid) {
    for (int i = 0; i < kMaxChildren; ++i)
        if (gChildren[i] == 0) {
            gChildren[i] = pid;
            return;
        }
}

void UnlistChild(pid_t pid) {
    for (int i = 0; i < kMaxChildren; ++i)
        if (gChildren[i] == pid) gChildren[i] = 0;
}

void ForgetParentsCleanup() {
    for (int slot = 0; slot < kSlots; ++slot) gInUse[slot] = 0;
    for (int i = 0; i < kMaxChildren; ++i) gChildren[i] = 0;
}
pid_t ForkChildEndingWithParent(int deathSignal) {
    const pid_t parent = getpid();
    const SignalsHeld held; // a signal to the parent reaches every child it has started
    const pid_t pid = fork();
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, deathSignal);
        if (getppid() != parent) _exit(128 + deathSignal); // the parent went before prctl took effect
        ForgetParentsCleanup();
        held.Restore();
        return 0;
    }
    if (pid > 0) ListChild(pid);
    return pid;
}
} // namespace sovahost
