#include "board/attacks.h"

#include <cstdlib>

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

// Walks from `from` along its step towards `target` over empty squares.
inline bool RayReaches(const Position& pos, int from, int target) {
    int step = AttackBetween(from, target).step;
    int sq = from + step;
    while (sq != target && pos.board[sq] == EMPTY) sq += step;
    return sq == target;
}

// Whether the piece `code` on `from` attacks `target`.
inline bool PieceAttacks(const Position& pos, int code, int from, int target) {
    if (!(AttackBit[code] & AttackBetween(from, target).mask)) return false;
    return !SliderKind[code] || RayReaches(pos, from, target);
}

}  // namespace

bool IsAttacked(const Position& pos, int target, int colour) {
    for (int node = pos.links[LIST_HEAD + MakeCode(KING, colour)][1]; node != LIST_END; node = pos.links[node][1]) {
        if (node > 119) continue;
        if (PieceAttacks(pos, pos.board[node], node, target)) return true;
    }
    return false;
}

int FindCheckers(Position& pos) {
    // The full scan; a fast path from the last move's squares is the make-move's business.
    int king = pos.kingSquare(pos.side);
    pos.checkers[0] = pos.checkers[1] = 0;
    int count = 0;
    if (pos.lastMove != MOVE_NULL) {
        for (int node = pos.links[LIST_HEAD + MakeCode(KING, pos.xside)][1]; node != LIST_END && count < 2;
             node = pos.links[node][1]) {
            if (node > 119) continue;
            if (PieceAttacks(pos, pos.board[node], node, king)) pos.checkers[count++] = node;
        }
    }
    pos.checkerCount = count;
    return count;
}

}  // namespace brinz
