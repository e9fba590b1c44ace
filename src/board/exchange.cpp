#include "board/exchange.h"

#include "board/attacks.h"

namespace brinz {

namespace {

// Every piece of a colour is in a list at most once, and a colour has at most 16 men.
constexpr int AttackerLimit = 16;

struct AttackerList {
    int square[AttackerLimit];
    int count = 0;

    void add(int sq) {
        if (count < AttackerLimit) square[count++] = sq;
    }
};

inline int SeeValue(int code) { return PieceValue[code & 15]; }

// Whether the slider or leaper `code` on `from` reaches `target` on the current board.
inline bool Reaches(const Position& pos, int code, int from, int target) {
    const AttackEntry& entry = AttackBetween(from, target);
    if (!(AttackBit[code] & entry.mask)) return false;
    if (!SliderKind[code]) return true;
    int sq = from + entry.step;
    while (sq != target && pos.board[sq] == EMPTY) sq += entry.step;
    return sq == target;
}

// The piece standing behind `from` on its line with `target`, if it attacks `target`
// along that line once `from` has gone; -1 otherwise.
int PieceBehind(const Position& pos, int from, int target) {
    const AttackEntry& entry = AttackBetween(from, target);
    if (!(entry.mask & LINE_BIT)) return -1;
    int step = entry.step;
    int sq = from - step;
    while (pos.board[sq] == EMPTY) sq -= step;
    int code = pos.board[sq];
    if (code >= EMPTY) return -1;
    return (AttackBit[code] & AttackBetween(sq, target).mask) ? sq : -1;
}

void CollectAttackers(const Position& pos, int target, int origin, int colour, AttackerList& list) {
    int pawn = MakeCode(PAWN, colour);
    int back = colour == WHITE ? -16 : 16;  // pawns capture forwards, so they stand one rank behind
    for (int side : {-1, 1}) {
        int sq = target + back + side;
        if (sq != origin && pos.board[sq] == pawn) list.add(sq);
    }
    for (int type : {KNIGHT, BISHOP, ROOK, QUEEN}) {
        int code = MakeCode(type, colour);
        for (int node = pos.links[LIST_HEAD + code][1]; node <= 119; node = pos.links[node][1])
            if (node != origin && Reaches(pos, code, node, target)) list.add(node);
    }
    int king = pos.kingSquare(colour);
    if (king != origin && king <= 119 && KingDistance(king, target) == 1) list.add(king);
}

}  // namespace

int StaticExchange(const Position& pos, int target, int origin) {
    AttackerList attackers[2];
    int moverColour = ColourOf(pos.board[origin]);
    if (moverColour > BLACK) return 0;

    int behind = PieceBehind(pos, origin, target);
    if (behind >= 0) attackers[ColourOf(pos.board[behind])].add(behind);
    CollectAttackers(pos, target, origin, WHITE, attackers[WHITE]);
    CollectAttackers(pos, target, origin, BLACK, attackers[BLACK]);

    // One gain per capture; at most every man of both colours captures once.
    int gain[2 * AttackerLimit + 2];
    int depth = 1;
    gain[1] = SeeValue(pos.board[target]);
    int onTarget = SeeValue(pos.board[origin]);
    int side = moverColour ^ 1;
    while (attackers[side].count > 0 && depth < 2 * AttackerLimit + 1) {
        AttackerList& list = attackers[side];
        int best = 0;
        for (int i = 1; i < list.count; ++i)
            if (SeeValue(pos.board[list.square[i]]) < SeeValue(pos.board[list.square[best]])) best = i;
        int from = list.square[best];
        list.square[best] = list.square[--list.count];
        int next = PieceBehind(pos, from, target);
        if (next >= 0 && next != origin) attackers[ColourOf(pos.board[next])].add(next);
        ++depth;
        gain[depth] = onTarget - gain[depth - 1];
        onTarget = SeeValue(pos.board[from]);
        side ^= 1;
    }
    for (int i = depth - 1; i >= 1; --i)
        if (-gain[i + 1] < gain[i]) gain[i] = -gain[i + 1];
    return gain[1];
}

}  // namespace brinz
