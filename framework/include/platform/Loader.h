// SPDX-License-Identifier: MIT
// Stand-in for the Windows loader calls. Windows file names are mapped onto this platform's
// libraries ("libmpg123.dll" -> "libmpg123.so", "libmpg123-0.dll" -> "libmpg123.so.0",
// "twolame.dll" -> "libtwolame.so", "twolameD.dll" -> "libtwolame.so.0"; any other "X.dll"
// -> "X.so"), then looked for in the folders the host configured, in order, and only then
// through the system's own search.
#pragma once

#include <string>
#include <vector>

namespace platform {
using ModuleHandle = void*;

ModuleHandle LoadLibraryW(const char16_t* fileName); // null on failure
bool FreeLibrary(ModuleHandle module);

// Host configuration. With searchSystem false, only the configured folders are searched,
// so a host can offer fake libraries or none at all.
void SetLibrarySearchFolders(const std::vector<std::string>& folders, bool searchSystem = true);
// The name LoadLibraryW looks for, after mapping ("libmpg123.dll" -> "libmpg123.so").
std::string MapLibraryName(const std::u16string& windowsName);
// Path of the file a loaded module came from ("" when unknown).
std::string ModuleFilePath(ModuleHandle module);
// Why the calling thread's last LoadLibraryW call failed ("" when it succeeded).
std::string LastLoadError();
} // namespace platform
