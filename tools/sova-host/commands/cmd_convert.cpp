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
#include "EncodeDialog.h"
#include "EncodeSettings.h"
#include "RunCommand.h"
#include "ProfileOptions.h"
#include "cmd_encode.h"
#include "host/InputFormats.h"
#include "host/Leftovers.h"
#include "host/SignalCleanup.h"

namespace sovahost {
namespace {
namespace fs = std::filesystem;

struct Job {
    std::string input, output;
    FILE* log = nullptr;  // the child's stdout and stderr
    int status = -1;      // wait status
    int segments = 1;     // the jobs its encode may use
    double seconds = 0.0;
    std::chrono::steady_clock::time_point started;
    std::string failure;  // empty when the file was converted
    std::vector<std::string> warnings; // what the child changed of what was asked, a line each
};

// Starts `sova-host encode` for the job with its output captured; -1 when it cannot start.
pid_t Start(Job& job, const std::vector<std::string>& global, const std::vector<std::string>& encode, int segments) {
    job.log = std::tmpfile();
    if (!job.log) return -1;
    std::vector<std::string> args{"sova-host"};
    args.insert(args.end(), global.begin(), global.end());
    args.emplace_back("encode");
    args.insert(args.end(), encode.begin(), encode.end());
    args.emplace_back("--jobs");
    args.push_back(std::to_string(segments));
    args.emplace_back("--");
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

// What convert was given: its own options, and encode's and the global ones to hand on.
struct ConvertArguments {
    std::vector<std::string> inputs;
    std::string outputDir;
    bool recurse = false;
    int jobs = 0;
    EncodeOptions encode;
    EncodeOptionSet encodeOptions;
    CLI::App* root = nullptr; // sova-host's global options
};

int RunConvert(const HostOptions& options, const ConvertArguments& arguments) {
    EncodeOptions profiled = arguments.encode;
    ApplyDeliveryProfile(profiled, {}); // refused once here, not once per file
    const int jobsWanted = arguments.jobs > 0 ? arguments.jobs
                                              : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    std::vector<Skipped> skipped;
    const std::string extension = arguments.encode.broadcast.container == "bwf" ? ".wav" : ".mp2";
    std::vector<Job> jobs = PlanJobs(arguments.inputs, arguments.outputDir, arguments.recurse, extension, skipped);
    size_t skippedAudio = 0;
    for (const Skipped& file : skipped) {
        std::printf("skipped %s: %s\n", file.path.c_str(), file.reason.c_str());
        skippedAudio += file.audio ? 1 : 0;
    }
    if (jobs.empty()) throw std::runtime_error("no audio files found in " + arguments.inputs.front());
    CheckedSettings(arguments.encode.settingsText); // once here, not once per file
    // The children get the options as typed; after the dialog (asked once, for all files) its text
    // replaces the options it carries.
    std::vector<std::string> encodeArgs;
    if (arguments.encode.dialog) {
        encodeArgs = ForwardedArguments(arguments.encodeOptions.all, arguments.encodeOptions.inSettings);
        encodeArgs.emplace_back("--settings");
        encodeArgs.push_back(SettingsFromDialog(options, arguments.encode, jobs.front().input));
    } else {
        encodeArgs = ForwardedArguments(arguments.encodeOptions.all);
    }
    std::vector<std::string> global = ForwardedArguments(arguments.root->get_options());
    global.emplace_back("--quiet"); // children report only errors; the summary says the rest
    const bool terminal = isatty(STDOUT_FILENO);

    // Named once here: the children's own warnings go to their logs.
    std::set<std::string> folders;
    for (const Job& job : jobs) {
        const fs::path folder = fs::path(job.output).parent_path();
        folders.insert(folder.empty() ? "." : folder.string());
    }
    for (const std::string& folder : folders) WarnAboutLeftovers(folder);

    const auto started = std::chrono::steady_clock::now();
    std::map<pid_t, size_t> running;        // child to job
    int busy = 0;                           // processes the running children may use
    size_t next = 0, done = 0;
    const auto report = [&](const Job& job) {
        ++done;
        if (job.failure.empty())
            std::printf("[%zu/%zu] %s -> %s (%.2f s%s)\n", done, jobs.size(), job.input.c_str(), job.output.c_str(),
                        job.seconds, job.segments > 1 ? fmt::format(", {} jobs", job.segments).c_str() : "");
        else
            std::printf("[%zu/%zu] %s FAILED: %s\n", done, jobs.size(), job.input.c_str(), job.failure.c_str());
        for (const std::string& warning : job.warnings) std::printf("  warning: %s\n", warning.c_str());
        if (terminal) std::fflush(stdout);
    };
    while (next < jobs.size() || !running.empty()) {
        while (next < jobs.size() && busy < jobsWanted) {
            Job& job = jobs[next++];
            std::error_code error;
            if (job.failure.empty() && !fs::path(job.output).parent_path().empty())
                fs::create_directories(fs::path(job.output).parent_path(), error);
            if (!job.failure.empty()) {
                report(job);
                continue;
            }
            // Fewer files left than free jobs: the files are split into segments, the jobs shared out.
            const int idle = jobsWanted - busy;
            const int left = static_cast<int>(jobs.size() - next + 1);
            job.segments = left >= idle ? 1 : (idle + left - 1) / left;
            const pid_t pid = Start(job, global, encodeArgs, job.segments);
            if (pid < 0) {
                job.failure = fmt::format("cannot start a process: {}", std::strerror(errno));
                if (job.log) std::fclose(job.log);
                job.log = nullptr;
                report(job);
                continue;
            }
            running[pid] = static_cast<size_t>(&job - jobs.data());
            busy += job.segments;
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
        Job& finished = jobs[found->second];
        Finish(finished, status);
        report(finished);
        busy -= finished.segments;
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
    auto arguments = std::make_shared<ConvertArguments>();
    arguments->root = &app;
    CLI::App* command = app.add_subcommand("convert", "Save many audio files as MP2, several at a time");
    command->add_option("inputs", arguments->inputs,
                        "Audio files to encode, or folders: their files that encode reads (WAV, FLAC, AIFF, MP3, MP2, "
                        "Ogg, Opus...); the others are listed as skipped, with the reason")
        ->required();
    command->add_option("-O,--output-dir", arguments->outputDir,
                        "Folder for the MP2 files, keeping the paths below each folder named (default: next to each input)");
    command->add_flag("-r,--recursive", arguments->recurse, "Take the files in the folders' subfolders as well");
    command->add_option("-j,--jobs", arguments->jobs,
                        "Processes at work (default: one per processor): one file each, and when fewer files than "
                        "jobs remain, the jobs left over encode segments of the files")
        ->check(CLI::Range(1, 256));
    arguments->encodeOptions = AddEncodeOptions(*command, arguments->encode);
    RunsAs(*command, options, [&options, arguments] { return RunConvert(options, *arguments); });
}
} // namespace sovahost
