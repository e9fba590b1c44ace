#pragma once

#include "board/position.h"

namespace brinz::support {

// Builds the start-up tables once (keys, attacks, options) for unit tests.
void initialiseTables();

// A position from a FEN that must parse; fails the current test otherwise.
Position positionFromFen(const char* fen);

}  // namespace brinz::support
