#include "platform/clock.h"

// POSIX side; the Windows side is in the _windows file beside this one.
#ifndef _WIN32

#include <cerrno>
#include <time.h>

namespace brinz {

int64_t tickCount() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

void sleepMilliseconds(int milliseconds) {
    if (milliseconds <= 0) return;
    timespec ts{milliseconds / 1000, long(milliseconds % 1000) * 1000000};
    while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
}

}  // namespace brinz

#endif  // _WIN32
