// SPDX-License-Identifier: MIT
// The version of the protocol these headers describe. CMake reads the three numbers below for
// the SovaSdk package and sova-sdk.pc, so this is the one place to change them.
// A host drives a module when both have the same major version and the module's minor version
// is not newer than the host's (a minor version only adds; a major version breaks).
#pragma once

#include <cstdint>

#define SOVA_SDK_VERSION_MAJOR 1
#define SOVA_SDK_VERSION_MINOR 0
#define SOVA_SDK_VERSION_PATCH 0

namespace sova::sdk {
struct SdkVersion {
    uint32_t major;
    uint32_t minor;
    uint32_t patch;
};

inline constexpr SdkVersion kSdkVersion{SOVA_SDK_VERSION_MAJOR, SOVA_SDK_VERSION_MINOR, SOVA_SDK_VERSION_PATCH};

// True when a host built with hostVersion can drive a module built with moduleVersion.
constexpr bool HostSupports(SdkVersion hostVersion, SdkVersion moduleVersion) {
    return hostVersion.major == moduleVersion.major && moduleVersion.minor <= hostVersion.minor;
}
} // namespace sova::sdk
