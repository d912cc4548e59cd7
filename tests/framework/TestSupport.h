// SPDX-License-Identifier: MIT
// Helpers of the framework tests: a temporary folder, whole-file reads and writes, and the errno
// of a raised file_exception.
#pragma once

#include <filesystem>
#include <fstream>
#include <functional>
#include <stdexcept>
#include <string>

#include <stdlib.h>

#include <tsacore/filesupport/FileException.h>

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempFolder {
public:
    TempFolder() : path_(std::filesystem::temp_directory_path() / "sova-fw-XXXXXX")
    {
        std::string pattern = path_.string();
        path_ = ::mkdtemp(pattern.data()) ? pattern : throw std::runtime_error("mkdtemp failed");
    }
    ~TempFolder() { std::error_code ignored; std::filesystem::remove_all(path_, ignored); }
    TempFolder(const TempFolder&) = delete;
    const std::filesystem::path& Path() const { return path_; }
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

inline std::string ReadWholeFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteWholeFile(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// errno of the file_exception that action raises, 0 when it raises none.
inline int ErrorOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const tsacore::filesupport::file_exception& failure) {
        return failure.ErrorNumber();
    }
    return 0;
}
