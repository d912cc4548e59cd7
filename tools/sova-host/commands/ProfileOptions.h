// SPDX-License-Identifier: MIT
// --profile on encode and convert: the option, `--profile list`, and a delivery profile applied to
// encode's options (what it sets filled in, what contradicts it refused).
#pragma once

#include <string>

#include <CLI/CLI.hpp>

#include "cmd_encode.h"
#include "host/DeliveryProfiles.h"

namespace sovahost {
// Adds --profile NAME to a command. `--profile list` prints every profile with the source of each
// value and ends the run with status 0.
void AddProfileOption(CLI::App& command, std::string& profile);
// The profile options.profile names (nullptr for none), with its CRC, container, loudness target
// and true-peak ceiling (the lower of the profile's and the one typed) filled into options. outPath
// (empty for convert, whose output names follow --container) tells the container a name asks for. Throws a
// usage error (CommandFailure, status 2) naming every option or settings entry that contradicts it.
const DeliveryProfile* ApplyDeliveryProfile(EncodeOptions& options, const std::string& outPath);
} // namespace sovahost
