#pragma once

#include <string>
#include <vector>

#include "board/position.h"

namespace brinz::support {

// Builds the start-up tables once (keys, attacks, options) for unit tests.
void initialiseTables();

// A position from a FEN that must parse; fails the current test otherwise.
Position positionFromFen(const char* fen);

// The text of every legal move of `fen`.
std::vector<std::string> legalMoves(const char* fen);

}  // namespace brinz::support
