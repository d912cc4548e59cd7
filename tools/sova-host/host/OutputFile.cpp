// SPDX-License-Identifier: MIT
#include "host/OutputFile.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>

#include <fmt/format.h>

#include "host/Utf8.h"

namespace sovahost {
namespace {
// Alone in its private folder, so a short fixed name: the final name may be as long as a
// name can be.
constexpr const char* kTempName = "output.part";

// The path with bytes that are not printable ASCII shown as \xNN.
std::string Printable(const std::string& path) {
    std::string out;
    for (unsigned char c : path) out += c >= 0x20 && c < 0x7F ? std::string(1, static_cast<char>(c)) : fmt::format("\\x{:02X}", c);
    return out;
}

// Flushes a file's or a folder's contents to the disk; throws naming what with the reason.
void SyncToDisk(const std::string& path, bool folder, const std::string& what) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | (folder ? O_DIRECTORY : 0));
    const int error = fd < 0 || fsync(fd) != 0 ? errno : 0;
    if (fd >= 0) close(fd);
    if (error != 0) throw std::runtime_error(fmt::format("cannot save {} to the disk: {}", what, std::strerror(error)));
}

void CopyToStandardOutput(const std::string& path) {
    const int in = open(path.c_str(), O_RDONLY);
    if (in < 0) throw std::runtime_error(fmt::format("cannot read back '{}': {}", path, std::strerror(errno)));
    char chunk[65536];
    ssize_t got;
    while ((got = read(in, chunk, sizeof chunk)) > 0)
        for (ssize_t done = 0; done < got;) {
            const ssize_t put = write(STDOUT_FILENO, chunk + done, static_cast<size_t>(got - done));
            if (put < 0 && errno == EINTR) continue;
            if (put < 0) {
                const int error = errno;
                close(in);
                if (error == EPIPE)
                    throw std::runtime_error("standard output was closed by the program reading it before the end");
                throw std::runtime_error(fmt::format("writing to standard output failed: {}", std::strerror(error)));
            }
            done += put;
        }
    close(in);
}
} // namespace

void RequireUtf8Path(const std::string& path) {
    if (!IsUtf8(path))
        throw std::runtime_error(fmt::format("the path '{}' is not UTF-8, which the plug-in needs; rename it", Printable(path)));
}

OutputFile::OutputFile(std::string finalPath, bool overwrite, const std::vector<std::string>& inputs)
    : final_(std::move(finalPath)), overwrite_(overwrite) {
    namespace fs = std::filesystem;
    if (!ToStandardOutput()) RequireUtf8Path(final_);
    struct stat out {};
    const bool exists = ToStandardOutput() ? fstat(STDOUT_FILENO, &out) == 0 : stat(final_.c_str(), &out) == 0;
    if (exists) {
        for (const std::string& input : inputs) {
            struct stat in {};
            const bool found = input == "-" ? fstat(STDIN_FILENO, &in) == 0 : stat(input.c_str(), &in) == 0;
            if (found && S_ISREG(in.st_mode) && in.st_dev == out.st_dev && in.st_ino == out.st_ino)
                throw std::runtime_error(fmt::format("{} is the input file {}; choose another output",
                                                     ToStandardOutput() ? "standard output" : "'" + final_ + "'",
                                                     input == "-" ? "(standard input)" : "'" + input + "'"));
        }
    }
    if (ToStandardOutput()) {
        if (isatty(STDOUT_FILENO))
            throw std::runtime_error("standard output is a terminal; redirect it to a file or a pipe for the audio");
        const char* tmp = std::getenv("TMPDIR");
        temp_ = std::make_unique<TempFile>(tmp && *tmp ? tmp : "/tmp", kTempName);
        return;
    }
    if (exists && S_ISDIR(out.st_mode)) throw std::runtime_error(fmt::format("'{}' is a folder", final_));
    if (exists && !overwrite_) throw std::runtime_error(fmt::format("'{}' exists and was kept (-y replaces it)", final_));
    temp_ = std::make_unique<TempFile>(fs::path(final_).parent_path().string(), kTempName);
}

std::string OutputFile::Unmasked(std::string text) const {
    const std::string& temp = temp_->Path();
    const std::string shown = ToStandardOutput() ? std::string("standard output") : final_;
    for (size_t at = 0; !temp.empty() && (at = text.find(temp, at)) != std::string::npos; at += shown.size())
        text.replace(at, temp.size(), shown);
    return text;
}

void OutputFile::Commit() {
    if (ToStandardOutput()) {
        CopyToStandardOutput(temp_->Path());
        return; // the temporary file goes with temp_
    }
    // The bytes reach the disk before the name does, so that after a power cut the final name
    // holds the whole file or is not there; the folder is synced after the rename.
    const char* from = temp_->Path().c_str();
    SyncToDisk(from, false, "'" + final_ + "'");
    // Without -y an output that appeared meanwhile is not replaced either.
    int result = overwrite_ ? rename(from, final_.c_str()) : renameat2(AT_FDCWD, from, AT_FDCWD, final_.c_str(), RENAME_NOREPLACE);
    if (result != 0 && !overwrite_ && errno == EINVAL) { // a file system without RENAME_NOREPLACE
        result = link(from, final_.c_str());
        if (result == 0) unlink(from);
    }
    if (result != 0) {
        if (errno == EEXIST) throw std::runtime_error(fmt::format("'{}' exists and was kept (-y replaces it)", final_));
        throw std::runtime_error(fmt::format("cannot move the finished file to '{}': {}", final_, std::strerror(errno)));
    }
    temp_->Moved();
    const std::string folder = std::filesystem::path(final_).parent_path().string();
    SyncToDisk(folder.empty() ? "." : folder, true, fmt::format("the folder entry of '{}' (the file is in place)", final_));
}
} // namespace sovahost
