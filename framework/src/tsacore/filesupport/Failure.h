// SPDX-License-Identifier: MIT
// Raising file_exception for a failed system call on a path.
#pragma once

#include <cstring>
#include <string>

#include <tsacore/filesupport/FileException.h>

namespace tsacore::filesupport {
inline std::string DescribeFailure(const char* operation, const std::string& path, int errorNumber)
{
    return std::string(operation) + " \"" + path + "\": " + std::strerror(errorNumber);
}

[[noreturn]] inline void Fail(const char* operation, const std::string& path, int errorNumber)
{
    throw file_exception(DescribeFailure(operation, path, errorNumber), errorNumber);
}
} // namespace tsacore::filesupport
