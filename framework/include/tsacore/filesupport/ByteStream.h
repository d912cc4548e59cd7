// SPDX-License-Identifier: MIT
// Output byte streams. The table of virtual operations is part of the contract: the
// destructor takes positions 0 and 1 (this ABI has two entries: the complete-object
// destructor at 0, the deleting destructor at 1), Write is at 2 and SetPosition at 3. Destroying a
// stream flushes and closes it; a failure while flushing on destruction is swallowed, so a writer
// that must hear of every failure calls Flush (and Close) before it lets a stream go.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include <tsacore/filesupport/File.h>
#include <tsacore/filesupport/FileException.h>

namespace tsacore::filesupport {
class OByteStream {
public:
    virtual ~OByteStream() = default;                            // 0, 1
    virtual void Write(const void* data, uint32_t byteCount) = 0; // 2: file_exception on failure
    virtual void SetPosition(int64_t offset) = 0;                 // 3: next Write lands there
    virtual void Flush() = 0;                                     // 4
};

// Writes straight to the file. flags 1: open for writing without truncating, creating the
// file when it is missing. The file stays open until the stream is destroyed.
class OPlatformByteStream : public OByteStream {
public:
    OPlatformByteStream(const File& file, int32_t flags);
    ~OPlatformByteStream() override;
    void Write(const void* data, uint32_t byteCount) override;
    void SetPosition(int64_t offset) override;
    void Flush() override {}
    // Closes the file now; file_exception when the system reports that the close failed (the
    // descriptor is released either way). Later writes fail.
    void Close();
private:
    int fd_ = -1;
    ByteString nativePath_;
};

// Collects writes in a buffer of bufferSize bytes and hands them on in multiples of
// blockSize when it fills. Does not own the target: the caller keeps it alive longer.
class OBufferedByteStream : public OByteStream {
public:
    OBufferedByteStream(OByteStream* target, uint32_t bufferSize, uint32_t blockSize);
    ~OBufferedByteStream() override;
    void Write(const void* data, uint32_t byteCount) override;
    void SetPosition(int64_t offset) override; // flushes first
    void Flush() override;
private:
    OByteStream* target_;
    std::vector<uint8_t> buffer_;
    size_t used_ = 0;
    uint32_t blockSize_;
};

// Host side: hears of every failure that a stream's destruction had to swallow (bytes that
// could not be passed on, a close that failed). Without a reporter, one line goes to stderr.
using StreamFailureReporter = std::function<void(const file_exception& failure)>;
void SetStreamFailureReporter(StreamFailureReporter reporter);
} // namespace tsacore::filesupport
