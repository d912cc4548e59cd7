#include <cerrno>
#include <csignal>
#include <functional>
#include <memory>
#include <new>
#include <string>

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <tsacore/filesupport/ByteStream.h>
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

// Runs body in a child process and returns its exit code (the number of the failed check, or 0).
int RunInChild(const std::function<int()>& body)
{
    const pid_t child = ::fork();
    if (child < 0)
        return -1;
    if (child == 0) {
        int code = 99;
        try {
            code = body();
        } catch (...) {
        }
        ::_exit(code);
    }
    int status = 0;
    if (::waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return -2;
    return WEXITSTATUS(status);
}

} // namespace

TEST(Streams, BufferedStreamPassesBytesOnOnlyWhenFullOrDestroyed)
{
    TempFolder folder;
    const File file = FileAt(folder / "out.mp2");
    OPlatformByteStream platform(file, 1);
    const std::string first = Pattern(1000, 'a');
    const std::string second = Pattern(7192, 'b');
    const std::string third = Pattern(3 * 8192 + 5, 'c');
    {
        OBufferedByteStream buffered(&platform, 8192, 4096);
        buffered.Write(first.data(), uint32_t(first.size()));
        EXPECT_EQ(file.Size(0), 0u);
        buffered.Write(second.data(), uint32_t(second.size())); // exactly fills the buffer
        EXPECT_EQ(file.Size(0), 8192u);
        buffered.Write(third.data(), uint32_t(third.size())); // whole buffers pass straight on
        EXPECT_EQ(file.Size(0), 8192u + 3 * 8192u);
        buffered.Write(nullptr, 0);
        EXPECT_EQ(file.Size(0), 8192u + 3 * 8192u);
    }
    EXPECT_EQ(ReadWholeFile(file.NativePath()), first + second + third);

    // The sizes the writer uses: nothing reaches the file before destruction.
    const File other = FileAt(folder / "other.mp2");
    auto otherPlatform = std::make_unique<OPlatformByteStream>(other, 1);
    auto buffered = std::make_unique<OBufferedByteStream>(otherPlatform.get(), 1048576, 4096);
    for (int i = 0; i < 100; ++i)
        buffered->Write(first.data(), uint32_t(first.size()));
    EXPECT_EQ(other.Size(0), 0u);
    buffered.reset();
    EXPECT_EQ(other.Size(0), 100000u);
    otherPlatform.reset();

    // A buffer size that is no multiple of the block size holds whole blocks only.
    const File rounded = FileAt(folder / "rounded.mp2");
    OPlatformByteStream roundedPlatform(rounded, 1);
    OBufferedByteStream roundedBuffered(&roundedPlatform, 10000, 4096);
    roundedBuffered.Write(second.data(), uint32_t(second.size()));
    roundedBuffered.Write(first.data(), uint32_t(first.size()));
    EXPECT_EQ(rounded.Size(0), 8192u);
}

TEST(Streams, SetPositionFlushesThenWritesThere)
{
    TempFolder folder;
    const File file = FileAt(folder / "existing.mp2");
    WriteWholeFile(file.NativePath(), "hello");
    {
        OPlatformByteStream platform(file, 1); // keeps what is there
        EXPECT_EQ(file.Size(0), 5u);
        OBufferedByteStream buffered(&platform, 1048576, 4096);
        buffered.SetPosition(int64_t(file.Size(0)));
        buffered.Write(" world", 6);
        buffered.SetPosition(0); // the pending bytes land at the end first
        EXPECT_EQ(ReadWholeFile(file.NativePath()), "hello world");
        buffered.Write("H", 1);
    }
    EXPECT_EQ(ReadWholeFile(file.NativePath()), "Hello world");

    {
        OPlatformByteStream platform(file, 0); // any other flags start empty
        platform.Write("new", 3);
    }
    EXPECT_EQ(ReadWholeFile(file.NativePath()), "new");

    EXPECT_EQ(ErrorOf([&] { OPlatformByteStream(FileAt(folder / "missing/x.mp2"), 1); }), ENOENT);
    EXPECT_EQ(ErrorOf([&] { OPlatformByteStream(FileAt(folder.Path().string()), 1); }), EISDIR);
    OPlatformByteStream platform(file, 1);
    EXPECT_EQ(ErrorOf([&] { platform.SetPosition(-1); }), EINVAL);
    EXPECT_EQ(ErrorOf([&] { platform.Write(nullptr, 1); }), EFAULT);
    OBufferedByteStream buffered(&platform, 4096, 4096);
    EXPECT_EQ(ErrorOf([&] { buffered.Write(nullptr, 1); }), EFAULT);
    OBufferedByteStream orphan(nullptr, 4096, 4096);
    EXPECT_EQ(ErrorOf([&] { orphan.Write("x", 1); }), EBADF);
    EXPECT_EQ(ErrorOf([&] { orphan.SetPosition(0); }), EBADF);
}

