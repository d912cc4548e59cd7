// SPDX-License-Identifier: MIT
// Each sova-host subcommand registers itself on the application, its options in a struct of its
// own held by the callback, and runs through RunsAs (RunCommand.h).
#pragma once

#include <CLI/CLI.hpp>

#include "module/HostModule.h"

namespace sovahost {
void RegisterPreferredCommand(CLI::App& app, HostOptions& options); // cmd_preferred.cpp
void RegisterRegisterCommand(CLI::App& app, HostOptions& options);  // cmd_register.cpp
void RegisterConformCommand(CLI::App& app, HostOptions& options);   // cmd_conform.cpp
void RegisterInfoCommand(CLI::App& app, HostOptions& options);      // cmd_info.cpp
void RegisterDecodeCommand(CLI::App& app, HostOptions& options);    // cmd_decode.cpp
void RegisterEncodeCommand(CLI::App& app, HostOptions& options);    // cmd_encode.cpp
void RegisterConvertCommand(CLI::App& app, HostOptions& options);   // cmd_convert.cpp
void RegisterSettingsCommand(CLI::App& app, HostOptions& options);  // cmd_settings.cpp
void RegisterCleanCommand(CLI::App& app, HostOptions& options);     // cmd_clean.cpp
void RegisterCheckCommand(CLI::App& app, HostOptions& options);     // cmd_check.cpp
void RegisterStartupCommand(CLI::App& app, HostOptions& options);   // cmd_startup.cpp
} // namespace sovahost
