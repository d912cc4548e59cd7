// SPDX-License-Identifier: MIT
// sova-host convert FILE...: saves many audio files as MP2, each in its own `sova-host encode`
// process (so each has its own module instance and writer), up to --jobs at a time. A file
// that fails does not stop the others; a summary follows at the end. A signal that ends
// convert ends the running children first, and they remove their unfinished files; when
// convert is killed outright (-9), they end with it all the same.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <fmt/format.h>

#include "Commands.h"
#include "cmd_encode.h"
#include "host/InputFormats.h"
#include "host/Leftovers.h"
#include "host/SettingsText.h"
#include "host/SettingsValues.h"
#include "host/SignalCleanup.h"

namespace sovahost {
namespace {
namespace fs = std::filesystem;

struct Job {
    std::string input, output;
    FILE* log = nullptr;  // the child's stdout and stderr
    int status = -1;      // wait status
    double seconds = 0.0;
    std::chrono::steady_clock::time_point started;
    std::string failure;  // empty when the file was converted
    std::vector<std::string> warnings; // what the child changed of what was asked, a line each
};

std::vector<std::string> GlobalArguments(const HostOptions& options) {
    std::vector<std::string> args{"--module", options.modulePath};
    for (const auto& folder : options.codecFolders) {
        args.emplace_back("--codec-dir");
        args.push_back(folder);
    }
    if (options.codecFoldersOnly) args.emplace_back("--codec-dir-only");
    if (options.trace) args.emplace_back("--trace");
    if (!options.translationsPath.empty()) {
        args.emplace_back("--translations");
        args.push_back(options.translationsPath);
    }
    return args;
}

// Starts `sova-host encode` for the job with its output captured; false when it cannot start.
pid_t Start(Job& job, const std::vector<std::string>& global, const std::vector<std::string>& encode) {
    job.log = std::tmpfile();
    if (!job.log) return -1;
    std::vector<std::string> args{"sova-host"};
    args.insert(args.end(), global.begin(), global.end());
    args.emplace_back("encode");
    args.insert(args.end(), encode.begin(), encode.end());
    args.push_back(job.input);
    args.push_back(job.output);
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);

    std::fflush(nullptr);
    job.started = std::chrono::steady_clock::now();
    // The child ends with convert, however convert ends (its own handler then removes its files).
    const pid_t pid = ForkChildEndingWithParent(SIGTERM);
    if (pid == 0) {
        const int fd = fileno(job.log);
        dup2(fd, STDOUT_FILENO);
        dup2(fd, STDERR_FILENO);
        execv("/proc/self/exe", argv.data());
        std::fprintf(stderr, "cannot start sova-host: %s\n", std::strerror(errno));
        _exit(127);
    }
    return pid;
}

std::vector<std::string> Lines(FILE* log) {
    std::string text;
    std::rewind(log);
    char chunk[4096];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, log)) > 0) text.append(chunk, got);
    std::vector<std::string> lines;
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        while (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

void Finish(Job& job, int status) {
    job.status = status;
    job.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - job.started).count();
    const std::vector<std::string> lines = job.log ? Lines(job.log) : std::vector<std::string>{};
    const std::string warning = "sova-host: warning: ";
    for (const std::string& line : lines)
        if (line.rfind(warning, 0) == 0) job.warnings.push_back(line.substr(warning.size()));
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
        job.failure.clear();
    } else {
        std::string last = lines.empty() ? "" : lines.back();
        const std::string prefix = "sova-host: ";
        if (last.rfind(prefix, 0) == 0) last.erase(0, prefix.size());
        job.failure = WIFSIGNALED(status) ? fmt::format("terminated by signal {} ({})", WTERMSIG(status),
                                                        strsignal(WTERMSIG(status)))
                                          : (last.empty() ? fmt::format("exit code {}", WEXITSTATUS(status)) : last);
    }
    if (job.log) std::fclose(job.log);
    job.log = nullptr;
}

// A file of a named folder that is not converted, and why.
struct Skipped {
    std::string path, reason;
    bool audio = false; // audio that sova-host cannot read: the folder is not converted in full
};

