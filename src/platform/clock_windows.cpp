#include "platform/clock.h"

#ifdef _WIN32
#include <windows.h>

namespace brinz {

// GetTickCount64 counts from boot and is not moved by setting the wall clock.
int64_t tickCount() { return int64_t(GetTickCount64()); }

void sleepMilliseconds(int milliseconds) {
    if (milliseconds > 0) Sleep(DWORD(milliseconds));
}

}  // namespace brinz

#endif  // _WIN32
