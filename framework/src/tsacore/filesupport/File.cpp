// SPDX-License-Identifier: MIT
#include <tsacore/filesupport/File.h>

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <tsacore/utility/StringConversion.h>

#include "Failure.h"
#include "OpenForWriting.h"

namespace tsacore::filesupport {
File::File(const UString& path) : path_(path), nativePath_(utility::UTF16to8(path)) {}

bool File::Exists() const
{
    struct stat info {};
    return ::stat(nativePath_.c_str(), &info) == 0;
}

void File::Delete()
{
    if (::unlink(nativePath_.c_str()) != 0)
        Fail("cannot delete", nativePath_, errno);
}

void File::Create(bool failIfExists)
{
    const int flags = O_CREAT | O_WRONLY | O_TRUNC | O_CLOEXEC | (failIfExists ? O_EXCL : 0);
    ::close(OpenForWriting(nativePath_, flags, "cannot create"));
}

uint64_t File::Size(int32_t /*selector*/) const
{
    // Every selector answers the size of the file's data: there is no other fork here.
    struct stat info {};
    if (::stat(nativePath_.c_str(), &info) != 0)
        Fail("cannot read the size of", nativePath_, errno);
    return static_cast<uint64_t>(info.st_size);
}

UString File::GetExtension(bool withDot) const
{
    const auto slash = path_.find_last_of(u'/');
    const size_t nameStart = slash == UString::npos ? 0 : slash + 1;
    const auto dot = path_.find_last_of(u'.');
    if (dot == UString::npos || dot < nameStart)
        return {};
    return path_.substr(withDot ? dot : dot + 1);
}
} // namespace tsacore::filesupport
