// SPDX-License-Identifier: MIT
#include "Common/Module/private/win/Module_WIN.h"

#include <dlfcn.h>

#include <csignal>
#include <cstdlib>

#include <tsacore/config/Error.h>
#include <tsacore/debug/Contract.h>
#include <uit/ImageProvider.h>

platform::ModuleHandle sDLLInstance = nullptr;

namespace {
tsaui::utility::OS_ResourceManager* sResourceManager = nullptr;
tsaui::drawbot::SupplierInterface* sDrawingSupplier = nullptr;
uit::ImageProvider* sImageProvider = nullptr;

constexpr const char* kUnitPath = "Common/Module/private/win/Module_WIN";

void CheckContract(bool condition, const char* conditionText, int32_t line) {
    if (condition)
        return;
    if (tsacore::debug::BreakAfterContractDialog(conditionText, kUnitPath, line) &&
        tsacore::debug::IsDebuggerAttached())
        std::raise(SIGTRAP);
    const tsacore::config::ReplacementValue none;
    tsacore::config::ThrowError(
        0, "$$$/tsacore/utility/Error/Contract/InputContractViolation=An input contract violation has occurred!", 105,
        25, true, none, none, none, none);
}

template <class T> void Destroy(T*& object) {
    delete object;
    object = nullptr;
}

// Exit hook: runs when the process exits or the module is unloaded (registered from inside
// the module, so the C library ties it to the module's lifetime).
void ReleaseDrawingSupplierAtExit() { Destroy(sDrawingSupplier); }

// The module's entry point for process attach and detach.
enum ModuleNotification { kProcessDetach = 0, kProcessAttach = 1, kThreadAttach = 2, kThreadDetach = 3 };
bool ModuleMain(platform::ModuleHandle instance, ModuleNotification reason) {
    if (reason == kProcessAttach) {
        sDLLInstance = instance;
        std::atexit(ReleaseDrawingSupplierAtExit);
    } else if (reason == kProcessDetach) {
        sDLLInstance = nullptr;
    }
    return true;
}

// The loaded module itself: the handle of the file this code came from. The reference taken
// by the look-up is given back at once so that the module can still be unloaded.
platform::ModuleHandle OwnModuleHandle() {
    Dl_info info{};
    if (!dladdr(reinterpret_cast<void*>(&OwnModuleHandle), &info) || !info.dli_fname)
        return nullptr;
    void* handle = dlopen(info.dli_fname, RTLD_LAZY | RTLD_NOLOAD);
    if (!handle)
        handle = dlopen(nullptr, RTLD_LAZY); // linked into a program: the program itself
    if (handle)
        dlclose(handle);
    return handle;
}

__attribute__((constructor)) void ModuleAttach() { ModuleMain(OwnModuleHandle(), kProcessAttach); }
__attribute__((destructor)) void ModuleDetach() { ModuleMain(sDLLInstance, kProcessDetach); }
} // namespace

void InitializeModule() {
    CheckContract(sDLLInstance != 0, "sDLLInstance != 0", 50);
    sResourceManager = new tsaui::utility::OS_ResourceManager(sDLLInstance);
}

tsaui::utility::OS_ResourceManager* GetResourceManager() {
    CheckContract(sResourceManager != 0, "sResourceManager != 0", 44);
    return sResourceManager;
}

void TerminateModule() {
    CheckContract(sResourceManager != 0, "sResourceManager != 0", 57);
    Destroy(sResourceManager);
}

tsaui::drawbot::SupplierInterface* GetDrawingSupplier() {
    if (!sDrawingSupplier)
        sDrawingSupplier = tsaui::drawbot::NewOSSupplier();
    return sDrawingSupplier;
}

void CreateImageProvider() { sImageProvider = new uit::ImageProvider(GetResourceManager(), GetDrawingSupplier()); }

void SetUpModuleResources() {
    // A second selector 0 without a selector 2 between: the first resources are let go, not leaked.
    Destroy(sImageProvider);
    Destroy(sResourceManager);
    InitializeModule();
    CreateImageProvider();
}

void ReleaseModuleResources() {
    Destroy(sImageProvider);
    TerminateModule();
    Destroy(sDrawingSupplier);
}
