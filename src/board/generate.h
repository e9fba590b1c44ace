#pragma once

#include "board/move.h"
#include "board/position.h"

namespace brinz {

// Each generator appends moves of the side to move at `list` and returns the new end; it
// writes only the move half of each entry. The order is part of the contract: move
// ordering and node counts follow it. The list needs room for MaxMoves entries.

// Every pseudo-legal move: pieces from the king down to the pawns (each code's list in
// its order, directions in PieceDirections order, all four promotions queen first), then
// en passant, then castling (kingside first; not while in check).
MoveListEntry* GenerateMoves(const Position& pos, MoveListEntry* list);

// Captures, queen promotions with or without capture, and en passant; pawns first, then
// knights, bishops, rooks, queens and the king. Pseudo-legal.
MoveListEntry* GenerateCaptures(const Position& pos, MoveListEntry* list);

// The legal replies to check; call only when checkerCount > 0. King moves first, then (in
// single check) captures of the checker and interpositions, then en passant. The king is
// lifted off the board and en-passant captures are made and unmade meanwhile; the position
// is restored, except that an enemy pawn put back is linked first in its list.
MoveListEntry* GenerateEvasions(Position& pos, MoveListEntry* list);

// Non-capturing, non-promoting moves that check directly or by discovery (no castling, no
// en passant). Pseudo-legal.
MoveListEntry* GenerateQuietChecks(const Position& pos, MoveListEntry* list);

}  // namespace brinz
