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

class LoaderTest : public ::testing::Test {
protected:
    void TearDown() override { platform::SetLibrarySearchFolders({}, true); }
};
} // namespace

TEST(Loader, MapsWindowsNames)
{
    EXPECT_EQ(platform::MapLibraryName(u"libmpg123.dll"), "libmpg123.so");
    EXPECT_EQ(platform::MapLibraryName(u"libmpg123-0.dll"), "libmpg123.so.0");
    EXPECT_EQ(platform::MapLibraryName(u"twolame.dll"), "libtwolame.so");
    EXPECT_EQ(platform::MapLibraryName(u"twolameD.dll"), "libtwolame.so.0");
    EXPECT_EQ(platform::MapLibraryName(u"LIBMPG123.DLL"), "libmpg123.so"); // Windows ignores case
    EXPECT_EQ(platform::MapLibraryName(u"Other.dll"), "Other.so");
    EXPECT_EQ(platform::MapLibraryName(u"libz.so.1"), "libz.so.1");
}

TEST_F(LoaderTest, ConfiguredFoldersComeFirstInOrder)
{
    TempFolder first, second;
    PlaceFake(first, "libtwolame.so");
    PlaceFake(second, "libtwolame.so");
    PlaceFake(second, "libmpg123.so");

    platform::SetLibrarySearchFolders({first.Path().string(), second.Path().string() + "/"}, true);
    platform::ModuleHandle twolame = LoadLibraryW(u"twolame.dll");
    ASSERT_NE(twolame, nullptr);
    EXPECT_TRUE(IsFake(twolame));
    EXPECT_EQ(GetFunctionPointerFromModuleImpl(twolame, "twolame_init"), nullptr); // not the system's
    EXPECT_EQ(platform::ModuleFilePath(twolame), first / "libtwolame.so");

    platform::ModuleHandle mpg123 = LoadLibraryW(u"libmpg123.dll");
    ASSERT_NE(mpg123, nullptr);
    EXPECT_EQ(platform::ModuleFilePath(mpg123), second / "libmpg123.so");
    EXPECT_NE(mpg123, twolame);

    EXPECT_TRUE(platform::FreeLibrary(twolame));
    EXPECT_TRUE(platform::FreeLibrary(mpg123));
    EXPECT_FALSE(platform::FreeLibrary(nullptr));
    EXPECT_EQ(GetFunctionPointerFromModuleImpl(nullptr, "fake_codec_identity"), nullptr);
    EXPECT_EQ(LoadLibraryW(nullptr), nullptr);
    EXPECT_EQ(LoadLibraryW(u""), nullptr);
}

TEST_F(LoaderTest, AlternateNameAndFoldersOnly)
{
    TempFolder folder;
    PlaceFake(folder, "libmpg123.so.0");
    platform::SetLibrarySearchFolders({folder.Path().string()}, false);

    EXPECT_EQ(LoadLibraryW(u"libmpg123.dll"), nullptr); // only the alternate is there
    EXPECT_EQ(platform::LastLoadError(), "libmpg123.so: not in the configured folders");
    platform::ModuleHandle alternate = LoadLibraryW(u"libmpg123-0.dll");
    ASSERT_NE(alternate, nullptr);
    EXPECT_EQ(platform::LastLoadError(), "");
    EXPECT_TRUE(IsFake(alternate));
    EXPECT_EQ(platform::ModuleFilePath(alternate), folder / "libmpg123.so.0");
    platform::FreeLibrary(alternate);

    platform::SetLibrarySearchFolders({}, false);
    EXPECT_EQ(LoadLibraryW(u"libmpg123-0.dll"), nullptr); // no folders, no system: nothing
}

namespace {
bool SystemHasMpg123()
{
    void* system = ::dlopen("libmpg123.so.0", RTLD_NOW | RTLD_LOCAL);
    if (system != nullptr)
        ::dlclose(system);
    return system != nullptr;
}
} // namespace

