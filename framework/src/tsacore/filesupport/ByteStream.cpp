// SPDX-License-Identifier: MIT
#include <tsacore/filesupport/ByteStream.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>

#include <fcntl.h>
#include <unistd.h>

#include "Failure.h"
#include "OpenForWriting.h"

namespace tsacore::filesupport {
namespace {
constexpr int32_t kOpenWithoutTruncating = 1;

std::mutex& ReporterMutex()
{
    static std::mutex mutex;
    return mutex;
}

StreamFailureReporter& Reporter()
{
    static StreamFailureReporter reporter;
    return reporter;
}

// Called from destructors, which must not throw: the failure is only reported.
void ReportSwallowedFailure(const file_exception& failure) noexcept
{
    try {
        StreamFailureReporter reporter;
        {
            std::lock_guard lock(ReporterMutex());
            reporter = Reporter();
        }
        if (reporter)
            reporter(failure);
        else
            std::fprintf(stderr, "sova_framework: output stream lost data on close: %s\n", failure.what());
    } catch (...) {
    }
}
} // namespace

void SetStreamFailureReporter(StreamFailureReporter reporter)
{
    std::lock_guard lock(ReporterMutex());
    Reporter() = std::move(reporter);
}

OPlatformByteStream::OPlatformByteStream(const File& file, int32_t flags) : nativePath_(file.NativePath())
{
    // flags 1 keeps what the file holds; any other value starts it empty.
    const int openFlags = O_WRONLY | O_CREAT | O_CLOEXEC | ((flags & kOpenWithoutTruncating) ? 0 : O_TRUNC);
    fd_ = OpenForWriting(nativePath_, openFlags, "cannot open for writing");
}

OPlatformByteStream::~OPlatformByteStream()
{
    if (fd_ >= 0 && ::close(fd_) != 0 && errno != EINTR) {
        const int error = errno;
        ReportSwallowedFailure(file_exception(DescribeFailure("cannot close", nativePath_, error), error));
    }
}

void OPlatformByteStream::Close()
{
    if (fd_ < 0)
        return;
    const int fd = fd_;
    fd_ = -1;
    // After a failed close the descriptor is gone all the same (EINTR included, on Linux).
    if (::close(fd) != 0 && errno != EINTR)
        Fail("cannot close", nativePath_, errno);
}

void OPlatformByteStream::Write(const void* data, uint32_t byteCount)
{
    const auto* bytes = static_cast<const uint8_t*>(data);
    size_t left = byteCount;
    while (left > 0) {
        const ssize_t written = ::write(fd_, bytes, left);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            Fail("cannot write to", nativePath_, errno);
        }
        if (written == 0)
            Fail("cannot write to", nativePath_, ENOSPC); // the system took nothing: treat as full
        bytes += written;
        left -= static_cast<size_t>(written);
    }
}

void OPlatformByteStream::SetPosition(int64_t offset)
{
    if (::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) < 0)
        Fail("cannot set the position in", nativePath_, errno);
}

OBufferedByteStream::OBufferedByteStream(OByteStream* target, uint32_t bufferSize, uint32_t blockSize)
    : target_(target), blockSize_(blockSize == 0 ? 1 : blockSize)
{
    // The buffer holds whole blocks: at least one, otherwise bufferSize rounded down.
    const size_t blocks = std::max<size_t>(1, bufferSize / blockSize_);
    buffer_.resize(blocks * blockSize_);
}

OBufferedByteStream::~OBufferedByteStream()
{
    try {
        Flush();
    } catch (const file_exception& failure) {
        ReportSwallowedFailure(failure);
    } catch (...) {
        // A destructor must not throw.
    }
}

void OBufferedByteStream::Write(const void* data, uint32_t byteCount)
{
    if (byteCount > 0 && data == nullptr)
        Fail("cannot write from a null buffer to", "(buffered stream)", EFAULT);
    if (target_ == nullptr)
        Fail("cannot write to", "(buffered stream without a target)", EBADF);
    const auto* bytes = static_cast<const uint8_t*>(data);
    size_t left = byteCount;
    const size_t capacity = buffer_.size();
    while (left > 0) {
        if (used_ == 0 && left >= capacity) {
            // Whole buffers pass straight through, without a copy.
            const size_t direct = left - left % capacity;
            target_->Write(bytes, static_cast<uint32_t>(direct)); // fits: left never exceeds byteCount
            bytes += direct;
            left -= direct;
            continue;
        }
        const size_t take = std::min(left, capacity - used_);
        std::memcpy(buffer_.data() + used_, bytes, take);
        used_ += take;
        bytes += take;
        left -= take;
        if (used_ == capacity) {
            used_ = 0; // dropped even when the target fails: a retry would write the bytes twice
            target_->Write(buffer_.data(), static_cast<uint32_t>(capacity));
        }
    }
}

void OBufferedByteStream::SetPosition(int64_t offset)
{
    if (target_ == nullptr)
        Fail("cannot set the position in", "(buffered stream without a target)", EBADF);
    Flush();
    target_->SetPosition(offset);
}

void OBufferedByteStream::Flush()
{
    if (target_ == nullptr)
        return; // nothing can have been collected
    if (used_ > 0) {
        const size_t count = used_;
        used_ = 0;
        target_->Write(buffer_.data(), static_cast<uint32_t>(count));
    }
    target_->Flush();
}
} // namespace tsacore::filesupport
