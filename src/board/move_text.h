#pragma once

#include "board/move.h"
#include "board/position.h"

namespace brinz {

// Room for the longest move text ("(none)" or a promotion such as "e7e8q") and its terminator.
inline constexpr int MoveTextSize = 7;

// Writes the coordinate text of `move` into `buffer` (MoveTextSize bytes) and returns it:
// "0000" for MOVE_NULL, "(none)" for MOVE_NONE, else from and to squares and a lower-case
// promotion letter. Castling as Chess960Castling says, king takes rook by the castling
// geometry of `game`: a position of the game the move belongs to.
char* MoveToText(Move move, char* buffer, const Position& game);

// The move of `pos` that `text` names, or MOVE_NULL. Squares are lower-case ("e2e4"); a
// fifth character q/r/b/n in either case selects a promotion and is required for one;
// anything after it is ignored. Castling is accepted as king to destination (e1g1) and as
// king takes own rook (e1h1). The first legal match in generation order wins, except that
// with Chess960Castling a castling named by its king's destination gives way to an
// ordinary king move of the same text (b1c1 with the king on b1 and a rook on a1). A move
// that would leave the own king attacked never matches.
Move TextToMove(const Position& pos, const char* text);

}  // namespace brinz
