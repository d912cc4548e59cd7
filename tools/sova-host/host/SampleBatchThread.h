// SPDX-License-Identifier: MIT
// A thread of its own that runs one function over interleaved float samples, in the order they
// were handed over, while the caller goes on: the samples are copied into batches, at most a few
// of which wait at a time (Add then blocks). Add and Finish are called from one thread.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace sovahost {
class SampleBatchThread {
public:
    // work(samples, frames) runs on the thread; what it throws is thrown again by Add or Finish.
    using Work = std::function<void(const float* interleaved, int64_t frames)>;
    SampleBatchThread(int32_t channels, Work work);
    // Stops the thread; batches not yet worked on are dropped.
    ~SampleBatchThread();
    SampleBatchThread(const SampleBatchThread&) = delete;
    SampleBatchThread& operator=(const SampleBatchThread&) = delete;

    void Add(const float* interleaved, int64_t frames);
    // Returns once every sample added has been worked on; Add must not follow.
    void Finish();

private:
    void Hand(std::vector<float> batch); // waits for room in the queue
    void Run();
    void RethrowFailure();

    const int32_t channels_;
    const Work work_;
    std::vector<float> filling_; // the batch Add copies into
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::vector<float>> waiting_;
    std::vector<std::vector<float>> spare_; // worked-on batches, for reuse
    bool busy_ = false, closing_ = false, finished_ = false;
    std::exception_ptr failure_;
    std::thread thread_; // last: started once everything above is ready
};
} // namespace sovahost