TEST_F(LoaderTest, SystemSearchAndAFolderCopyThatFails)
{
    // The codec libraries that users have installed.
    if (!SystemHasMpg123())
        GTEST_SKIP() << "libmpg123.so.0 is not installed";

    platform::SetLibrarySearchFolders({}, true);
    platform::ModuleHandle real = LoadLibraryW(u"libmpg123-0.dll");
    ASSERT_NE(real, nullptr);
    EXPECT_NE(GetFunctionPointerFromModuleImpl(real, "mpg123_init"), nullptr);
    EXPECT_EQ(GetFunctionPointerFromModuleImpl(real, "no_such_entry_point"), nullptr);
    const std::string realPath = platform::ModuleFilePath(real);
    EXPECT_EQ(realPath.front(), '/');
    EXPECT_NE(realPath.find("libmpg123.so.0"), std::string::npos);

    // A folder's link to the system's file gives the library already loaded, and the system's
    // search still answers afterwards.
    TempFolder links;
    std::filesystem::create_symlink(std::filesystem::canonical(realPath), links / "libmpg123.so");
    platform::SetLibrarySearchFolders({links.Path().string()}, true);
    platform::ModuleHandle linked = LoadLibraryW(u"libmpg123.dll");
    EXPECT_EQ(linked, real);
    platform::FreeLibrary(linked);
    platform::SetLibrarySearchFolders({}, true);
    platform::ModuleHandle again = LoadLibraryW(u"libmpg123-0.dll");
    EXPECT_EQ(again, real);
    platform::FreeLibrary(again);

    // A file that is there but does not load is the answer: the system's copy is not used.
    TempFolder folder;
    WriteWholeFile(folder / "libmpg123.so.0", "not a library");
    platform::SetLibrarySearchFolders({folder.Path().string()}, true);
    EXPECT_EQ(LoadLibraryW(u"libmpg123-0.dll"), nullptr);
    EXPECT_NE(platform::LastLoadError().find(folder / "libmpg123.so.0"), std::string::npos)
        << platform::LastLoadError();

    // A folder copy loads beside the system's, already loaded one.
    std::filesystem::remove(folder / "libmpg123.so.0");
    PlaceFake(folder, "libmpg123.so.0");
    platform::ModuleHandle fake = LoadLibraryW(u"libmpg123-0.dll");
    ASSERT_NE(fake, nullptr);
    EXPECT_NE(fake, real);
    EXPECT_TRUE(IsFake(fake));
    EXPECT_FALSE(IsFake(real));
    platform::FreeLibrary(fake);
    platform::FreeLibrary(real);
}

TEST_F(LoaderTest, AFolderCopyNeverAnswersForTheSystemLibrary)
{
    if (!SystemHasMpg123())
        GTEST_SKIP() << "libmpg123.so.0 is not installed";
    // A fake that calls itself "libmpg123.so.0" inside, loaded from a folder first.
    TempFolder folder;
    PlaceFake(folder, "libmpg123.so.0", SOVA_FAKE_MPG123_PATH);
    platform::SetLibrarySearchFolders({folder.Path().string()}, true);
    platform::ModuleHandle fake = LoadLibraryW(u"libmpg123-0.dll");
    ASSERT_NE(fake, nullptr);
    ASSERT_TRUE(IsFake(fake));

    // The system's search by the same name still finds the system's library.
    platform::SetLibrarySearchFolders({}, true);
    platform::ModuleHandle real = LoadLibraryW(u"libmpg123-0.dll");
    ASSERT_NE(real, nullptr);
    EXPECT_NE(real, fake);
    EXPECT_FALSE(IsFake(real));
    EXPECT_NE(GetFunctionPointerFromModuleImpl(real, "mpg123_init"), nullptr);
    EXPECT_NE(platform::ModuleFilePath(real), platform::ModuleFilePath(fake));
    platform::FreeLibrary(real);
    platform::FreeLibrary(fake);
}

TEST_F(LoaderTest, OnlyALibrarysOwnEntryPointsAreFound)
{
    // Loaded by path: the dependency on the fake codec resolves through the build's run path.
    platform::ModuleHandle dependent = LoadLibraryW(u"" SOVA_FAKE_DEPENDENT_PATH);
    ASSERT_NE(dependent, nullptr);
    EXPECT_NE(GetFunctionPointerFromModuleImpl(dependent, "fake_dependent_identity"), nullptr);
    EXPECT_NE(::dlsym(dependent, "fake_codec_identity"), nullptr); // what dlsym alone would answer
    EXPECT_EQ(GetFunctionPointerFromModuleImpl(dependent, "fake_codec_identity"), nullptr);
    EXPECT_EQ(GetFunctionPointerFromModuleImpl(dependent, nullptr), nullptr);
    platform::FreeLibrary(dependent);
}
