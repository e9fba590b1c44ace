#pragma once

#include <cstdint>

namespace brinz {

// Milliseconds on a monotonic clock: never jumps when the wall clock is set.
// Only differences are meaningful.
int64_t tickCount();

// Sleeps the calling thread for about `milliseconds`.
void sleepMilliseconds(int milliseconds);

}  // namespace brinz
