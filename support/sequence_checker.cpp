#include "support/sequence_checker.h"

#if defined(SUPPORT_CHECK_THREADS)

#include <cstdio>
#include <cstdlib>

namespace support {

void SequenceChecker::check(const char* what) const {
    const std::thread::id self = std::this_thread::get_id();
    std::thread::id expected;
    if (owner.compare_exchange_strong(expected, self) || expected == self) return;
    std::fprintf(stderr, "%s called from a thread other than its own\n", what);
    std::fflush(stderr);
    std::abort();
}

}  // namespace support

#endif
