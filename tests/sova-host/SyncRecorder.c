// SPDX-License-Identifier: MIT
/* Loaded with LD_PRELOAD into sova-host by the tests: records every fsync and rename, in the
 * order made, one line each in the file named by SOVA_SYNC_LOG ("fsync PATH", "rename FROM TO"),
 * then does the real call. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

static void Record(const char* what, const char* first, const char* second) {
    const char* log = getenv("SOVA_SYNC_LOG");
    if (!log) return;
    char line[3 * 4096 + 32];
    const int length = snprintf(line, sizeof line, "%s %s%s%s\n", what, first, second ? " " : "", second ? second : "");
    const int fd = open(log, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0) return;
    if (write(fd, line, length > 0 && (size_t)length < sizeof line ? (size_t)length : 0) < 0) { /* best effort */ }
    close(fd);
}

static void RecordDescriptor(const char* what, int fd) {
    char link[64], path[4096];
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t got = readlink(link, path, sizeof path - 1);
    path[got > 0 ? got : 0] = '\0';
    Record(what, path, NULL);
}

int fsync(int fd) {
    RecordDescriptor("fsync", fd);
    int (*real)(int) = (int (*)(int))dlsym(RTLD_NEXT, "fsync");
    return real(fd);
}

int fdatasync(int fd) {
    RecordDescriptor("fdatasync", fd);
    int (*real)(int) = (int (*)(int))dlsym(RTLD_NEXT, "fdatasync");
    return real(fd);
}

int rename(const char* from, const char* to) {
    Record("rename", from, to);
    int (*real)(const char*, const char*) = (int (*)(const char*, const char*))dlsym(RTLD_NEXT, "rename");
    return real(from, to);
}

int renameat2(int fromDir, const char* from, int toDir, const char* to, unsigned int flags) {
    Record("rename", from, to);
    int (*real)(int, const char*, int, const char*, unsigned int) =
        (int (*)(int, const char*, int, const char*, unsigned int))dlsym(RTLD_NEXT, "renameat2");
    return real(fromDir, from, toDir, to, flags);
}

int link(const char* from, const char* to) {
    Record("link", from, to);
    int (*real)(const char*, const char*) = (int (*)(const char*, const char*))dlsym(RTLD_NEXT, "link");
    return real(from, to);
}
