// SPDX-License-Identifier: MIT
// Private folders (see TempFile.h) whose process has ended without removing them: what a
// kill -9, a power cut or a crash leaves. A folder is a leftover only when it belongs to this
// user, the process named in it is gone and its lock is free; a running sova-host's folder
// never is, whoever runs it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sovahost {
// "<folder>/.sova-host-<this process>-XXXXXX", for mkdtemp.
std::string PrivateFolderPattern(const std::string& folder);

struct Leftover {
    std::string name;            // the private folder's name in the folder searched
    std::vector<std::string> files; // what it holds, by name
    uintmax_t bytes = 0;
};
// The leftovers in folder, by name; none when it cannot be read.
std::vector<Leftover> FindLeftovers(const std::string& folder);

// Names the leftovers of folder on stderr in one warning line with the command that removes
// them; each folder once per process.
void WarnAboutLeftovers(const std::string& folder);

// Removes the leftovers of folder and says what went, on stdout;
// returns how many could not be removed.
int RemoveLeftovers(const std::string& folder);
} // namespace sovahost
