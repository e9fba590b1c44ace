#pragma once

#include <cstdint>

#include "board/move.h"
#include "board/position.h"

namespace brinz {

// Indexed by origin - target + 128. mask: AttackBit of every code that attacks target
// from origin on an empty board; step: the direction from origin towards target.
// Squares that no piece connects have mask 0 and step 0.
struct AttackEntry {
    uint8_t mask;
    int8_t step;
};
extern AttackEntry AttackTable[256];
// King distance, indexed like AttackTable.
extern uint8_t Distance[256];

// The queen bit: set exactly when two squares share a rank, file or diagonal.
inline constexpr int LINE_BIT = 0x40;
inline constexpr int ROOK_BIT = 0x20;

inline const AttackEntry& AttackBetween(int origin, int target) { return AttackTable[origin - target + 128]; }
inline int KingDistance(int a, int b) { return Distance[a - b + 128]; }

// Builds AttackTable and Distance. Called once at start-up.
void InitAttacks();

// Whether the walk from `from` towards `target` along their common line meets only empty
// squares before reaching it. The two squares must share a line.
inline bool RayReaches(const Position& pos, int from, int target) {
    int step = AttackBetween(from, target).step;
    int sq = from + step;
    while (sq != target && pos.board[sq] == EMPTY) sq += step;
    return sq == target;
}

// Whether the piece `code` standing on `from` attacks `target` on the current board.
inline bool PieceAttacks(const Position& pos, int code, int from, int target) {
    if (!(AttackBit[code] & AttackBetween(from, target).mask)) return false;
    return !SliderKind[code] || RayReaches(pos, from, target);
}

// True if any piece of `colour` (king included) attacks `target`, whatever stands there.
bool IsAttacked(const Position& pos, int target, int colour);

// Counts the enemy pieces (at most two) checking the side to move, stores their squares
// in pos.checkers (unused entries 0) and pos.checkerCount. After an ordinary move only the
// destination and a discovery through the origin are examined; after no known move, en
// passant, castling or a promotion every enemy piece is.
int FindCheckers(Position& pos);

// Whether the side to move is in check, decided from lastMove alone (for positions whose
// checkerCount is not at hand). False after a null move.
bool InCheck(const Position& pos);

// Step from the piece on `square` towards its own king when an enemy slider pins it to
// that king, else 0.
int PinDirection(const Position& pos, int square);

// Step from the piece on `square` towards the enemy king when it alone stands between an
// own slider and that king (moving it off the line gives check), else 0.
int DiscoveryDirection(const Position& pos, int square);

// The part of IsLegal that needs more than one table look-up.
bool IsLegalSlow(Position& pos, Move move);

// Whether a pseudo-legal move of the side to move keeps its own king safe. In check it
// answers true: evasions are legal by construction. En-passant captures are decided by
// making them, since removing two pawns can open a line no table look-up sees.
inline bool IsLegal(Position& pos, Move move) {
    if (pos.checkerCount) return true;
    // A piece off every line through its king cannot be pinned.
    if (MovePiece(move) != KING && !(move & EN_PASSANT) &&
        !(AttackBetween(MoveFrom(move), pos.kingSquare(pos.side)).mask & LINE_BIT))
        return true;
    return IsLegalSlow(pos, move);
}

// The same question answered by making and unmaking the move; `pos` is restored.
bool IsLegalByMaking(Position& pos, Move move);

// Whether a move not yet made checks the enemy king directly or by discovery. Checks by
// a promoted piece, by the castling rook or through the square of a pawn taken en passant
// are not seen.
bool GivesCheck(const Position& pos, Move move);

}  // namespace brinz