// Each input file with the output it goes to: next to it, or under outputDir keeping the path
// below the folder that was named on the command line. A named folder gives every file whose
// extension names a format that encode reads; the rest of it goes to `skipped`. Outputs end in
// `extension` (".mp2", or ".wav" for broadcast WAV files).
std::vector<Job> PlanJobs(const std::vector<std::string>& inputs, const std::string& outputDir, bool recurse,
                          const std::string& extension, std::vector<Skipped>& skipped) {
    std::vector<Job> jobs;
    const auto outputFor = [&](const fs::path& input, const fs::path& below) {
        const fs::path folder = outputDir.empty() ? input.parent_path() : (fs::path(outputDir) / below).lexically_normal();
        return (folder / input.stem()).string() + extension;
    };
    const auto add = [&](const fs::path& input, const fs::path& below) {
        Job job;
        job.input = input.string();
        job.output = outputFor(input, below);
        std::error_code error;
        for (const Job& earlier : jobs)
            if (fs::weakly_canonical(earlier.output, error) == fs::weakly_canonical(job.output, error))
                job.failure = "'" + earlier.input + "' is saved to the same file, " + job.output;
        jobs.push_back(std::move(job));
    };
    for (const std::string& input : inputs) {
        std::error_code error;
        if (!fs::is_directory(input, error)) {
            add(input, {});
            continue;
        }
        std::vector<fs::path> found;
        // An output folder inside this one is not searched: its MP2 files are not inputs.
        fs::path outputs = outputDir.empty() ? fs::path() : fs::weakly_canonical(outputDir, error);
        if (outputs == fs::weakly_canonical(input, error)) outputs.clear();
        const size_t skippedBefore = skipped.size();
        // True for a folder to search (-r).
        const auto take = [&](const fs::directory_entry& entry) {
            const fs::path& file = entry.path();
            const std::string output = outputFor(file, file.parent_path().lexically_relative(input));
            if (entry.is_directory(error)) {
                if (!outputs.empty() && fs::weakly_canonical(file, error) == outputs)
                    skipped.push_back({file.string() + "/", "the output folder"});
                else if (!recurse)
                    skipped.push_back({file.string() + "/", "a folder (-r takes the files in folders)"});
                else
                    return true;
            } else if (!entry.is_regular_file(error)) {
                skipped.push_back({file.string(), "not a regular file"});
            } else if (HasReadableExtension(file)) {
                if (fs::weakly_canonical(file, error) == fs::weakly_canonical(output, error))
                    skipped.push_back({file.string(), "its MP2 file would be the file itself (-O names another folder)"});
                else
                    found.push_back(file);
            } else if (std::string advice = UnreadableFormatAdvice(file, output); !advice.empty()) {
                skipped.push_back({file.string(), std::move(advice), true});
            } else {
                skipped.push_back({file.string(), "not a format sova-host reads"});
            }
            return false;
        };
        if (recurse) {
            for (fs::recursive_directory_iterator it(input, error), end; it != end; it.increment(error))
                if (!take(*it)) it.disable_recursion_pending();
        } else {
            for (const auto& entry : fs::directory_iterator(input, error)) take(entry);
        }
        std::sort(found.begin(), found.end());
        std::sort(skipped.begin() + static_cast<std::ptrdiff_t>(skippedBefore), skipped.end(),
                  [](const Skipped& a, const Skipped& b) { return a.path < b.path; });
        for (const fs::path& file : found) add(file, file.parent_path().lexically_relative(input));
    }
    return jobs;
}

