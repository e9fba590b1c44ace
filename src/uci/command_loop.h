#pragma once

#include <cstdint>

#include "search/search.h"

namespace brinz {

inline constexpr int MoveTokenLimit = 11;
inline constexpr uint32_t StartupHashMegabytes = 32;

// One-time start-up, in the engine's fixed order. Prints nothing.
void initialiseEngine();
// Reads and dispatches command lines forever, lines kept from the last search first;
// end of input acts as "quit".
[[noreturn]] void commandLoop();
// Acts on one line (newline included), matched by its leading word, any letter case.
void dispatchCommand(const char* line);
void handleUci();
// Takes the text after "position ". Stops at the first move that cannot be played
// ("Movimiento ilegal: ..."), leaving the position after the last good move; after a
// refused FEN no move is played.
void handlePosition(const char* text);
// Stops the threads, frees the tables and ends the process with status 0.
[[noreturn]] void shutdownEngine();

}  // namespace brinz
