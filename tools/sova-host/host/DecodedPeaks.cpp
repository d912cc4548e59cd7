// SPDX-License-Identifier: MIT
#include "host/DecodedPeaks.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <new>
#include <utility>
#include <vector>

#include <fmt/format.h>

#include "host/FrameWalk.h"
#include "host/ReadThrough.h"
#include "host/SignalCleanup.h"
#include "host/TempFile.h"
#include "host/TruePeak.h"

namespace sovahost {
namespace {
constexpr int64_t kPartMinFrames = 400; // about 10 s at 48 kHz: shorter parts are not worth their lead
constexpr int kPartsPerJob = 4;         // small parts, taken in turn, keep a slower core from holding up the end
constexpr int64_t kLeadFrames = 2;      // decoded before a part's own frames and not measured
constexpr int64_t kFrameSamples = 1152; // Layer II
constexpr int32_t kBlock = 16384;       // frames per read through the module

// What the children share with the parent: the next part to take, and each child's figures.
struct SharedParts {
    std::atomic<int64_t> next{0};
    struct Child {
        std::atomic<int64_t> done{0}; // own samples of its parts decoded, for the progress bar
        float truePeak = 0.0f, samplePeak = 0.0f;
    };
    Child* Children() { return reinterpret_cast<Child*>(this + 1); } // one per child, after this record
    static size_t Bytes(size_t children) { return sizeof(SharedParts) + sizeof(Child) * children; }
};

struct Part {
    uint64_t from = 0, to = 0; // bytes of the file copied, lead frames included
    int64_t lead = 0;          // frames decoded before the part's own
    int64_t samples = 0;       // the part's own samples per channel
};

// The frames' byte offsets, or nothing when the file is not Layer II frames alone, with nothing
// between them and no Info frame, from its first byte to its last.
std::optional<std::vector<uint64_t>> PlainFrameOffsets(const std::string& path) {
    std::vector<uint64_t> offsets;
    const std::optional<FrameWalk> walk =
        WalkFrames(path, [&offsets](const FrameHeader&, uint64_t offset, std::span<const uint8_t>) { offsets.push_back(offset); });
    if (!walk || !walk->Found() || walk->freeFormat || walk->info || !walk->problems.empty() || walk->first->layer != 2 ||
        static_cast<int64_t>(offsets.size()) != walk->frames || walk->truncatedSamples > 0)
        return std::nullopt;
    offsets.push_back(walk->audioEnd);
    return offsets;
}

std::vector<Part> PlanParts(const std::vector<uint64_t>& offsets, int jobs) {
    const auto frames = static_cast<int64_t>(offsets.size()) - 1;
    const int64_t count = std::clamp<int64_t>(frames / kPartMinFrames, 1, int64_t{jobs} * kPartsPerJob);
    std::vector<Part> parts;
    for (int64_t p = 0; p < count; ++p) {
        const int64_t first = frames * p / count, end = frames * (p + 1) / count;
        const int64_t lead = std::min(first, kLeadFrames);
        parts.push_back(Part{offsets[static_cast<size_t>(first - lead)], offsets[static_cast<size_t>(end)], lead,
                             (end - first) * kFrameSamples});
    }
    return parts;
}

bool CopyBytes(const std::string& from, uint64_t start, uint64_t end, const std::string& to) {
    const int in = open(from.c_str(), O_RDONLY | O_CLOEXEC);
    const int out = open(to.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    bool copied = in >= 0 && out >= 0;
    std::vector<char> buffer(1 << 20);
    for (uint64_t at = start; copied && at < end;) {
        const ssize_t got = pread(in, buffer.data(), std::min<uint64_t>(buffer.size(), end - at), static_cast<off_t>(at));
        copied = got > 0 && write(out, buffer.data(), static_cast<size_t>(got)) == got;
        at += got > 0 ? static_cast<uint64_t>(got) : 0;
    }
    if (in >= 0) close(in);
    if (out >= 0 && close(out) != 0) copied = false;
    return copied;
}

// In a child: decodes the part's file and measures its own samples into `result`; true when it
// decoded exactly the samples its frames hold.
bool MeasurePart(StartedModule& module, const std::string& path, const Part& part, SharedParts::Child& result) {
    ReadSession session(module, path);
    session.HideDecoderNotes(true);
    if (session.Open() != sova::sdk::kResultOK) return false;
    const int32_t channels = session.Format().channelCount;
    if (channels < 1 || channels > 8) return false;
    TruePeak peaks(session.Format().sampleRate, channels);
    const int64_t skip = part.lead * kFrameSamples; // the lead's samples: the decoder settling
    int64_t at = 0;                                 // samples decoded, lead included
    std::vector<float> interleaved;
    const ReadThroughReport report = ReadThrough(session, kBlock, [&](const ReadSession& read) {
        const int64_t frames = read.FramesDone();
        interleaved.resize(static_cast<size_t>(frames * channels));
        for (int32_t c = 0; c < channels; ++c)
            for (int64_t i = 0; i < frames; ++i) interleaved[static_cast<size_t>(i * channels + c)] = read.Channel(c)[i];
        // The lead's last samples are the history the interpolator reaches back to.
        const int64_t measuredFrom = std::clamp<int64_t>(skip - at, 0, frames);
        const int64_t primeFrom = std::clamp<int64_t>(skip - 16 - at, 0, measuredFrom);
        peaks.Prime(interleaved.data() + primeFrom * channels, measuredFrom - primeFrom);
        peaks.Add(interleaved.data() + measuredFrom * channels, frames - measuredFrom);
        result.done.fetch_add(std::max<int64_t>(0, at + frames - std::max(at, skip)), std::memory_order_relaxed);
        at += frames;
        return true;
    });
    if (report.DecoderFailed() || at != skip + part.samples) return false;
    result.truePeak = std::max(result.truePeak, static_cast<float>(peaks.Peak()));
    result.samplePeak = std::max(result.samplePeak, static_cast<float>(peaks.SamplePeak()));
    return true;
}

// In a child: takes parts in turn until none is left, each copied into `file` and measured.
bool MeasureParts(StartedModule& module, const std::string& path, const std::vector<Part>& parts, const std::string& file,
                  SharedParts& shared, SharedParts::Child& result) {
    for (int64_t index; (index = shared.next.fetch_add(1)) < static_cast<int64_t>(parts.size());) {
        const Part& part = parts[static_cast<size_t>(index)];
        if (!CopyBytes(path, part.from, part.to, file) || !MeasurePart(module, file, part, result)) return false;
    }
    return true;
}

double Decibels(double linear) { return linear > 0.0 ? 20.0 * std::log10(linear) : -HUGE_VAL; }

// Runs `jobs` children over the parts; false when one failed or could not be started (the file is
// then measured in one pass instead).
bool RunChildren(StartedModule& module, const std::string& path, const std::vector<Part>& parts, int jobs,
                 SharedParts& shared, const MeasureProgress& progress) {
    const std::filesystem::path parent = std::filesystem::path(path).parent_path();
    const std::string folder = parent.empty() ? std::string(".") : parent.string();
    std::vector<std::unique_ptr<TempFile>> files; // one per child, holding the part it works on
    for (int i = 0; i < jobs; ++i) files.push_back(std::make_unique<TempFile>(folder, fmt::format("decoded-part-{}.mp2", i + 1)));
    std::vector<pid_t> pids;
    std::fflush(nullptr);
    for (int i = 0; i < jobs; ++i) {
        const pid_t pid = ForkChildEndingWithParent(SIGKILL);
        if (pid == 0) {
            bool measured = false;
            try {
                measured = MeasureParts(module, path, parts, files[static_cast<size_t>(i)]->Path(), shared, shared.Children()[i]);
            } catch (...) {
            }
            _exit(measured ? 0 : 1); // never the parent's destructors: its temporary files are its own
        }
        if (pid < 0) break;
        pids.push_back(pid);
    }
    bool allMeasured = static_cast<int>(pids.size()) == jobs;
    for (size_t waiting = pids.size(); waiting > 0;) {
        for (pid_t& pid : pids) {
            int status = 0;
            if (pid <= 0 || waitpid(pid, &status, WNOHANG) != pid) continue;
            UnlistChild(pid);
            pid = 0;
            --waiting;
            allMeasured = allMeasured && WIFEXITED(status) && WEXITSTATUS(status) == 0;
        }
        int64_t done = 0;
        for (int i = 0; i < jobs; ++i) done += shared.Children()[i].done.load(std::memory_order_relaxed);
        if (progress) progress(done);
        if (waiting > 0) poll(nullptr, 0, 20);
    }
    // A child that could not start left parts unmeasured.
    return allMeasured && shared.next.load() >= static_cast<int64_t>(parts.size());
}
} // namespace

size_t DecodedPeakParts(const std::string& path, int jobs) {
    const std::optional<std::vector<uint64_t>> offsets = jobs > 1 ? PlainFrameOffsets(path) : std::nullopt;
    return offsets ? PlanParts(*offsets, jobs).size() : 1;
}

std::optional<LoudnessFacts> DecodedPeaks(StartedModule& module, const std::string& path, int jobs,
                                          const MeasureProgress& progress) {
    const auto onePass = [&]() -> std::optional<LoudnessFacts> {
        const std::optional<FileLoudness> measured =
            MeasureFile(module, path, true, true, progress, LoudnessMeter::Measures::PeaksOnly);
        return measured ? std::optional(measured->facts) : std::nullopt;
    };
    const std::optional<std::vector<uint64_t>> offsets = jobs > 1 ? PlainFrameOffsets(path) : std::nullopt;
    if (!offsets) return onePass();
    const std::vector<Part> parts = PlanParts(*offsets, jobs);
    if (parts.size() < 2) return onePass();

    const int children = static_cast<int>(std::min<size_t>(static_cast<size_t>(jobs), parts.size()));
    const size_t bytes = SharedParts::Bytes(static_cast<size_t>(children));
    void* mapped = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) return onePass();
    const std::unique_ptr<void, std::function<void(void*)>> unmap(mapped, [bytes](void* at) { munmap(at, bytes); });
    auto& shared = *new (mapped) SharedParts;
    for (int i = 0; i < children; ++i) new (&shared.Children()[i]) SharedParts::Child;
    if (!RunChildren(module, path, parts, children, shared, progress)) return onePass();

    float truePeak = 0.0f, samplePeak = 0.0f;
    for (int i = 0; i < children; ++i) {
        truePeak = std::max(truePeak, shared.Children()[i].truePeak);
        samplePeak = std::max(samplePeak, shared.Children()[i].samplePeak);
    }
    LoudnessFacts facts;
    facts.truePeakDbtp = Decibels(truePeak);
    facts.samplePeakDbfs = Decibels(samplePeak);
    return facts;
}
} // namespace sovahost
