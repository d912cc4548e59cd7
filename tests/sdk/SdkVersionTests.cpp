// SPDX-License-Identifier: MIT
// The SDK version note: the built module carries this tree's version, and the reference host
// refuses a module whose version it cannot drive, before calling it.
#include <dlfcn.h>

#include <stdexcept>
#include <string>

#include <gtest/gtest.h>

#include <sova/ModuleVersion.h>

#include "module/HostModule.h"
#include "Process.h"

namespace {
std::string Text(const sova::sdk::SdkVersion& v) {
    return std::to_string(v.major) + "." + std::to_string(v.minor) + "." + std::to_string(v.patch);
}

std::optional<sova::sdk::SdkVersion> NoteOf(const char* path) {
    void* library = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    EXPECT_NE(library, nullptr) << dlerror();
    const auto version = sova::sdk::LoadedModuleSdkVersion(library);
    if (library) dlclose(library);
    return version;
}
} // namespace

TEST(SdkVersion, BuiltModuleSpeaksThisTreesVersionAndOtherObjectsNone) {
    const auto version = NoteOf(SOVA_MODULE_PATH);
    ASSERT_TRUE(version.has_value());
    EXPECT_EQ(Text(*version), Text(sova::sdk::kSdkVersion));
    EXPECT_FALSE(NoteOf(nullptr).has_value()); // this test program: no note, version unknown
    EXPECT_FALSE(sova::sdk::LoadedModuleSdkVersion(nullptr).has_value());
}

TEST(SdkVersion, HostDrivesSameMajorUpToItsOwnMinor) {
    const sova::sdk::SdkVersion ours = sova::sdk::kSdkVersion;
    EXPECT_THROW(sovahost::HostModule{SOVA_AHEAD_MAJOR_PATH}, std::runtime_error);
    EXPECT_THROW(sovahost::HostModule{SOVA_AHEAD_MINOR_PATH}, std::runtime_error);
    EXPECT_NO_THROW(sovahost::HostModule{SOVA_AHEAD_PATCH_PATH});
    EXPECT_TRUE(sova::sdk::HostSupports({ours.major, ours.minor + 1, 0}, ours)); // an older module
    EXPECT_FALSE(sova::sdk::HostSupports({ours.major + 1, ours.minor + 1, 0}, ours));
}

TEST(SdkVersion, SovaHostNamesBothVersionsWhenItRefusesAModule) {
    const std::string command = std::string("'") + SOVA_HOST_PATH + "' --module '" + SOVA_AHEAD_MAJOR_PATH + "' register 2>&1";
    const testsupport::ProcessRun run = testsupport::RunShell(command);
    const std::string& output = run.out;
    EXPECT_NE(run.ExitCode(), 0);
    const sova::sdk::SdkVersion ours = sova::sdk::kSdkVersion;
    const std::string expected = "speaks SDK " + Text({ours.major + 1, ours.minor, ours.patch}) +
                                 ", which this host (SDK " + Text(ours) + ") cannot drive";
    EXPECT_NE(output.find(expected), std::string::npos) << output;
    EXPECT_EQ(output.find("result:"), std::string::npos) << output; // no selector was sent
}
