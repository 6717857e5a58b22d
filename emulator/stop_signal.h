#pragma once
// StopSignal: lets delayed answers sleep and still end promptly when the
// emulator stops. Shared by the worker threads (waiting) and the thread
// that calls stop() (triggering); guarded by its own mutex.

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace emulator {

class StopSignal {
public:
    // True when the full time passed; false when stop was triggered first.
    bool sleepFor(std::chrono::duration<double> duration) {
        std::unique_lock<std::mutex> lock(mutex_);
        auto until = std::chrono::steady_clock::now() +
                     std::chrono::duration_cast<std::chrono::steady_clock::duration>(duration);
        return !cv_.wait_until(lock, until, [this] { return stopping_; });
    }
    void trigger() {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        cv_.notify_all();
    }
    void reset() {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = false;
    }

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    bool stopping_ = false;
};

}  // namespace emulator
