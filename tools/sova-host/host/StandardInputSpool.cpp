// SPDX-License-Identifier: MIT
#include "host/StandardInputSpool.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include <fmt/format.h>

namespace sovahost {
std::unique_ptr<TempFile> SpoolStandardInput() {
    const char* tmp = std::getenv("TMPDIR");
    const std::string folder = tmp && *tmp ? tmp : "/tmp";
    auto spool = std::make_unique<TempFile>(folder, "input.part");
    FILE* out = std::fopen(spool->Path().c_str(), "wb");
    if (!out) throw std::runtime_error(fmt::format("cannot write in '{}': {}", folder, std::strerror(errno)));
    char chunk[65536];
    size_t got;
    int writeError = 0;
    while (!writeError && (got = std::fread(chunk, 1, sizeof chunk, stdin)) > 0)
        if (std::fwrite(chunk, 1, got, out) != got) writeError = errno;
    const int readError = std::ferror(stdin) ? errno : 0;
    if (std::fclose(out) != 0 && !writeError) writeError = errno;
    if (readError) throw std::runtime_error(fmt::format("cannot read standard input: {}", std::strerror(readError)));
    if (writeError)
        throw std::runtime_error(fmt::format("cannot keep standard input in a temporary file in '{}': {}", folder,
                                             std::strerror(writeError)));
    return spool;
}
} // namespace sovahost
