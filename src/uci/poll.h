#pragma once

#include <cstddef>
#include <string>

namespace brinz {

// A command line may be as long as a game of any length needs; a line beyond this
// (characters, newline not counted) is dropped whole with an "info string".
inline constexpr size_t CommandLengthLimit = size_t(1) << 20;
// Lines kept during one search for after it, in bytes; past this a line is dropped with
// an "info string" rather than let a flood of input grow without end.
inline constexpr size_t DeferredBytesLimit = size_t(16) << 20;

// The next command for the command loop: a line kept from the last search first, in
// arrival order, else the next line of standard input, waiting for it. False when input
// has ended. Lines over CommandLengthLimit are dropped with an "info string".
bool nextCommand(std::string& line);

// Reads and acts on at most one waiting input line during a search, without blocking
// (a line not yet complete is kept for the next poll): "quit", "stop", "ponderhit", and
// "isready" (answered at once with "readyok"). Any other line is kept, in order, and
// carried out by the command loop once the search has answered.
void pollInput();

}  // namespace brinz
