// SPDX-License-Identifier: MIT
#include "host/SampleBatchThread.h"

#include <algorithm>
#include <utility>

namespace sovahost {
namespace {
constexpr int64_t kBatchFrames = 65536; // a batch per hand-over: few enough to cost nothing
constexpr size_t kMostWaiting = 4;      // bounds the memory: 4 batches of 8 channels are 8 MiB
} // namespace

SampleBatchThread::SampleBatchThread(int32_t channels, Work work)
    : channels_(channels), work_(std::move(work)), thread_([this] { Run(); }) {}

SampleBatchThread::~SampleBatchThread() {
    {
        const std::lock_guard lock(mutex_);
        closing_ = true;
        waiting_.clear();
    }
    changed_.notify_all();
    thread_.join();
}

void SampleBatchThread::Add(const float* interleaved, int64_t frames) {
    while (frames > 0) {
        const auto room = kBatchFrames - static_cast<int64_t>(filling_.size()) / channels_;
        const int64_t piece = std::min(frames, room);
        filling_.insert(filling_.end(), interleaved, interleaved + piece * channels_);
        interleaved += piece * channels_;
        frames -= piece;
        if (piece == room) Hand(std::exchange(filling_, {}));
    }
}

void SampleBatchThread::Finish() {
    if (finished_) return RethrowFailure();
    finished_ = true;
    if (!filling_.empty()) Hand(std::exchange(filling_, {}));
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return failure_ || (waiting_.empty() && !busy_); });
    lock.unlock();
    RethrowFailure();
}

void SampleBatchThread::Hand(std::vector<float> batch) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return failure_ || waiting_.size() < kMostWaiting; });
    if (failure_) {
        lock.unlock();
        return RethrowFailure();
    }
    waiting_.push_back(std::move(batch));
    if (!spare_.empty()) {
        filling_ = std::move(spare_.back());
        filling_.clear();
        spare_.pop_back();
    }
    lock.unlock();
    changed_.notify_all();
}

void SampleBatchThread::Run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return closing_ || !waiting_.empty(); });
        if (closing_) return;
        std::vector<float> batch = std::move(waiting_.front());
        waiting_.pop_front();
        busy_ = true;
        lock.unlock();
        std::exception_ptr failed;
        try {
            work_(batch.data(), static_cast<int64_t>(batch.size()) / channels_);
        } catch (...) {
            failed = std::current_exception();
        }
        lock.lock();
        busy_ = false;
        if (failed) {
            failure_ = failed;
            waiting_.clear();
        }
        spare_.push_back(std::move(batch));
        changed_.notify_all();
        if (failed) return;
    }
}

void SampleBatchThread::RethrowFailure() {
    const std::lock_guard lock(mutex_);
    if (failure_) std::rethrow_exception(failure_);
}
} // namespace sovahost
