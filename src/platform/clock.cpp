#include "platform/clock.h"

#include <time.h>

namespace brinz {

int64_t tickCount() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

}  // namespace brinz
