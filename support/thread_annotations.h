#pragma once
// Thread-safety annotations that clang's -Wthread-safety checks at compile
// time (GUARDED_BY, REQUIRES, ...); other compilers see nothing. Mutex and
// MutexLock are std::mutex and its scoped lock with the capability
// attributes the analysis needs. Stateless apart from the mutex itself; any
// thread.

#include <mutex>

#if defined(__clang__)
#define SUPPORT_THREAD_ATTRIBUTE(x) __attribute__((x))
#else
#define SUPPORT_THREAD_ATTRIBUTE(x)
#endif

#define CAPABILITY(x) SUPPORT_THREAD_ATTRIBUTE(capability(x))
#define SCOPED_CAPABILITY SUPPORT_THREAD_ATTRIBUTE(scoped_lockable)
#define GUARDED_BY(x) SUPPORT_THREAD_ATTRIBUTE(guarded_by(x))
#define PT_GUARDED_BY(x) SUPPORT_THREAD_ATTRIBUTE(pt_guarded_by(x))
#define REQUIRES(...) SUPPORT_THREAD_ATTRIBUTE(requires_capability(__VA_ARGS__))
#define ACQUIRE(...) SUPPORT_THREAD_ATTRIBUTE(acquire_capability(__VA_ARGS__))
#define RELEASE(...) SUPPORT_THREAD_ATTRIBUTE(release_capability(__VA_ARGS__))
#define EXCLUDES(...) SUPPORT_THREAD_ATTRIBUTE(locks_excluded(__VA_ARGS__))

namespace support {

class CAPABILITY("mutex") Mutex {
public:
    void lock() ACQUIRE() { mutex.lock(); }
    void unlock() RELEASE() { mutex.unlock(); }

private:
    std::mutex mutex;
};

class SCOPED_CAPABILITY MutexLock {
public:
    explicit MutexLock(Mutex& held) ACQUIRE(held) : mutex(held) { mutex.lock(); }
    ~MutexLock() RELEASE() { mutex.unlock(); }
    MutexLock(const MutexLock&) = delete;
    MutexLock& operator=(const MutexLock&) = delete;

private:
    Mutex& mutex;
};

}  // namespace support
