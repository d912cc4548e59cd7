// SPDX-License-Identifier: MIT
// The checks on an input before it is read: a named pipe is never opened by them, since a reader
// that comes and goes lets the pipe's writer start and then kills it (SIGPIPE), and the audio is
// lost (seen as "Format not recognised" on a pipe fed by cat).
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "host/InputProblem.h"

namespace {
TEST(InputProblem, ANamedPipeIsCheckedWithoutOpeningIt) {
    char folder[] = "/tmp/sova-input-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string fifo = std::string(folder) + "/feed.wav";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    ASSERT_GE(inotify_add_watch(watch, fifo.c_str(), IN_OPEN), 0);

    EXPECT_EQ(sovahost::InputProblem(fifo), "");
    alignas(inotify_event) char events[4096];
    EXPECT_LT(read(watch, events, sizeof events), 1) << "the pipe was opened";

    // What cannot be read is still refused, and a plain file is still checked by opening it.
    chmod(fifo.c_str(), 0);
    if (geteuid() != 0) {
        EXPECT_NE(sovahost::InputProblem(fifo), "");
    }
    EXPECT_NE(sovahost::InputProblem(std::string(folder) + "/absent.wav"), "");
    close(watch);
    std::filesystem::remove_all(folder);
}
} // namespace