TEST(Streams, AFullFileSystemRaisesFileException)
{
    TempFolder folder;
    const std::string chunk = Pattern(8192, 'x');
    constexpr rlim_t kLimit = 10000;
    const int failedCheck = RunInChild([&]() -> int {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{kLimit, kLimit};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
            return 98;

        // Straight to the file: what fits stays, the rest raises EFBIG.
        const File direct = FileAt(folder / "direct.mp2");
        OPlatformByteStream platform(direct, 1);
        platform.Write(chunk.data(), uint32_t(chunk.size()));
        if (ErrorOf([&] { platform.Write(chunk.data(), uint32_t(chunk.size())); }) != EFBIG)
            return 1;
        if (direct.Size(0) != kLimit)
            return 2;

        // Through the buffer: the Write that fills it raises.
        const File bufferedFile = FileAt(folder / "buffered.mp2");
        OPlatformByteStream bufferedPlatform(bufferedFile, 1);
        {
            OBufferedByteStream buffered(&bufferedPlatform, 8192, 4096);
            buffered.Write(chunk.data(), uint32_t(chunk.size()));
            if (ErrorOf([&] { buffered.Write(chunk.data(), uint32_t(chunk.size())); }) != EFBIG)
                return 3;
            // An explicit flush of what is left raises as well.
            buffered.Write(chunk.data(), 100);
            if (ErrorOf([&] { buffered.Flush(); }) != EFBIG)
                return 4;
        }

        // Destruction cannot raise: the host hears of the loss instead.
        int reported = 0;
        SetStreamFailureReporter([&reported](const file_exception& failure) { reported = failure.ErrorNumber(); });
        const File lateFile = FileAt(folder / "late.mp2");
        {
            OPlatformByteStream latePlatform(lateFile, 1);
            OBufferedByteStream buffered(&latePlatform, 1048576, 4096);
            buffered.Write(chunk.data(), uint32_t(chunk.size()));
            buffered.Write(chunk.data(), uint32_t(chunk.size()));
        }
        SetStreamFailureReporter(nullptr);
        if (reported != EFBIG)
            return 5;
        if (lateFile.Size(0) != kLimit)
            return 6;
        return 0;
    });
    EXPECT_EQ(failedCheck, 0);
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

    // Position 1 on this ABI: the deleting destructor, which flushes and frees.
    OByteStream* buffered = new OBufferedByteStream(&platform, 1048576, 4096);
    reinterpret_cast<WriteSlot>(table(buffered)[2])(buffered, "abcdef", 6);
    reinterpret_cast<SetPositionSlot>(table(buffered)[3])(buffered, 2);
    reinterpret_cast<WriteSlot>(table(buffered)[2])(buffered, "XY", 2);
    EXPECT_EQ(file.Size(0), 6u); // "abcdef" went on when the position moved; "XY" waits
    reinterpret_cast<DestructorSlot>(table(buffered)[1])(buffered);
    EXPECT_EQ(ReadWholeFile(file.NativePath()), "abXYef");

    // Position 0: the complete-object destructor, which flushes but leaves the memory.
    alignas(OBufferedByteStream) unsigned char storage[sizeof(OBufferedByteStream)];
    OByteStream* placed = new (storage) OBufferedByteStream(&platform, 1048576, 4096);
    reinterpret_cast<WriteSlot>(table(placed)[2])(placed, "!", 1);
    reinterpret_cast<DestructorSlot>(table(placed)[0])(placed);
    EXPECT_EQ(ReadWholeFile(file.NativePath()), "abXY!f");
}
