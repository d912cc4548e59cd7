// SPDX-License-Identifier: MIT
// One output of a command, written in a private folder in the destination folder (TempFile.h)
// and moved into place, synced to the disk, only when the whole job has succeeded. Before
// anything is created it refuses a path that is not UTF-8 (the module takes UTF-16 paths,
// converted from UTF-8), a path that is one of the command's inputs (same device and inode,
// whatever the name), and an existing file unless overwriting was asked for. "-" stands for standard output.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "host/TempFile.h"

namespace sovahost {
// Throws std::runtime_error naming the path when it is not valid UTF-8.
void RequireUtf8Path(const std::string& path);

class OutputFile {
public:
    OutputFile(std::string finalPath, bool overwrite, const std::vector<std::string>& inputs);

    const std::string& FinalPath() const { return final_; }
    bool ToStandardOutput() const { return final_ == "-"; }
    // Where the job writes; it may delete and recreate the file there.
    const std::string& WorkPath() const { return temp_->Path(); }
    // The final path in place of the temporary one, e.g. in a message from the module.
    std::string Unmasked(std::string text) const;
    // Syncs the file, renames it into place (never over an existing file unless overwriting) and
    // syncs the folder, or copies it to standard output; throws std::runtime_error when it
    // cannot, the temporary file then removed.
    void Commit();
private:
    std::string final_;
    bool overwrite_;
    std::unique_ptr<TempFile> temp_;
};
} // namespace sovahost
