#include "board/attacks.h"

#include <cstdlib>

#include "board/make_move.h"

namespace brinz {

AttackEntry AttackTable[256];
uint8_t Distance[256];

void InitAttacks() {
    for (auto& entry : AttackTable) entry = {0, 0};
    for (int origin = 0; origin < 120; ++origin) {
        if (!OnBoard(origin)) continue;
        for (int code = 1; code <= 14; ++code)
            for (const int* d = PieceDirections[code]; *d; ++d)
                for (int target = origin + *d; OnBoard(target); target += *d) {
                    AttackEntry& entry = AttackTable[origin - target + 128];
                    entry.step = int8_t(*d);
                    entry.mask |= uint8_t(AttackBit[code]);
                    if (!SliderKind[code]) break;
                }
        for (int target = 0; target < 120; ++target)
            if (OnBoard(target)) {
                int files = std::abs(FileOf(origin) - FileOf(target));
                int ranks = std::abs(RankOf(origin) - RankOf(target));
                Distance[origin - target + 128] = uint8_t(files > ranks ? files : ranks);
            }
    }
}

namespace {

// The first occupied square (a piece or the frame) from `square` onwards along `step`.
inline int FirstOccupied(const Position& pos, int square, int step) {
    while (pos.board[square] == EMPTY) square += step;
    return square;
}

// After `move`, which stands on the board, the pieces of the side that made it that now
// attack `king`: the one on the destination, then one unmasked through the origin.
// Only valid for moves without en passant, castling or promotion.
int CheckersFromMove(const Position& pos, Move move, int king, int32_t* squares) {
    int count = 0;
    int to = MoveTo(move), from = MoveFrom(move);
    if (PieceAttacks(pos, pos.board[to], to, king)) squares[count++] = to;
    const AttackEntry& line = AttackBetween(from, king);
    if ((line.mask & LINE_BIT) && FirstOccupied(pos, from + line.step, line.step) == king) {
        int q = FirstOccupied(pos, from - line.step, -line.step);
        int code = pos.board[q];
        if (ColourOf(code) == pos.xside && (AttackBit[code] & AttackBetween(q, king).mask)) squares[count++] = q;
    }
    return count;
}

// Step from `square` towards `king` when the piece there alone separates the king from a
// slider of `sliderColour` that moves along that line, else 0.
int ShieldDirection(const Position& pos, int square, int king, int sliderColour) {
    const AttackEntry& line = AttackBetween(square, king);
    if (!(line.mask & LINE_BIT)) return 0;
    int step = line.step;
    if (FirstOccupied(pos, square + step, step) != king) return 0;
    int code = pos.board[FirstOccupied(pos, square - step, -step)];
    if (ColourOf(code) != sliderColour) return 0;
    int type = TypeOf(code);
    bool orthogonal = line.mask & ROOK_BIT;
    if (type == QUEEN || (type == ROOK && orthogonal) || (type == BISHOP && !orthogonal)) return step;
    return 0;
}

}  // namespace

bool IsAttacked(const Position& pos, int target, int colour) {
    // Pawns come last in the chain; two board reads replace walking up to eight of them.
    const int pawnHead = LIST_HEAD + MakeCode(PAWN, colour);
    for (int node = pos.links[LIST_HEAD + MakeCode(KING, colour)][1]; node != pawnHead; node = pos.links[node][1]) {
        if (node > 119) continue;
        if (PieceAttacks(pos, pos.board[node], node, target)) return true;
    }
    const int pawn = MakeCode(PAWN, colour), behind = target - PawnPush[colour];
    return pos.board[behind - 1] == pawn || pos.board[behind + 1] == pawn;
}

int FindCheckers(Position& pos) {
    int king = pos.kingSquare(pos.side);
    Move last = pos.lastMove;
    pos.checkers[0] = pos.checkers[1] = 0;
    int count = 0;
    if (last == MOVE_NULL) {
        // A null move is never made in check, so it cannot leave one behind.
    } else if (last == MOVE_NONE || (last & (EN_PASSANT | CASTLE)) || MovePromotion(last)) {
        for (int node = pos.links[LIST_HEAD + MakeCode(KING, pos.xside)][1]; node != LIST_END && count < 2;
             node = pos.links[node][1]) {
            if (node > 119) continue;
            if (PieceAttacks(pos, pos.board[node], node, king)) pos.checkers[count++] = node;
        }
    } else {
        count = CheckersFromMove(pos, last, king, pos.checkers);
    }
    pos.checkerCount = count;
    return count;
}

bool InCheck(const Position& pos) {
    int king = pos.kingSquare(pos.side);
    Move last = pos.lastMove;
    if (last == MOVE_NULL) return false;
    if (last == MOVE_NONE || (last & (EN_PASSANT | CASTLE))) return IsAttacked(pos, king, pos.xside);
    // A promoted piece already stands on the destination, so the fast test sees it.
    int32_t squares[2];
    return CheckersFromMove(pos, last, king, squares) != 0;
}

int PinDirection(const Position& pos, int square) {
    int colour = ColourOf(pos.board[square]);
    return ShieldDirection(pos, square, pos.kingSquare(colour), colour ^ 1);
}

int DiscoveryDirection(const Position& pos, int square) {
    int colour = ColourOf(pos.board[square]);
    return ShieldDirection(pos, square, pos.kingSquare(colour ^ 1), colour);
}

bool IsLegalSlow(Position& pos, Move move) {
    if (pos.checkerCount) return true;
    int from = MoveFrom(move), to = MoveTo(move);
    if (MovePiece(move) == KING) return !IsAttacked(pos, to, pos.xside);
    // Every en-passant capture is decided by making it, not only the one along the king's
    // rank: a hand-set position can also hide a diagonal pin behind the taken pawn.
    if (move & EN_PASSANT) return IsLegalByMaking(pos, move);
    int king = pos.kingSquare(pos.side);
    const AttackEntry& line = AttackBetween(from, king);
    if (!(line.mask & LINE_BIT)) return true;
    if (line.step == AttackBetween(to, king).step) return true;
    if (FirstOccupied(pos, from + line.step, line.step) != king) return true;
    int q = FirstOccupied(pos, from - line.step, -line.step);
    int code = pos.board[q];
    return !(ColourOf(code) == pos.xside && SliderKind[code] && (AttackBit[code] & AttackBetween(q, king).mask));
}

bool IsLegalByMaking(Position& pos, Move move) {
    UndoRecord undo;
    MakeMove(pos, undo, move);
    bool exposed = IsAttacked(pos, pos.kingSquare(pos.xside), pos.side);
    UnmakeMove(pos, undo, move);
    return !exposed;
}

bool GivesCheck(const Position& pos, Move move) {
    int enemyKing = pos.kingSquare(pos.xside);
    int from = MoveFrom(move), to = MoveTo(move);
    int code = MakeCode(MovePiece(move), pos.side);
    const AttackEntry& direct = AttackBetween(to, enemyKing);
    if (AttackBit[code] & direct.mask) {
        if (!SliderKind[code] || RayReaches(pos, to, enemyKing)) return true;
    }
    const AttackEntry& line = AttackBetween(from, enemyKing);
    if (!(line.mask & LINE_BIT) || line.step == direct.step) return false;
    if (FirstOccupied(pos, from + line.step, line.step) != enemyKing) return false;
    int q = FirstOccupied(pos, from - line.step, -line.step);
    int behind = pos.board[q];
    return ColourOf(behind) == pos.side && (AttackBit[behind] & AttackBetween(q, enemyKing).mask);
}

}  // namespace brinz
