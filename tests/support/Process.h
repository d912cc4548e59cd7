// SPDX-License-Identifier: MIT
// Child processes for the tests: sova-host and the reference tools, run as a user runs them,
// with what they wrote on stdout and stderr and how they ended.
#pragma once

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace testsupport {
struct ProcessRun {
    int status = -1;      // as from waitpid
    std::string out, err; // stdout and stderr (with mergeStderr, both in out, in the order written)
    int ExitCode() const { return WIFEXITED(status) ? WEXITSTATUS(status) : -1; }
    bool Succeeded() const { return ExitCode() == 0; }
};

struct ProcessSetup {
    std::string stdinPath = "/dev/null"; // no terminal, so no progress bars
    bool mergeStderr = false;
    std::function<void()> inChild; // runs in the child just before exec
};

// Starts args[0] (looked up in PATH) with stdout and stderr going to the files at outPath and
// errPath (created or emptied; errPath ignored with mergeStderr). The caller waits for it.
inline pid_t StartProcess(std::vector<std::string> args, const std::string& outPath, const std::string& errPath,
                          const ProcessSetup& setup = {}) {
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(open(setup.stdinPath.c_str(), O_RDONLY), STDIN_FILENO);
        dup2(out, STDOUT_FILENO);
        dup2(setup.mergeStderr ? out : open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), STDERR_FILENO);
        if (setup.inChild) setup.inChild();
        execvp(argv[0], argv.data());
        _exit(127);
    }
    return pid;
}

// Runs args to the end.
inline ProcessRun RunProcess(std::vector<std::string> args, const ProcessSetup& setup = {}) {
    char folder[] = "/tmp/sova-process-XXXXXX";
    if (!mkdtemp(folder)) return {};
    const std::string outPath = std::string(folder) + "/out", errPath = std::string(folder) + "/err";
    ProcessRun run;
    const pid_t pid = StartProcess(std::move(args), outPath, errPath, setup);
    if (pid > 0) waitpid(pid, &run.status, 0);
    const auto slurp = [](const std::string& path) {
        std::string text;
        if (FILE* file = std::fopen(path.c_str(), "rb")) {
            char chunk[4096];
            for (size_t got; (got = std::fread(chunk, 1, sizeof chunk, file)) > 0;) text.append(chunk, got);
            std::fclose(file);
        }
        std::remove(path.c_str());
        return text;
    };
    run.out = slurp(outPath);
    run.err = slurp(errPath);
    rmdir(folder);
    return run;
}

// A shell command line (its words quoted by the caller), run to the end.
inline ProcessRun RunShell(const std::string& command, const ProcessSetup& setup = {}) {
    return RunProcess({"/bin/sh", "-c", command}, setup);
}
} // namespace testsupport
