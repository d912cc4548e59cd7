// SPDX-License-Identifier: MIT
#include <cerrno>
#include <csignal>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <tsacore/filesupport/ByteStream.h>
#include <tsacore/filesupport/File.h>
#include <tsacore/utility/StringConversion.h>

#include "TestSupport.h"

using namespace tsacore;
using namespace tsacore::filesupport;

namespace {
File FileAt(const std::string& path) { return File(utility::UTF8to16(path)); }

std::string Pattern(size_t size, char seed)
{
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(seed + i % 61);
    return bytes;
}
} // namespace

TEST(File, CreateSizeDeleteExtensionAndTheirFailures)
{
    TempFolder folder;
    File file(utility::UTF8to16(folder / "\xC3\xBC" "ber \xF0\x9F\x8E\xB5.mp2")); // a surrogate pair
    EXPECT_EQ(file.NativePath(), folder / "\xC3\xBC" "ber \xF0\x9F\x8E\xB5.mp2");
    EXPECT_EQ(ErrorOf([&] { file.Delete(); }), ENOENT);
    file.Create(true);
    EXPECT_EQ(ErrorOf([&] { file.Create(true); }), EEXIST);
    WriteWholeFile(file.NativePath(), "12345");
    EXPECT_EQ(file.Size(0), 5u);
    file.Create(false); // empties what is there
    EXPECT_EQ(file.Size(0), 0u);
    file.Delete();
    EXPECT_EQ(ErrorOf([&] { file.Size(0); }), ENOENT);
    EXPECT_EQ(ErrorOf([&] { FileAt(folder / "missing/out.mp2").Create(false); }), ENOENT);
    EXPECT_EQ(File(u"/music/song.tar.MP2").GetExtension(true), u".MP2");
    EXPECT_EQ(File(u"/music.d/song").GetExtension(false), u""); // the dot of a folder does not count
}

TEST(Streams, BytesReachTheFileWhenTheBufferFillsOrTheStreamIsDestroyed)
{
    TempFolder folder;
    const File file = FileAt(folder / "out.mp2");
    OPlatformByteStream platform(file, 1);
    const std::string first = Pattern(1000, 'a'), second = Pattern(7192, 'b'), third = Pattern(3 * 8192 + 5, 'c');
    {
        OBufferedByteStream buffered(&platform, 8192, 4096);
        buffered.Write(first.data(), uint32_t(first.size()));
        EXPECT_EQ(file.Size(0), 0u);
        buffered.Write(second.data(), uint32_t(second.size())); // exactly fills the buffer
        EXPECT_EQ(file.Size(0), 8192u);
        buffered.Write(third.data(), uint32_t(third.size())); // whole buffers pass straight on
        EXPECT_EQ(file.Size(0), 4 * 8192u);
    }
    EXPECT_EQ(ReadWholeFile(file.NativePath()), first + second + third);

    // The writer's sizes: nothing reaches the file before destruction.
    const File other = FileAt(folder / "other.mp2");
    auto otherPlatform = std::make_unique<OPlatformByteStream>(other, 1);
    auto buffered = std::make_unique<OBufferedByteStream>(otherPlatform.get(), 1048576, 4096);
    for (int i = 0; i < 100; ++i)
        buffered->Write(first.data(), uint32_t(first.size()));
    EXPECT_EQ(other.Size(0), 0u);
    buffered.reset();
    EXPECT_EQ(other.Size(0), 100000u);
}

TEST(Streams, SetPositionThenWriteAppendsAndBadCallsRaise)
{
    TempFolder folder;
    const File file = FileAt(folder / "existing.mp2");
    WriteWholeFile(file.NativePath(), "hello");
    {
        OPlatformByteStream platform(file, 1); // keeps what is there
        OBufferedByteStream buffered(&platform, 1048576, 4096);
        buffered.SetPosition(int64_t(file.Size(0)));
        buffered.Write(" world", 6);
        buffered.SetPosition(0); // the pending bytes land at the end first
        EXPECT_EQ(ReadWholeFile(file.NativePath()), "hello world");
        buffered.Write("H", 1);
    }
    EXPECT_EQ(ReadWholeFile(file.NativePath()), "Hello world");
    OPlatformByteStream(file, 0).Write("new", 3); // any other flags start empty
    EXPECT_EQ(ReadWholeFile(file.NativePath()), "new");

    EXPECT_EQ(ErrorOf([&] { OPlatformByteStream(FileAt(folder.Path().string()), 1); }), EISDIR);
    OPlatformByteStream platform(file, 1);
    EXPECT_EQ(ErrorOf([&] { platform.SetPosition(-1); }), EINVAL);
    OBufferedByteStream orphan(nullptr, 4096, 4096);
    EXPECT_EQ(ErrorOf([&] { orphan.Write("x", 1); }), EBADF);
}

