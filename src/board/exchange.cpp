#include "board/exchange.h"

#include <cassert>

#include "board/attacks.h"

namespace brinz {

namespace {

// Attackers kept per colour. Legal material never puts more pieces of one colour on the
// board; the bound is still checked, so odd input cannot write past the list.
constexpr int AttackerLimit = 16;

struct AttackerLists {
    int square[2][AttackerLimit];
    int count[2] = {0, 0};

    void add(const Position& pos, int sq) {
        int colour = ColourOf(pos.board[sq]);
        if (count[colour] < AttackerLimit) square[colour][count[colour]++] = sq;
    }
};

// The piece behind `from` on its line through `target`, if it attacks `target` along that
// line once `from` has gone; else -1.
int XrayBehind(const Position& pos, int from, int target) {
    const AttackEntry& line = AttackBetween(from, target);
    if (!(line.mask & LINE_BIT)) return -1;
    int sq = from - line.step;
    while (pos.board[sq] == EMPTY) sq -= line.step;
    int code = pos.board[sq];
    if (code >= EMPTY || !(AttackBit[code] & AttackBetween(sq, target).mask)) return -1;
    return sq;
}

// Adds the pieces of `colour` that attack `target` directly, all but the one on `origin`:
// pawns first, then knights to queens, then the king.
void gatherAttackers(const Position& pos, int colour, int target, int origin, AttackerLists& attackers) {
    const int pawnSquares[2][2] = {{target - 17, target - 15}, {target + 17, target + 15}};
    for (int sq : pawnSquares[colour])
        if (sq != origin && pos.board[sq] == MakeCode(PAWN, colour)) attackers.add(pos, sq);
    for (int type = KNIGHT; type <= QUEEN; ++type) {
        int code = MakeCode(type, colour);
        for (int sq = pos.links[LIST_HEAD + code][1]; sq <= 119; sq = pos.links[sq][1])
            if (sq != origin && PieceAttacks(pos, code, sq, target)) attackers.add(pos, sq);
    }
    int king = pos.kingSquare(colour);
    if (king != origin && KingDistance(king, target) == 1) attackers.add(pos, king);
}

// Whether `from` of `colour` captures a piece of the other colour on `target` worth at
// least `margin`, taking it outright or through the exchange.
bool ThreatensPiece(const Position& pos, int colour, int from, int target, int ownValue, int margin) {
    int code = pos.board[target];
    if (ColourOf(code) != (colour ^ 1) || SeeValue[code] < margin) return false;
    return SeeValue[code] - ownValue >= margin || StaticExchange(pos, target, from) >= margin;
}

// The square a piece of `code` on `from` reaches first along `step`: the next square for a
// non-slider, the first occupied one for a slider.
int FirstReached(const Position& pos, int code, int from, int step) {
    int sq = from + step;
    if (SliderKind[code])
        while (pos.board[sq] == EMPTY) sq += step;
    return sq;
}

}  // namespace

int StaticExchange(const Position& pos, int target, int origin) {
    // Callers name a piece; an empty origin would have no colour to index the lists by.
    assert(pos.board[origin] < EMPTY);
    if (pos.board[origin] >= EMPTY) return 0;
    AttackerLists attackers;
    // The piece behind the mover joins first: it backs the mover up along the same line.
    int xray = XrayBehind(pos, origin, target);
    if (xray >= 0) attackers.add(pos, xray);

    // The side that answers first is gathered first: without an answer the exchange is
    // the capture alone, and the mover's own supporters do not matter. Each colour's list
    // keeps the same order either way, so the exchange played out is the same.
    int side = ColourOf(pos.board[origin]) ^ 1;
    gatherAttackers(pos, side, target, origin, attackers);
    if (attackers.count[side] == 0) return SeeValue[pos.board[target]];
    gatherAttackers(pos, side ^ 1, target, origin, attackers);

    // gain[d]: what the side making capture d wins if the exchange stopped there.
    constexpr int GainSize = 2 * AttackerLimit + 2;
    int gain[GainSize];
    int depth = 1;
    gain[1] = SeeValue[pos.board[target]];
    int onTarget = SeeValue[pos.board[origin]];
    while (attackers.count[side] && depth < GainSize - 1) {
        int* list = attackers.square[side];
        int best = 0;
        for (int i = 1; i < attackers.count[side]; ++i)
            if (SeeValue[pos.board[list[i]]] < SeeValue[pos.board[list[best]]]) best = i;
        int from = list[best];
        list[best] = list[--attackers.count[side]];
        xray = XrayBehind(pos, from, target);
        if (xray >= 0 && xray != origin) attackers.add(pos, xray);
        ++depth;
        gain[depth] = onTarget - gain[depth - 1];
        onTarget = SeeValue[pos.board[from]];
        side ^= 1;
    }
    for (int i = depth - 1; i >= 1; --i)
        if (-gain[i + 1] < gain[i]) gain[i] = -gain[i + 1];
    return gain[1];
}

bool HasCaptureThreat(const Position& pos, int colour, int margin) {
    if (margin < 1) return true;
    const int pawn = MakeCode(PAWN, colour);
    for (int sq = pos.links[LIST_HEAD + pawn][1]; sq <= 119; sq = pos.links[sq][1]) {
        if (RelativeRank[colour][sq] == 6) return true;
        for (const int* d = PieceDirections[pawn]; *d; ++d)
            if (ThreatensPiece(pos, colour, sq, sq + *d, PieceValue[pawn], margin)) return true;
    }
    // Knights, bishops and rooks: a slider looks at the first occupied square of each ray.
    for (int type = KNIGHT; type <= ROOK; ++type) {
        const int code = MakeCode(type, colour);
        for (int sq = pos.links[LIST_HEAD + code][1]; sq <= 119; sq = pos.links[sq][1])
            for (const int* d = PieceDirections[code]; *d; ++d)
                if (ThreatensPiece(pos, colour, sq, FirstReached(pos, code, sq, *d), PieceValue[code], margin))
                    return true;
    }
    // A queen is worth more than anything it can win outright, so only the exchange counts.
    const int queen = MakeCode(QUEEN, colour);
    for (int sq = pos.links[LIST_HEAD + queen][1]; sq <= 119; sq = pos.links[sq][1])
        for (const int* d = PieceDirections[queen]; *d; ++d) {
            int to = FirstReached(pos, queen, sq, *d), victim = pos.board[to];
            if (ColourOf(victim) == (colour ^ 1) && SeeValue[victim] >= margin &&
                StaticExchange(pos, to, sq) >= margin)
                return true;
        }
    const int king = pos.kingSquare(colour);
    for (const int* d = PieceDirections[MakeCode(KING, colour)]; *d; ++d) {
        int victim = pos.board[king + *d];
        if (ColourOf(victim) == (colour ^ 1) && SeeValue[victim] >= margin && !IsAttacked(pos, king + *d, colour ^ 1))
            return true;
    }
    return false;
}

}  // namespace brinz
