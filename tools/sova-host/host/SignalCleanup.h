// SPDX-License-Identifier: MIT
// What happens when a signal would end sova-host: its temporary files go, the child processes
// it started (convert) are stopped and waited for, and it ends with 128 + the signal. SIGPIPE
// and SIGXFSZ are ignored, so that a closed pipe or a file-size limit is an error from write()
// (EPIPE, EFBIG), reported like any other failure. The lists here are fixed arrays the handler
// walks without allocating.
#pragma once

#include <signal.h>

#include <string>

namespace sovahost {
// Installs the handlers and ignores SIGPIPE and SIGXFSZ; safe to call more than once.
void InstallInterruptCleanup();

// The signals the handler catches (every signal whose default action ends the process), held
// back while an object lives, so that no file is created without being listed for removal.
class SignalsHeld {
public:
    SignalsHeld();
    ~SignalsHeld();
    SignalsHeld(const SignalsHeld&) = delete;
    SignalsHeld& operator=(const SignalsHeld&) = delete;
    // Lets them through again now, e.g. in a forked child before exec (the mask is inherited).
    void Restore() const;
private:
    sigset_t previous_;
};

// Lists a file and the folder holding it for removal by the handler (file first, then the
// folder if empty); returns the slot, or -1 when the paths are too long or the list is full.
int ListForRemoval(const std::string& folder, const std::string& file);
void UnlistForRemoval(int slot); // -1 is ignored

// A child process the handler sends the same signal to and waits for.
void ListChild(pid_t pid);
void UnlistChild(pid_t pid);

// fork() for a child that ends with this process: in the child (0 returned) the parent's death
// sends it deathSignal (also when the parent was already gone), the parent's cleanup lists are
// emptied and signals let through; in the parent the child is listed (ListChild). -1 on failure.
pid_t ForkChildEndingWithParent(int deathSignal);

// In a forked child before exec: empties both lists, which are the parent's, so that a signal
// there touches neither the parent's files nor its other children.
void ForgetParentsCleanup();
} // namespace sovahost
