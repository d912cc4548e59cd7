// SPDX-License-Identifier: MIT
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <platform/Loader.h>
#include <tsacore/utility/ModuleSymbols.h>

#include "TestSupport.h"

using platform::LoadLibraryW;
using tsacore::utility::GetFunctionPointerFromModuleImpl;

namespace {
void PlaceFake(const TempFolder& folder, const std::string& name, const char* original = SOVA_FAKE_CODEC_PATH)
{
    std::filesystem::copy_file(original, folder / name);
}

bool IsFake(platform::ModuleHandle module)
{
    using Identity = const char* (*)();
    auto identity = reinterpret_cast<Identity>(GetFunctionPointerFromModuleImpl(module, "fake_codec_identity"));
    return identity != nullptr && std::string(identity()) == "fake codec";
}

class Loader : public ::testing::Test {
protected:
    void TearDown() override { platform::SetLibrarySearchFolders({}, true); }
};
} // namespace

TEST_F(Loader, ConfiguredFoldersComeFirstUnderTheMappedNames)
{
    EXPECT_EQ(platform::MapLibraryName(u"twolameD.dll"), "libtwolame.so.0");
    EXPECT_EQ(platform::MapLibraryName(u"LIBMPG123.DLL"), "libmpg123.so"); // Windows ignores case

    TempFolder first, second;
    PlaceFake(first, "libtwolame.so");
    PlaceFake(second, "libtwolame.so");
    PlaceFake(second, "libmpg123.so");
    platform::SetLibrarySearchFolders({first.Path().string(), second.Path().string() + "/"}, true);
    platform::ModuleHandle twolame = LoadLibraryW(u"twolame.dll");
    ASSERT_TRUE(IsFake(twolame));
    EXPECT_EQ(platform::ModuleFilePath(twolame), first / "libtwolame.so");
    platform::ModuleHandle mpg123 = LoadLibraryW(u"libmpg123.dll");
    EXPECT_EQ(platform::ModuleFilePath(mpg123), second / "libmpg123.so");
    EXPECT_TRUE(platform::FreeLibrary(twolame));
    EXPECT_TRUE(platform::FreeLibrary(mpg123));
    EXPECT_FALSE(platform::FreeLibrary(nullptr));
    EXPECT_EQ(LoadLibraryW(nullptr), nullptr);

    // Only the alternate there, and the system's search switched off.
    TempFolder alternateOnly;
    PlaceFake(alternateOnly, "libmpg123.so.0");
    platform::SetLibrarySearchFolders({alternateOnly.Path().string()}, false);
    EXPECT_EQ(LoadLibraryW(u"libmpg123.dll"), nullptr);
    EXPECT_EQ(platform::LastLoadError(), "libmpg123.so: not in the configured folders");
    platform::ModuleHandle alternate = LoadLibraryW(u"libmpg123-0.dll");
    EXPECT_TRUE(IsFake(alternate));
    platform::FreeLibrary(alternate);
    platform::SetLibrarySearchFolders({}, false);
    EXPECT_EQ(LoadLibraryW(u"libmpg123-0.dll"), nullptr);
}

TEST_F(Loader, SystemLibraryAndFolderCopiesStayApart)
{
    void* system = ::dlopen("libmpg123.so.0", RTLD_NOW | RTLD_LOCAL);
    if (system == nullptr)
        GTEST_SKIP() << "libmpg123.so.0 is not installed";
    ::dlclose(system);

    // A fake that calls itself "libmpg123.so.0" inside, loaded from a folder first...
    TempFolder folder;
    PlaceFake(folder, "libmpg123.so.0", SOVA_FAKE_MPG123_PATH);
    platform::SetLibrarySearchFolders({folder.Path().string()}, true);
    platform::ModuleHandle fake = LoadLibraryW(u"libmpg123-0.dll");
    ASSERT_TRUE(IsFake(fake));
    // ...never answers for the system's library of that name.
    platform::SetLibrarySearchFolders({}, true);
    platform::ModuleHandle real = LoadLibraryW(u"libmpg123-0.dll");
    ASSERT_NE(real, nullptr);
    EXPECT_NE(real, fake);
    EXPECT_NE(GetFunctionPointerFromModuleImpl(real, "mpg123_init"), nullptr);
    EXPECT_NE(platform::ModuleFilePath(real).find("libmpg123.so.0"), std::string::npos);
    platform::FreeLibrary(fake);

    // A folder file that does not load is the answer: the system's copy is not used.
    std::filesystem::remove(folder / "libmpg123.so.0");
    WriteWholeFile(folder / "libmpg123.so.0", "not a library");
    platform::SetLibrarySearchFolders({folder.Path().string()}, true);
    EXPECT_EQ(LoadLibraryW(u"libmpg123-0.dll"), nullptr);
    EXPECT_NE(platform::LastLoadError().find(folder / "libmpg123.so.0"), std::string::npos);
    platform::FreeLibrary(real);
}
