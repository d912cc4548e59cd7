// SPDX-License-Identifier: MIT
#include "EncodeSegments.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <limits>
#include <memory>
#include <new>
#include <stdexcept>
#include <utility>
#include <vector>

#include <fmt/format.h>
#include <sova/SampleFormatCode.h>
#include <sova/Selectors.h>

#include "host/AudioSource.h"
#include "host/FrameHeaders.h"
#include "host/SegmentPlan.h"
#include "host/SignalCleanup.h"
#include "host/TempFile.h"

namespace sovahost {
using namespace sova::sdk;

namespace {
// What the parent shares with the segments: how far the converted samples are written, the total
// once known, and each segment's samples done past its lead (for the progress bar).
struct SharedProgress {
    std::atomic<int64_t> written{0};
    std::atomic<int64_t> total{-1}; // -1 while the conversion runs
    // Two counters per segment, right after this record in the same mapping: the samples done, then
    // the samples beyond full scale in its kept part (when it reads the source itself).
    std::atomic<int64_t>* Done() { return reinterpret_cast<std::atomic<int64_t>*>(this + 1); }
    std::atomic<int64_t>* OverFullScale(size_t segments) { return Done() + segments; }
    static size_t Bytes(size_t segments) { return sizeof(SharedProgress) + 2 * sizeof(std::atomic<int64_t>) * segments; }
};

// Waits until the samples up to `end` are written (true) or the conversion ended before (false).
bool WaitForSamples(const SharedProgress& shared, int64_t end) {
    for (;;) {
        if (shared.written.load(std::memory_order_acquire) >= end) return true;
        if (shared.total.load(std::memory_order_acquire) >= 0) return shared.written.load(std::memory_order_acquire) >= end;
        usleep(2000);
    }
}

// The feed's samples, interleaved frame by frame in the code the module is handed, in `raw`,
// published block by block in shared.written (the segments read them while this runs); returns
// the samples per channel.
int64_t WriteSamples(SampleFeed& feed, int32_t channels, int64_t blockFrames, const std::string& raw,
                     SharedProgress& shared) {
    const size_t width = static_cast<size_t>(BytesPerSample(feed.Code()));
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(raw.c_str(), "wb"), std::fclose);
    if (!file) throw std::runtime_error(fmt::format("cannot write the converted samples: {}", std::strerror(errno)));
    std::vector<std::vector<uint8_t>> buffers;
    std::vector<uint8_t> interleaved;
    int64_t total = 0;
    for (int64_t got; (got = feed.Read(blockFrames, buffers)) > 0; total += got) {
        interleaved.resize(static_cast<size_t>(got) * channels * width);
        for (int64_t i = 0; i < got; ++i)
            for (int32_t c = 0; c < channels; ++c)
                std::memcpy(&interleaved[(static_cast<size_t>(i) * channels + c) * width],
                            &buffers[static_cast<size_t>(c)][static_cast<size_t>(i) * width], width);
        if (std::fwrite(interleaved.data(), 1, interleaved.size(), file.get()) != interleaved.size() ||
            std::fflush(file.get()) != 0)
            throw std::runtime_error(fmt::format("cannot write the converted samples: {}", std::strerror(errno)));
        shared.written.store(total + got, std::memory_order_release);
    }
    return total;
}

// Where a segment's samples come from, block after block: up to `frames` samples from sample `at`
// (each call starting where the last ended), one buffer per channel; returns the samples
// delivered, 0 at the end of the file, -1 when they cannot be read.
using BlockSource = std::function<int64_t(int64_t at, int64_t frames, std::vector<std::vector<uint8_t>>& buffers)>;

// The parent's converted samples in `fd`, waited for while the conversion writes them.
BlockSource ConvertedSamples(int fd, const SharedProgress& shared, int32_t channels, size_t width, bool last) {
    auto interleaved = std::make_shared<std::vector<uint8_t>>();
    return [=, &shared](int64_t at, int64_t frames, std::vector<std::vector<uint8_t>>& buffers) -> int64_t {
        if (!WaitForSamples(shared, at + frames) && !last) return -1;
        frames = std::min(frames, shared.written.load(std::memory_order_acquire) - at);
        if (frames <= 0) return 0;
        const size_t bytes = static_cast<size_t>(frames) * channels * width;
        interleaved->resize(bytes);
        if (pread(fd, interleaved->data(), bytes, static_cast<off_t>(at * channels * static_cast<int64_t>(width))) !=
            static_cast<ssize_t>(bytes))
            return -1;
        buffers.resize(static_cast<size_t>(channels));
        for (int32_t c = 0; c < channels; ++c) {
            auto& buffer = buffers[static_cast<size_t>(c)];
            buffer.resize(static_cast<size_t>(frames) * width);
            for (int64_t i = 0; i < frames; ++i)
                std::memcpy(&buffer[static_cast<size_t>(i) * width], &(*interleaved)[(static_cast<size_t>(i) * channels + c) * width], width);
        }
        return frames;
    };
}

// The source read by the segment itself from its first sample on, through a replica of the
// parent's feed; the samples it finds beyond full scale from the kept part on are counted in
// `overFullScale` (blocks never straddle keepFrom: EncodeSegment cuts them there).
BlockSource OwnReading(const SegmentedEncode& job, const Segment& segment, const SampleFeed& like,
                       std::atomic<int64_t>& overFullScale) {
    auto source = std::make_shared<AudioSource>(job.sourcePath, job.sourcePath);
    source->Seek(segment.encodeFrom);
    auto feed = std::make_shared<SampleFeed>(*source, like);
    auto before = std::make_shared<int64_t>(0); // the count in the lead, not this segment's to report
    return [source, feed, before, keepFrom = segment.keepFrom, &overFullScale](int64_t at, int64_t frames,
                                                                              std::vector<std::vector<uint8_t>>& buffers) {
        if (at == keepFrom) *before = feed->OverFullScale();
        const int64_t got = feed->Read(frames, buffers);
        if (at >= keepFrom) overFullScale.store(feed->OverFullScale() - *before, std::memory_order_relaxed);
        return got;
    };
}

// In the child: the segment's samples, from the converted file `raw` or, without it, from the source.
BlockSource SegmentSamples(const SegmentedEncode& job, const Segment& segment, const TempFile* raw, SharedProgress& shared,
                           size_t index, size_t segments, const SampleFeed& like) {
    if (!raw) return OwnReading(job, segment, like, shared.OverFullScale(segments)[index]);
    const int fd = open(raw->Path().c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw std::runtime_error(fmt::format("cannot read the converted samples: {}", std::strerror(errno)));
    return ConvertedSamples(fd, shared, job.format.channelCount, static_cast<size_t>(BytesPerSample(job.format.sampleFormat)),
                            segment.last);
}

// In the child: encodes the segment's samples into `path` through selectors 17, 18 and 19,
// publishing the samples done past its lead in shared.Done()[index]; returns the exit status.
int EncodeSegment(const SegmentedEncode& job, const Segment& segment, const BlockSource& samples, const std::string& path,
                  SharedProgress& shared, size_t index) {
    AudioFormat format = job.format;
    WriteOpenRequest open;
    open.sink = job.sink;
    open.path = FromUtf8(path);
    open.format = &format;
    if (job.plugIn->Call(kSelectorOpenForWrite, nullptr, &open) != kResultOK || !open.writeHandle) return 3;
    WriteRequest write;
    write.sink = job.sink;
    write.format = &format;
    std::vector<std::vector<uint8_t>> buffers;
    // The last segment reads to the end of the file.
    const int64_t limit = segment.last ? std::numeric_limits<int64_t>::max() : segment.end;
    for (int64_t at = segment.encodeFrom; at < limit;) {
        const int64_t stop = at < segment.keepFrom ? segment.keepFrom : limit; // the lead ends a block
        const int64_t frames = samples(at, std::min(job.blockFrames, stop - at), buffers);
        if (frames < 0 || (frames == 0 && !segment.last)) return 2;
        if (frames == 0) break;
        write.buffers.clear();
        for (const auto& buffer : buffers) write.buffers.push_back(buffer.data());
        write.frameCount = frames;
        if (job.plugIn->Call(kSelectorWriteSamples, open.writeHandle, &write) != kResultOK) return 4;
        at += frames;
        shared.Done()[index].store(std::max<int64_t>(0, at - segment.keepFrom), std::memory_order_relaxed);
    }
    CloseRequest close;
    close.sink = job.sink;
    return job.plugIn->Call(kSelectorCloseWriter, open.writeHandle, &close) == kResultOK ? 0 : 4;
}

std::string ChildFailure(int index, int status) {
    static const char* const reasons[] = {"", "", "cannot read its samples", "the module could not open the "
                                          "segment's file", "the module could not encode the segment"};
    if (WIFEXITED(status)) {
        const int code = WEXITSTATUS(status);
        return fmt::format("segment {} failed: {}", index + 1,
                           code >= 2 && code <= 4 ? reasons[code] : fmt::format("exit status {}", code));
    }
    return fmt::format("segment {} failed: ended by signal {}", index + 1, WIFSIGNALED(status) ? WTERMSIG(status) : 0);
}

// Where a segment's kept frames lie in its file's `size` bytes: after its lead frames, and for
// all but the last segment exactly KeptFrames() frames long.
std::pair<size_t, size_t> KeptBytes(const uint8_t* bytes, size_t size, const Segment& segment, int index) {
    size_t at = 0, from = 0;
    int64_t frame = 0;
    const int64_t lead = segment.LeadFrames(), kept = segment.KeptFrames();
    while (at < size && (segment.last || frame < lead + kept)) {
        if (frame == lead) from = at;
        const auto header = size - at >= kFrameHeaderBytes ? ParseFrameHeader(bytes + at) : std::nullopt;
        if (!header || header->length == 0 || header->length > size - at)
            throw std::runtime_error(fmt::format("segment {} holds no whole frame at byte {}", index + 1, at));
        at += header->length;
        ++frame;
    }
    if (frame <= lead || frame < lead + (segment.last ? 0 : kept))
        throw std::runtime_error(fmt::format("segment {} gave {} frames, {} expected", index + 1, frame, lead + kept));
    return {from, at};
}

// Appends the segment's kept frames to the file open in `out`, straight from the segment's file
// mapped into memory.
void JoinSegment(const std::string& path, const Segment& segment, int index, int out) {
    const int in = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat facts {};
    if (in < 0 || fstat(in, &facts) != 0 || facts.st_size == 0) {
        if (in >= 0) close(in);
        throw std::runtime_error(fmt::format("segment {} wrote no frames", index + 1));
    }
    const auto size = static_cast<size_t>(facts.st_size);
    void* mapped = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, in, 0);
    close(in);
    if (mapped == MAP_FAILED) throw std::runtime_error(fmt::format("cannot read segment {}: {}", index + 1, std::strerror(errno)));
    const std::unique_ptr<void, std::function<void(void*)>> unmap(mapped, [size](void* at) { munmap(at, size); });
    const auto* bytes = static_cast<const uint8_t*>(mapped);
    auto [from, to] = KeptBytes(bytes, size, segment, index);
    while (from < to) {
        const ssize_t written = write(out, bytes + from, to - from);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) throw std::runtime_error(fmt::format("cannot write the joined frames: {}", std::strerror(errno)));
        from += static_cast<size_t>(written);
    }
}

