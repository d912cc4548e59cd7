// SPDX-License-Identifier: MIT
// Raised by every failing file operation.
#pragma once

#include <stdexcept>
#include <string>

namespace tsacore::filesupport {
class file_exception : public std::runtime_error {
public:
    file_exception(const std::string& what, int errorNumber) : std::runtime_error(what), errorNumber_(errorNumber) {}
    int ErrorNumber() const { return errorNumber_; } // errno of the failing call
private:
    int errorNumber_;
};
} // namespace tsacore::filesupport