TEST(Streams, AFullFileSystemRaisesOrIsReported)
{
    TempFolder folder;
    const std::string chunk = Pattern(8192, 'x');
    constexpr rlim_t kLimit = 10000;
    const pid_t child = ::fork(); // the file-size limit stays in the child
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{kLimit, kLimit};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
            ::_exit(98);
        const File direct = FileAt(folder / "buffered.mp2");
        OPlatformByteStream platform(direct, 1);
        OBufferedByteStream buffered(&platform, 8192, 4096);
        buffered.Write(chunk.data(), uint32_t(chunk.size()));
        if (ErrorOf([&] { buffered.Write(chunk.data(), uint32_t(chunk.size())); }) != EFBIG || direct.Size(0) != kLimit)
            ::_exit(1); // the Write that fills the buffer raises; what fits stays

        {
            // A writer that flushes and closes before letting go hears of a full disk itself.
            const File finished = FileAt(folder / "finished.mp2");
            OPlatformByteStream finishedPlatform(finished, 1);
            OBufferedByteStream buffered(&finishedPlatform, 1048576, 4096);
            buffered.Write(chunk.data(), uint32_t(chunk.size()));
            buffered.Write(chunk.data(), uint32_t(chunk.size()));
            if (finished.Size(0) != 0 || ErrorOf([&] { buffered.Flush(); }) != EFBIG || finished.Size(0) != kLimit)
                ::_exit(3);
            finishedPlatform.Close();
            if (ErrorOf([&] { finishedPlatform.Write("x", 1); }) != EBADF)
                ::_exit(4); // closed for good
        }

        int reported = 0; // destruction cannot raise: the host hears of the loss instead
        SetStreamFailureReporter([&reported](const file_exception& failure) { reported = failure.ErrorNumber(); });
        {
            OPlatformByteStream latePlatform(FileAt(folder / "late.mp2"), 1);
            OBufferedByteStream late(&latePlatform, 1048576, 4096);
            late.Write(chunk.data(), uint32_t(chunk.size()));
            late.Write(chunk.data(), uint32_t(chunk.size()));
        }
        ::_exit(reported == EFBIG ? 0 : 2);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "number of the failed check";
}

// Someone with write access to the output folder swaps the file for a symbolic link between two
// opens by name: neither creating nor reopening follows it, so nothing outside is touched.
TEST(Streams, ASymbolicLinkAtThePathIsNeverFollowedForWriting)
{
    TempFolder folder;
    const std::string outside = folder / "outside.wav", missing = folder / "made-elsewhere.mp2";
    WriteWholeFile(outside, "someone else's file");
    File file = FileAt(folder / "out.mp2");
    file.Create(false);
    OPlatformByteStream(file, 1).Write("MP2", 3);

    ASSERT_EQ(::unlink(file.NativePath().c_str()), 0);
    ASSERT_EQ(::symlink(outside.c_str(), file.NativePath().c_str()), 0);
    EXPECT_EQ(ErrorOf([&] { OPlatformByteStream(file, 1).Write("lost", 4); }), ELOOP) << "reopened to append";
    EXPECT_EQ(ErrorOf([&] { OPlatformByteStream(file, 0); }), ELOOP) << "reopened to truncate";
    EXPECT_EQ(ErrorOf([&] { file.Create(false); }), ELOOP);
    EXPECT_EQ(ErrorOf([&] { file.Create(true); }), EEXIST);
    EXPECT_EQ(ReadWholeFile(outside), "someone else's file");
    try {
        OPlatformByteStream stream(file, 1);
        ADD_FAILURE() << "opened through the link";
    } catch (const file_exception& failure) {
        EXPECT_NE(std::string(failure.what()).find("symbolic link"), std::string::npos) << failure.what();
    }

    // A link to nothing is not used to create its target either.
    ASSERT_EQ(::unlink(file.NativePath().c_str()), 0);
    ASSERT_EQ(::symlink(missing.c_str(), file.NativePath().c_str()), 0);
    EXPECT_EQ(ErrorOf([&] { file.Create(false); }), ELOOP);
    EXPECT_EQ(ErrorOf([&] { OPlatformByteStream(file, 1); }), ELOOP);
    EXPECT_FALSE(std::filesystem::exists(missing));
}

TEST(Streams, OperationsSitAtTheirTablePositions)
{
    TempFolder folder;
    const File file = FileAt(folder / "slots.mp2");
    OPlatformByteStream platform(file, 1);
    using WriteSlot = void (*)(OByteStream*, const void*, uint32_t);
    using SetPositionSlot = void (*)(OByteStream*, int64_t);
    using DestructorSlot = void (*)(OByteStream*);
    const auto table = [](OByteStream* stream) { return *reinterpret_cast<void***>(stream); };

    // Position 0 holds the destructor, which flushes (position 1 is this ABI's deleting one).
    OByteStream* buffered = new OBufferedByteStream(&platform, 1048576, 4096);
    reinterpret_cast<WriteSlot>(table(buffered)[2])(buffered, "abcdef", 6);
    reinterpret_cast<SetPositionSlot>(table(buffered)[3])(buffered, 2);
    reinterpret_cast<WriteSlot>(table(buffered)[2])(buffered, "XY", 2);
    EXPECT_EQ(file.Size(0), 6u); // "abcdef" went on when the position moved; "XY" waits
    reinterpret_cast<DestructorSlot>(table(buffered)[0])(buffered);
    ::operator delete(buffered);
    EXPECT_EQ(ReadWholeFile(file.NativePath()), "abXYef");
}
