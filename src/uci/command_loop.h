#pragma once

#include <cstdint>

#include "search/search.h"

namespace brinz {

inline constexpr int MoveTokenLimit = 11;
inline constexpr uint32_t StartupHashMegabytes = 32;

// One-time start-up, in the engine's fixed order. Prints nothing.
void initialiseEngine();
// Reads and dispatches command lines, lines kept from the last search first, until input
// ends; a "quit" line (or one arriving during a search) ends the process from inside.
void runCommands();
// runCommands, then the shutdown that end of input asks for, as "quit" would.
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
