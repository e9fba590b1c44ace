#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "board/move.h"
#include "board/position.h"

namespace brinz {

// The legal moves of the side to move, in generation order: the evasions when in check,
// otherwise the pseudo-legal moves that pass IsLegal. Returns the new end of `list`.
MoveListEntry* GenerateLegalMoves(Position& pos, MoveListEntry* list);

// Number of leaves of the legal move tree `depth` plies deep (1 for depth 0). The last ply
// is counted without making its moves. `pos` is restored; ply + depth must stay below
// KeyHistorySize.
uint64_t Perft(Position& pos, int depth);

// One line "<move>: <count>" per legal move in generation order, an empty line and
// "Nodes searched: <total>"; for depth 0 only "Nodes searched: 1". Every line ends with a
// newline. Each line goes to `emit` as soon as it is known, so a long count shows progress.
void PerftDivideLines(Position& pos, int depth, const std::function<void(const char* line)>& emit);

// The same listing as one text. For diagnostics and tests; it allocates.
std::string PerftDivide(Position& pos, int depth);

}  // namespace brinz