double CpuSeconds(const rusage& usage) {
    const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Returns when one of the children may have ended, or after `ms` (for the progress bar): at once
// through their pidfds (-1 where none could be had; with none at all, `ms` always pass).
void AwaitAnEnd(const std::vector<int>& pidfds, int ms) {
    std::vector<pollfd> watched;
    for (const int fd : pidfds)
        if (fd >= 0) watched.push_back(pollfd{fd, POLLIN, 0});
    poll(watched.data(), watched.size(), ms);
}

// The children still running get SIGTERM and are waited for.
void StopAll(std::vector<pid_t>& pids) {
    for (pid_t pid : pids)
        if (pid > 0) kill(pid, SIGTERM);
    for (pid_t& pid : pids)
        if (pid > 0) {
            while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
            }
            UnlistChild(pid);
            pid = 0;
        }
}
} // namespace

SegmentsDone EncodeInSegments(const SegmentedEncode& job, SampleFeed& feed, const std::string& outPath, ProgressBar& progress) {
    // The temporary files go where the output's own temporary folder is, on the same disk.
    const std::filesystem::path outputFolder = std::filesystem::path(outPath).parent_path().parent_path();
    const std::string folder = outputFolder.empty() ? std::string(".") : outputFolder.string();
    const bool converting = job.sourcePath.empty();
    std::unique_ptr<TempFile> raw; // the converted samples, when the segments cannot read the source itself
    if (converting) raw = std::make_unique<TempFile>(folder, "samples.raw");
    // Cut where the expected length says; the last segment takes whatever the conversion gives.
    const std::vector<Segment> segments = PlanSegments(job.expectedSamples, job.jobs, job.minFrames);
    std::vector<std::unique_ptr<TempFile>> outputs;
    for (size_t i = 0; i < segments.size(); ++i)
        outputs.push_back(std::make_unique<TempFile>(folder, fmt::format("segment-{}.mp2", i + 1)));

    const size_t sharedBytes = SharedProgress::Bytes(segments.size());
    void* mapped = mmap(nullptr, sharedBytes, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) throw std::runtime_error(fmt::format("cannot share memory: {}", std::strerror(errno)));
    const std::unique_ptr<void, std::function<void(void*)>> unmap(mapped, [sharedBytes](void* at) { munmap(at, sharedBytes); });
    auto& shared = *new (mapped) SharedProgress; // the mapping starts zeroed: every Done() counter is 0

    std::vector<pid_t> pids(segments.size(), 0);
    std::vector<int> pidfds(segments.size(), -1); // closed when the child has been waited for
    std::vector<rusage> usage(segments.size());
    const std::unique_ptr<std::vector<int>, void (*)(std::vector<int>*)> closePidfds(&pidfds, [](std::vector<int>* fds) {
        for (int& fd : *fds)
            if (fd >= 0) close(std::exchange(fd, -1));
    });
    std::fflush(nullptr);
    for (size_t i = 0; i < segments.size(); ++i) {
        const pid_t pid = ForkChildEndingWithParent(SIGKILL);
        if (pid == 0) {
            int status = 1;
            try {
                status = EncodeSegment(job, segments[i],
                                       SegmentSamples(job, segments[i], raw.get(), shared, i, segments.size(), feed),
                                       outputs[i]->Path(), shared, i);
            } catch (const std::exception& failure) {
                std::fprintf(stderr, "sova-host: segment %zu: %s\n", i + 1, failure.what());
            } catch (...) {
            }
            _exit(status); // never the parent's destructors: its temporary files are its own
        }
        if (pid < 0) {
            const int error = errno;
            StopAll(pids);
            throw std::runtime_error(fmt::format("cannot start a process: {}", std::strerror(error)));
        }
        pids[i] = pid;
        pidfds[i] = static_cast<int>(syscall(SYS_pidfd_open, pid, 0)); // glibc 2.36 declares pidfd_open without C linkage
    }

    if (converting) {
        try { // the segments start on the first samples while the rest is converted
            shared.total.store(WriteSamples(feed, job.format.channelCount, job.blockFrames, raw->Path(), shared),
                               std::memory_order_release);
        } catch (...) {
            StopAll(pids);
            throw;
        }
    }

    for (size_t running = segments.size(); running > 0;) {
        int status = 0;
        bool ended = false;
        for (size_t i = 0; i < pids.size(); ++i) {
            if (pids[i] <= 0 || wait4(pids[i], &status, WNOHANG, &usage[i]) != pids[i]) continue;
            UnlistChild(pids[i]);
            pids[i] = 0;
            if (pidfds[i] >= 0) close(std::exchange(pidfds[i], -1));
            --running;
            ended = true;
            if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
                StopAll(pids);
                throw std::runtime_error(ChildFailure(static_cast<int>(i), status));
            }
        }
        int64_t sum = 0;
        for (size_t i = 0; i < segments.size(); ++i) sum += shared.Done()[i].load(std::memory_order_relaxed);
        progress.Update(sum);
        if (!ended && running > 0) AwaitAnEnd(pidfds, 50);
    }

    // Every segment read its samples up to the next one's kept frames, the last to the end of the file.
    SegmentsDone done;
    for (size_t i = 0; i < segments.size(); ++i) {
        done.samples += shared.Done()[i].load(std::memory_order_relaxed);
        done.overFullScale += converting ? 0 : shared.OverFullScale(segments.size())[i].load(std::memory_order_relaxed);
        if (job.detail)
            job.detail(fmt::format("segment {}: samples {} to {}, {:.3f} s of CPU", i + 1, segments[i].encodeFrom,
                                   segments[i].keepFrom + shared.Done()[i].load(std::memory_order_relaxed),
                                   CpuSeconds(usage[i])));
    }
    const int out = open(outPath.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (out < 0) throw std::runtime_error(fmt::format("cannot write the joined frames: {}", std::strerror(errno)));
    const std::unique_ptr<const int, void (*)(const int*)> closeOut(&out, [](const int* fd) { close(*fd); });
    for (size_t i = 0; i < segments.size(); ++i) JoinSegment(outputs[i]->Path(), segments[i], static_cast<int>(i), out);
    if (converting) done.overFullScale = feed.OverFullScale();
    return done;
}
} // namespace sovahost
