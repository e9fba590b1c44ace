#pragma once

#include <cstdint>

#include "board/types.h"

namespace brinz {

// Move word: to (bits 0-6), from (7-13), promotion type (14-16), moving piece type (17-19),
// captured type (20-22), EN_PASSANT (23), CASTLE (24). Colours come from the position.
// A pawn double step has no flag: make-move knows it by its length.
inline constexpr Move EN_PASSANT = Move(1) << 23;
inline constexpr Move CASTLE = Move(1) << 24;

inline constexpr int MoveTo(Move move) { return int(move & 0x7f); }
inline constexpr int MoveFrom(Move move) { return int((move >> 7) & 0x7f); }
inline constexpr int MovePromotion(Move move) { return int((move >> 14) & 7); }
inline constexpr int MovePiece(Move move) { return int((move >> 17) & 7); }
inline constexpr int MoveCaptured(Move move) { return int((move >> 20) & 7); }
inline constexpr bool IsCapture(Move move) { return (move & (Move(7) << 20)) != 0; }

// Builds a move word; `captured` and `promotion` are piece types (0 for none), `flags` is
// EN_PASSANT, CASTLE or 0.
inline constexpr Move EncodeMove(int from, int to, int piece, int captured = 0, int promotion = 0,
                                 Move flags = 0) {
    return Move(to) | Move(from) << 7 | Move(promotion) << 14 | Move(piece) << 17 | Move(captured) << 20 | flags;
}

// One element of a move list: generators write `move`, move ordering writes `score`.
struct MoveListEntry {
    Move move;
    int32_t score;
};
static_assert(sizeof(MoveListEntry) == 8);

// Room one position's pseudo-legal moves need; callers size their lists with it.
// Generators assert the bound in debug builds and never check it otherwise.
inline constexpr int MaxMoves = 256;

}  // namespace brinz
