#pragma once

#include <cstdint>

#include "board/move.h"
#include "board/position.h"

namespace brinz {

// What MakeMove saves for UnmakeMove; the caller keeps it (one per ply on the search stack).
// MakeNullMove fills only key, epSquare, fifty, castleLost and lastMove.
struct UndoRecord {
    uint64_t key;
    uint64_t pawnKey;
    int32_t epSquare;
    int32_t fifty;
    int32_t castleLost;
    int32_t checkerCount;
    int32_t checkers[2];
    Move lastMove;
};

// Plays a pseudo-legal move of the side to move and brings every derived field up to
// date, checkers of the new side to move included. Stores the old key in keyHistory[ply];
// the caller keeps ply below KeyHistorySize (CompactKeyHistory between searches).
void MakeMove(Position& pos, UndoRecord& undo, Move move);

// Takes back the move made with the same record. Every field returns to its old value;
// only the order inside piece lists may differ (a piece put back is linked first).
void UnmakeMove(Position& pos, UndoRecord& undo, Move move);

// Passes the turn. Only made when the side to move is not in check.
void MakeNullMove(Position& pos, UndoRecord& undo);
void UnmakeNullMove(Position& pos, UndoRecord& undo);

}  // namespace brinz
