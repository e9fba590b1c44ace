#pragma once

namespace brinz {

inline constexpr int PollLineSize = 255;

// Reads and acts on at most one waiting input line during a search, without blocking:
// "quit", "stop", "ponderhit", and "isready" (answered at once with "readyok").
// Other lines are dropped.
void pollInput();

}  // namespace brinz
