#include <cerrno>
#include <functional>

#include <gtest/gtest.h>

#include <tsacore/filesupport/File.h>
#include <tsacore/filesupport/FileException.h>
#include <tsacore/utility/StringConversion.h>

#include "TestSupport.h"

using namespace tsacore;
using tsacore::filesupport::File;
using tsacore::filesupport::file_exception;

namespace {
UString U(const std::string& utf8) { return utility::UTF8to16(utf8); }

} // namespace

TEST(File, CreateSizeDeleteAndTheirFailures)
{
    TempFolder folder;
    File file(U(folder / "\xC3\xBC" "ber \xF0\x9F\x8E\xB5.mp2")); // a non-ASCII name with a pair
    EXPECT_EQ(file.NativePath(), folder / "\xC3\xBC" "ber \xF0\x9F\x8E\xB5.mp2");
    EXPECT_FALSE(file.Exists());
    EXPECT_EQ(ErrorOf([&] { file.Size(0); }), ENOENT);
    EXPECT_EQ(ErrorOf([&] { file.Delete(); }), ENOENT);

    file.Create(true);
    EXPECT_TRUE(file.Exists());
    EXPECT_EQ(file.Size(0), 0u);
    EXPECT_EQ(ErrorOf([&] { file.Create(true); }), EEXIST);

    WriteWholeFile(file.NativePath(), "12345");
    EXPECT_EQ(file.Size(0), 5u);
    file.Create(false); // empties what is there
    EXPECT_EQ(file.Size(0), 0u);

    file.Delete();
    EXPECT_FALSE(file.Exists());

    File inMissingFolder(U(folder / "missing/out.mp2"));
    EXPECT_EQ(ErrorOf([&] { inMissingFolder.Create(false); }), ENOENT);

    File theFolder(U(folder.Path().string()));
    EXPECT_TRUE(theFolder.Exists()); // a folder exists too
    EXPECT_NE(ErrorOf([&] { theFolder.Delete(); }), 0);
    EXPECT_NE(ErrorOf([&] { theFolder.Create(false); }), 0);
    EXPECT_TRUE(theFolder.Exists());
}

TEST(File, GetExtension)
{
    struct Case {
        const char16_t* path;
        const char16_t* withDot;
        const char16_t* withoutDot;
    };
    const Case cases[] = {
        {u"/music/song.mp2", u".mp2", u"mp2"},
        {u"/music/song.tar.MP2", u".MP2", u"MP2"},
        {u"/music.d/song", u"", u""},      // the dot of a folder does not count
        {u"song.", u".", u""},
        {u"", u"", u""},
        {u"/music/.hidden", u".hidden", u"hidden"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(utility::UTF16to8(c.path));
        const File file(c.path);
        EXPECT_EQ(file.GetExtension(true), c.withDot);
        EXPECT_EQ(file.GetExtension(false), c.withoutDot);
    }
}
