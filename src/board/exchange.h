#pragma once

#include "board/move.h"
#include "board/position.h"

namespace brinz {

// Exchange values by board code: PieceValue for pieces, 0 for EMPTY.
inline constexpr int SeeValue[17] = {
    0, PawnValue, KnightValue, BishopValue, RookValue, QueenValue, KingExchangeValue, 0,
    0, PawnValue, KnightValue, BishopValue, RookValue, QueenValue, KingExchangeValue, 0, 0};

// What the side owning the piece on `origin` gains (in 1/256 pawn, possibly negative) by
// moving it to `target`, when both sides then capture on `target` with their least
// valuable attackers, X-rays included, and either may stop. `target` may be empty.
// Reads the board only; no move is made.
int StaticExchange(const Position& pos, int target, int origin);

// The exchange that the move `m` starts.
inline int See(const Position& pos, Move m) { return StaticExchange(pos, MoveTo(m), MoveFrom(m)); }

// Whether `colour` has a capture that wins at least `margin` (1/256 pawn) by value or by
// exchange, or a pawn on its seventh rank. True for any margin below 1.
bool HasCaptureThreat(const Position& pos, int colour, int margin);

}  // namespace brinz