int RunConvert(const HostOptions& options, const std::vector<std::string>& inputs, const std::string& outputDir,
               bool recurse, int jobsWanted, EncodeOptions encode) {
    std::vector<Skipped> skipped;
    const std::string extension = encode.broadcast.container == "bwf" ? ".wav" : ".mp2";
    std::vector<Job> jobs = PlanJobs(inputs, outputDir, recurse, extension, skipped);
    size_t skippedAudio = 0;
    for (const Skipped& file : skipped) {
        std::printf("skipped %s: %s\n", file.path.c_str(), file.reason.c_str());
        skippedAudio += file.audio ? 1 : 0;
    }
    if (jobs.empty()) {
        std::fprintf(stderr, "sova-host: no audio files found in %s\n", inputs.front().c_str());
        return 1;
    }
    WarnAboutSettingsText(encode.settingsText);
    if (const auto problems = SettingsValueProblems(encode.settingsText); !problems.empty())
        throw std::runtime_error(fmt::format("--settings: {}", fmt::join(problems, "; ")));
    if (encode.dialog) { // asked once, for all files
        encode = WithSettingsText(encode, SettingsFromDialog(options, encode, jobs.front().input));
    }
    std::vector<std::string> global = GlobalArguments(options);
    global.emplace_back("--quiet"); // children report only errors; the summary says the rest
    if (options.overwrite) global.emplace_back("--overwrite");
    encode.jobs = 1; // one process per file: the files are what runs side by side
    const std::vector<std::string> encodeArgs = EncodeArguments(encode);
    const bool terminal = isatty(STDOUT_FILENO);

    // Named once here: the children's own warnings go to their logs.
    std::set<std::string> folders;
    for (const Job& job : jobs) {
        const fs::path folder = fs::path(job.output).parent_path();
        folders.insert(folder.empty() ? "." : folder.string());
    }
    for (const std::string& folder : folders) WarnAboutLeftovers(folder);

    const auto started = std::chrono::steady_clock::now();
    std::map<pid_t, size_t> running;
    size_t next = 0, done = 0;
    const auto report = [&](const Job& job) {
        ++done;
        if (job.failure.empty())
            std::printf("[%zu/%zu] %s -> %s (%.2f s)\n", done, jobs.size(), job.input.c_str(), job.output.c_str(),
                        job.seconds);
        else
            std::printf("[%zu/%zu] %s FAILED: %s\n", done, jobs.size(), job.input.c_str(), job.failure.c_str());
        for (const std::string& warning : job.warnings) std::printf("  warning: %s\n", warning.c_str());
        if (terminal) std::fflush(stdout);
    };
    while (next < jobs.size() || !running.empty()) {
        while (next < jobs.size() && static_cast<int>(running.size()) < jobsWanted) {
            Job& job = jobs[next++];
            std::error_code error;
            if (job.failure.empty() && !fs::path(job.output).parent_path().empty())
                fs::create_directories(fs::path(job.output).parent_path(), error);
            if (!job.failure.empty()) {
                report(job);
                continue;
            }
            const pid_t pid = Start(job, global, encodeArgs);
            if (pid < 0) {
                job.failure = fmt::format("cannot start a process: {}", std::strerror(errno));
                if (job.log) std::fclose(job.log);
                job.log = nullptr;
                report(job);
                continue;
            }
            running[pid] = static_cast<size_t>(&job - jobs.data());
        }
        if (running.empty()) break;
        int status = 0;
        const pid_t pid = waitpid(-1, &status, 0); // every child of this process is one of the jobs
        if (pid < 0) {
            if (errno == EINTR) continue;
            break;
        }
        UnlistChild(pid);
        const auto found = running.find(pid);
        if (found == running.end()) continue;
        Finish(jobs[found->second], status);
        report(jobs[found->second]);
        running.erase(found);
    }

    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    size_t failed = 0;
    for (const auto& job : jobs) failed += job.failure.empty() ? 0 : 1;
    std::printf("converted %zu of %zu file%s in %.2f s with %d job%s", jobs.size() - failed, jobs.size(),
                jobs.size() == 1 ? "" : "s", seconds, jobsWanted, jobsWanted == 1 ? "" : "s");
    std::printf(failed ? ", %zu failed:\n" : "\n", failed);
    for (const auto& job : jobs)
        if (!job.failure.empty()) std::printf("  %s: %s\n", job.input.c_str(), job.failure.c_str());
    if (!skipped.empty())
        std::printf("skipped %zu (listed above)%s\n", skipped.size(),
                    skippedAudio ? fmt::format(", {} of them audio that sova-host does not read", skippedAudio).c_str() : "");
    return failed || skippedAudio ? 1 : 0;
}
} // namespace

void RegisterConvertCommand(CLI::App& app, HostOptions& options) {
    struct Arguments {
        std::vector<std::string> inputs;
        std::string outputDir;
        bool recurse = false;
        int jobs = 0;
        EncodeOptions encode;
    };
    auto arguments = std::make_shared<Arguments>();
    CLI::App* command = app.add_subcommand("convert", "Save many audio files as MP2, several at a time");
    command->add_option("inputs", arguments->inputs,
                        "Audio files to encode, or folders: their files that encode reads (WAV, FLAC, AIFF, MP3, MP2, "
                        "Ogg, Opus...); the others are listed as skipped, with the reason")
        ->required();
    command->add_option("-O,--output-dir", arguments->outputDir,
                        "Folder for the MP2 files, keeping the paths below each folder named (default: next to each input)");
    command->add_flag("-r,--recursive", arguments->recurse, "Take the files in the folders' subfolders as well");
    command->add_option("-j,--jobs", arguments->jobs, "Files encoded at the same time (default: one per processor)")
        ->check(CLI::Range(1, 256));
    AddEncodeOptions(*command, arguments->encode);
    command->callback([&options, arguments] {
        const int jobs = arguments->jobs > 0 ? arguments->jobs
                                             : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
        try {
            options.exitCode = RunConvert(options, arguments->inputs, arguments->outputDir, arguments->recurse, jobs,
                                          arguments->encode);
        } catch (const std::exception& error) {
            std::fflush(stdout);
            std::fprintf(stderr, "sova-host: %s\n", error.what());
            options.exitCode = 1;
        }
    });
}
} // namespace sovahost
