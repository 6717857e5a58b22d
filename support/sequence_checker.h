#pragma once
// SequenceChecker makes a "this thread only" rule a check: the first call of
// check() records the calling thread, every later call from another thread
// prints what was called and aborts. Checked where SUPPORT_CHECK_THREADS is
// defined (debug builds, and the tests' and the simulated host's builds);
// elsewhere it is empty and free. The recorded thread is an atomic, so the
// check itself may run on any thread.

#include <atomic>
#include <thread>

namespace support {

class SequenceChecker {
public:
#if defined(SUPPORT_CHECK_THREADS)
    // `what` names the rule's owner in the message, e.g. "StratavoxPalette".
    void check(const char* what) const;
    // Forgets the thread: the next check records it again (an object handed
    // to another thread before its first use there).
    void detach() { owner.store(std::thread::id()); }

private:
    mutable std::atomic<std::thread::id> owner{std::thread::id()};
#else
    void check(const char*) const {}
    void detach() {}
#endif
};

}  // namespace support
