// SPDX-License-Identifier: MIT
// A file named by a UTF-16 path (stored as UTF-8 for the system calls).
#pragma once

#include <cstdint>

#include <tsacore/String.h>

namespace tsacore::filesupport {
class File {
public:
    explicit File(const UString& path);

    const UString& Path() const { return path_; }
    const ByteString& NativePath() const { return nativePath_; }

    bool Exists() const;                 // true for anything at the path, a folder included
    void Delete();                       // file_exception when it cannot be removed
    // Creates an empty regular file; file_exception when that fails or, with
    // failIfExists, when something is already there.
    void Create(bool failIfExists);
    uint64_t Size(int32_t selector) const; // selector 0: bytes of the file; file_exception when absent
    // The text after the last "." of the file name ("" when none); with the dot when withDot.
    UString GetExtension(bool withDot) const;
private:
    UString path_;
    ByteString nativePath_;
};
} // namespace tsacore::filesupport
