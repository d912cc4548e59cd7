// SPDX-License-Identifier: MIT
// The module's instance and the UI resources built on it: the resource manager, the drawing
// supplier and the image provider. The instance is recorded when the module is loaded; the
// other objects are created at registration (SetUpModuleResources) and released at shut-down
// (ReleaseModuleResources), the drawing supplier at the latest when the module is unloaded.
#pragma once

#include <platform/Loader.h>
#include <tsaui/drawbot/Supplier.h>
#include <tsaui/utility/OS_ResourceManager.h>

// The loaded module itself; null until process attach and after process detach.
extern platform::ModuleHandle sDLLInstance;

// Contract: sDLLInstance != 0. Creates the resource manager on the module instance.
void InitializeModule();
// Contract: sResourceManager != 0.
tsaui::utility::OS_ResourceManager* GetResourceManager();
// Contract: sResourceManager != 0. Destroys the resource manager.
void TerminateModule();

// The kept drawing supplier, created on first use.
tsaui::drawbot::SupplierInterface* GetDrawingSupplier();
// Creates and keeps the image provider over GetResourceManager() and GetDrawingSupplier().
void CreateImageProvider();

// InitializeModule, then CreateImageProvider (registration).
void SetUpModuleResources();
// Destroys the image provider, then TerminateModule, then destroys the drawing supplier (shut-down).
void ReleaseModuleResources();
