// SPDX-License-Identifier: MIT
// The one way the file layer opens a path for writing.
#pragma once

#include <cerrno>
#include <string>

#include <fcntl.h>

#include "Failure.h"

namespace tsacore::filesupport {
// open(2) with O_NOFOLLOW added: a symbolic link at the path (put there by someone else between
// two opens by name) is refused rather than followed, so bytes never land outside the path asked
// for. Returns the descriptor; raises file_exception naming operation on failure.
inline int OpenForWriting(const std::string& path, int flags, const char* operation)
{
    const int fd = ::open(path.c_str(), flags | O_NOFOLLOW, 0666);
    if (fd >= 0)
        return fd;
    const int error = errno;
    if (error == ELOOP)
        throw file_exception(std::string(operation) + " \"" + path +
                                 "\": it is a symbolic link, which is not followed for writing",
                             error);
    Fail(operation, path, error);
}
} // namespace tsacore::filesupport
