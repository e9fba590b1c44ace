#pragma once

#include <string>
#include <vector>

#include "board/position.h"
#include "eval/pawns.h"

namespace brinz::support {

// Builds the start-up tables once (keys, attacks, options) for unit tests.
void initialiseTables();

// The pawn table of tests that evaluate outside a search; it lives as long as the test
// program and is never null.
PawnTable* testPawnTable();

// A position from a FEN that must parse; fails the current test otherwise.
Position positionFromFen(const char* fen);

// The text of every legal move of `fen`.
std::vector<std::string> legalMoves(const char* fen);

}  // namespace brinz::support
