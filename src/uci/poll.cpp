#include "uci/poll.h"

#include <cstdio>
#include <cstring>
#include <mutex>
#include <strings.h>

#include "platform/input.h"
#include "search/search.h"
#include "uci/go.h"

namespace brinz {

void pollInput() {
    if (!inputPending()) return;
    char line[PollLineSize];
    // A broken or closed input counts as "quit".
    if (!readInputLine(line, sizeof line)) std::strcpy(line, "quit\n");
    if (strncasecmp(line, "quit", 4) == 0) {
        SearchState.store(Stopping, Relaxed);
        quitRequested.store(1, Relaxed);
    } else if (strncasecmp(line, "stop", 4) == 0) {
        SearchState.store(Stopping, Relaxed);
    } else if (strncasecmp(line, "ponderhit", 9) == 0) {
        decidePonderHit();
    } else if (strncasecmp(line, "isready", 7) == 0) {
        // The protocol wants this answered while the engine thinks; the search goes on.
        std::lock_guard<Lock> guard(outputLock);
        std::printf("readyok\n");
    }
}

}  // namespace brinz
