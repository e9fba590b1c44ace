#include "eval/endgames.h"

#include <cassert>

#include "board/attacks.h"
#include "tablebases/probe.h"

namespace brinz {

namespace {

// The bare-king evaluator (ENDGAME_BARE_KING) adds this when the stronger side can mate
// without help from its king's corner walk alone: a rook, a queen, or at least this much
// material.
constexpr int MatingBonus = 5120;
constexpr int MatingMaterial = 2048;

// Tablebase scores count plies from the root; a position farther than this (or an
// evaluation outside any search) is counted from where it stands.
constexpr int DeepestProbePly = 63;

// Rook and two pawns against rook and pawn: the scale by the more advanced pawn's relative
// rank, when the defending king stands in front of both.
constexpr int TwoPawnsScale[8] = {-1, 30, 30, 40, 70, 128, -1, -1};  // -1: leave it
// Pawnless endings.
constexpr int PawnlessEdge = BishopValue;  // more ahead than a bishop: no special ending
constexpr int RookBishopMaterial = RookValue + BishopValue;
constexpr int RookBishopScale = 32;
constexpr int RookNoBishopScale = 8;
constexpr int PawnlessScale = 64;

// Distance from the centre; 0x88 layout.
constexpr struct CornerTableData {
    int value[128];
    constexpr CornerTableData() : value() {
        constexpr int rows[4][8] = {
            {100, 90, 80, 70, 70, 80, 90, 100},
            {90, 70, 60, 50, 50, 60, 70, 90},
            {80, 60, 40, 30, 30, 40, 60, 80},
            {70, 50, 30, 20, 20, 30, 50, 70},
        };
        for (int rank = 0; rank < 8; ++rank)
            for (int file = 0; file < 8; ++file) value[16 * rank + file] = rows[rank < 4 ? rank : 7 - rank][file];
    }
    constexpr int operator[](int square) const { return value[square]; }
} CornerTable;

// High in the a1 and h8 corners, where a dark-squared bishop and a knight mate.
constexpr struct BishopKnightCornerData {
    int value[128];
    constexpr BishopKnightCornerData() : value() {
        constexpr int rows[8][8] = {
            {200, 190, 180, 170, 160, 150, 140, 130}, {190, 180, 170, 160, 150, 140, 130, 140},
            {180, 170, 155, 140, 140, 125, 140, 150}, {170, 160, 140, 120, 110, 140, 150, 160},
            {160, 150, 140, 110, 120, 140, 160, 170}, {150, 140, 125, 140, 140, 155, 170, 180},
            {140, 130, 140, 150, 160, 170, 180, 190}, {130, 140, 150, 160, 170, 180, 190, 200},
        };
        for (int rank = 0; rank < 8; ++rank)
            for (int file = 0; file < 8; ++file) value[16 * rank + file] = rows[rank][file];
    }
    constexpr int operator[](int square) const { return value[square]; }
} BishopKnightCorner;

// By king distance 0..7.
constexpr int KingProximity[8] = {0, 0, 100, 80, 60, 40, 20, 10};
constexpr int KnightSeparation[8] = {0, 0, 4, 10, 20, 32, 48, 70};

// By (pawn square - king square) + 128: rank difference +4..-3, file difference -3..+3,
// zero elsewhere. The numbers are those of the pawn evaluation's king proximity rows.
constexpr struct PawnSupportData {
    int value[256];
    constexpr PawnSupportData() : value() {
        for (int dr = 4; dr >= -3; --dr)
            for (int df = -3; df <= 3; ++df) value[16 * dr + df + 128] = KingPawnProximityRows[4 - dr][df + 3];
    }
    constexpr int operator()(int pawn, int king) const { return value[pawn - king + 128]; }
} PawnSupport;

// By (pawn file - defending king file) + 7, for differences -7..+3.
constexpr int DefenderFile[11] = {-168, -144, -120, -96, -72, 0, 48, 128, 96, 24, -17};

inline int Count(const Position& pos, int type, int colour) { return pos.pieceCount[MakeCode(type, colour)]; }

// The first square of `colour`'s list of `type`; the classifier makes sure there is one.
inline int FirstSquare(const Position& pos, int type, int colour) {
    int square = pos.links[LIST_HEAD + MakeCode(type, colour)][1];
    assert(square <= 119 && "no such piece");
    return square;
}

// Exactly these men besides the king.
bool HasOnly(const Position& pos, int colour, int pawns, int knights, int bishops, int rooks, int queens) {
    return Count(pos, PAWN, colour) == pawns && Count(pos, KNIGHT, colour) == knights &&
           Count(pos, BISHOP, colour) == bishops && Count(pos, ROOK, colour) == rooks &&
           Count(pos, QUEEN, colour) == queens;
}

inline int SquareColour(int square) { return (RankOf(square) + FileOf(square)) & 1; }  // 0 dark, 1 light

inline int Signed(const Position& pos, int strong, int value) { return pos.side == strong ? value : -value; }

// The side with more material (white on equal material).
inline int StrongSide(const Position& pos) { return pos.material[BLACK] > pos.material[WHITE] ? BLACK : WHITE; }

inline int Abs(int v) { return v < 0 ? -v : v; }

// The file (0 or 7) holding every pawn of `colour` when they all stand on one rook file,
// else -1. No pawns at all is no rook file.
int RookPawnFile(const PawnEntry& entry, int colour) {
    if (entry.openFiles[colour] == 0xFE) return 0;
    if (entry.openFiles[colour] == 0x7F) return 7;
    return -1;
}

// The defending king holds the rook pawns of `strong` on `file`: it stands ahead of the
// most advanced one on a neighbouring or the same file, or next to the promotion corner.
bool RookPawnsHeld(const Position& pos, int strong, int file) {
    const int weakKing = pos.kingSquare(strong ^ 1);
    const int corner = MakeSquare(file, strong == WHITE ? 7 : 0);
    const int pawn = MakeCode(PAWN, strong);
    int p = corner;
    while (OnBoard(p) && pos.board[p] != pawn) p -= PawnPush[strong];
    if (!OnBoard(p)) return false;  // the pawn record named the file: cannot happen
    const uint8_t* rank = RelativeRank[strong];
    if (rank[p] < rank[weakKing] && Abs(FileOf(p) - FileOf(weakKing)) < 2) return true;
    return KingDistance(weakKing, corner) < 2;
}

// Bishop and pawn against a bishop or more.
bool BishopPawnDrawn(const Position& pos, int s, int w) {
    const int pawn = FirstSquare(pos, PAWN, s);
    const int weakKing = pos.kingSquare(w);
    const uint8_t* rank = RelativeRank[s];
    if (pos.material[w] >= BishopValue && Count(pos, BISHOP, s) == 1) {
        int bishop = FirstSquare(pos, BISHOP, s);
        if (FileOf(weakKing) == FileOf(pawn) && rank[pawn] < rank[weakKing] &&
            (SquareColour(weakKing) != SquareColour(bishop) || rank[weakKing] < 6))
            return true;
    }
    if (pos.material[w] == BishopValue && Count(pos, BISHOP, s) == 1 && Count(pos, BISHOP, w) == 1) {
        int ownBishop = FirstSquare(pos, BISHOP, s), enemyBishop = FirstSquare(pos, BISHOP, w);
        if (SquareColour(ownBishop) == SquareColour(enemyBishop)) return false;
        if (rank[pawn] < 5) return true;
        const bool bishopFar = KingDistance(enemyBishop, pawn) >= 3;
        for (int sq = pawn + PawnPush[s]; OnBoard(sq); sq += PawnPush[s])
            if (sq == weakKing || (bishopFar && IsAttacked(pos, sq, w))) return true;
    }
    return false;
}

// Queen against rook and pawn, the rook guarded by a pawn next to its king.
bool QueenFortress(const Position& pos, int s, int w) {
    const int weakKing = pos.kingSquare(w), strongKing = pos.kingSquare(s);
    if (RelativeRank[w][weakKing] >= 2 || RelativeRank[w][strongKing] < 3) return false;
    const int rook = FirstSquare(pos, ROOK, w);
    for (int p = pos.links[LIST_HEAD + MakeCode(PAWN, w)][1]; p <= 119; p = pos.links[p][1]) {
        if (RelativeRank[w][p] != 1 || FileOf(p) == 0 || FileOf(p) == 7 || KingDistance(p, weakKing) != 1)
            continue;
        int ahead = p + PawnPush[w];
        if (rook == ahead - 1 || rook == ahead + 1) return true;
    }
    return false;
}

// ENDGAME_BARE_KING: drive the bare king to the edge with the own king close.
int EvaluateBareKing(const Position& pos) {
    const int s = StrongSide(pos), w = s ^ 1;
    const int strongKing = pos.kingSquare(s), weakKing = pos.kingSquare(w);
    int v = KingProximity[KingDistance(strongKing, weakKing)] + CornerTable[weakKing] + pos.material[s];
    if (Count(pos, ROOK, s) || Count(pos, QUEEN, s) || pos.material[s] >= MatingMaterial) v += MatingBonus;
    return Signed(pos, s, v);
}

// ENDGAME_ROOK_BISHOP: rook against bishop; only the defending king's corner counts.
int EvaluateRookBishop(const Position& pos) {
    const int s = pos.material[WHITE] == RookValue ? WHITE : BLACK;
    return Signed(pos, s, CornerTable[pos.kingSquare(s ^ 1)]);
}

// ENDGAME_ROOK_KNIGHT: rook against knight; the defending king is pushed away from its knight.
int EvaluateRookKnight(const Position& pos) {
    const int s = StrongSide(pos), w = s ^ 1;
    const int weakKing = pos.kingSquare(w);
    int v = CornerTable[weakKing] + KnightSeparation[KingDistance(weakKing, FirstSquare(pos, KNIGHT, w))] + 10;
    return Signed(pos, s, v);
}

// ENDGAME_ROOK_PAWN: rook against pawn, seen with the pawn running towards rank 1.
int EvaluateRookPawn(const Position& pos) {
    const int s = Count(pos, ROOK, WHITE) ? WHITE : BLACK, w = s ^ 1;
    const int flip = s == BLACK ? 0x70 : 0;
    const int strongKing = pos.kingSquare(s) ^ flip, weakKing = pos.kingSquare(w) ^ flip;
    const int rook = FirstSquare(pos, ROOK, s) ^ flip, p = FirstSquare(pos, PAWN, w) ^ flip;
    const int t = pos.side == s ? 1 : 0;
    const int sign = t ? 1 : -1;
    const int queening = FileOf(p);
    const int toStrong = KingDistance(strongKing, p);
    if ((FileOf(strongKing) == FileOf(p) && RankOf(strongKing) < RankOf(p)) ||
        KingDistance(strongKing, queening) - t + 1 < KingDistance(weakKing, queening) ||
        (KingDistance(weakKing, p) - (1 - t) >= 3 && KingDistance(weakKing, rook) >= 3))
        return (RookValue - toStrong) * sign;
    if (RankOf(p) <= 2 && KingDistance(weakKing, p) == 1 && RankOf(strongKing) >= 3 && toStrong - t > 2)
        return (10 - toStrong) * 8 * sign;
    return (8 * RankOf(p) + 200 - PawnSupport(p, weakKing) + PawnSupport(p, strongKing)) * sign;
}

// ENDGAME_BISHOP_KNIGHT: bishop and knight mate only in a corner of the bishop's colour.
int EvaluateBishopKnight(const Position& pos) {
    const int s = StrongSide(pos), w = s ^ 1;
    int strongKing = pos.kingSquare(s), weakKing = pos.kingSquare(w);
    if (SquareColour(FirstSquare(pos, BISHOP, s)) == 1) {
        strongKing ^= 7;
        weakKing ^= 7;
    }
    int v = KingProximity[KingDistance(strongKing, weakKing)] + BishopKnightCorner[weakKing] + MatingBonus;
    return Signed(pos, s, v);
}

// ENDGAME_ROOK_PAWN_ROOK: rook and pawn against rook, seen with the pawn on files a-d running to rank 8.
int EvaluateRookPawnRook(const Position& pos) {
    const int s = Count(pos, PAWN, WHITE) ? WHITE : BLACK, w = s ^ 1;
    int orient = s == BLACK ? 0x70 : 0;
    if (FileOf(FirstSquare(pos, PAWN, s) ^ orient) >= 4) orient ^= 7;
    const int p = FirstSquare(pos, PAWN, s) ^ orient;
    const int strongKing = pos.kingSquare(s) ^ orient, weakKing = pos.kingSquare(w) ^ orient;
    const int ownRook = FirstSquare(pos, ROOK, s) ^ orient, enemyRook = FirstSquare(pos, ROOK, w) ^ orient;
    const int f = FileOf(p), r = RankOf(p);
    const int queening = MakeSquare(f, 7), front = p + 16;
    const int t = pos.side == s ? 1 : 0;

    if (r < 5 && KingDistance(weakKing, queening) < 2 && RankOf(strongKing) <= 4) {
        if (RankOf(enemyRook) == 5) return 0;
        if (r < 3 && RankOf(ownRook) != 5) return 0;
    }
    if (r == 5 || r == 6) {
        if (r == 5 && KingDistance(weakKing, queening) < 2 && RankOf(strongKing) + t <= r &&
            (RankOf(enemyRook) == 0 || (t == 0 && Abs(FileOf(enemyRook) - f) >= 3)))
            return 0;
        if (weakKing == queening && RankOf(enemyRook) == 0 && (t == 0 || KingDistance(strongKing, p) >= 2)) return 0;
    }
    constexpr int A1 = 0x00, A2 = 0x10, A3 = 0x20, A7 = 0x60, A8 = 0x70, G7 = 0x66, H7 = 0x67;
    if (p == A7 && ownRook == A8 && (weakKing == G7 || weakKing == H7)) {
        if (enemyRook == A1 || enemyRook == A2 || enemyRook == A3) return 0;
        if (FileOf(enemyRook) == 0 && (FileOf(strongKing) >= 3 || RankOf(strongKing) <= 4)) return 0;
    }
    if (r == 6 && f != 0) {
        if (FileOf(ownRook) == f && ownRook != queening) {
            int d = KingDistance(strongKing, queening);
            if (d < t + KingDistance(weakKing, queening) - 2 && d < KingDistance(weakKing, ownRook) + t)
                return Signed(pos, s, RookValue + t - d);
        }
    } else {
        if (f != 0 && FileOf(ownRook) == f && RankOf(ownRook) < r) {
            int d1 = KingDistance(strongKing, queening), d2 = KingDistance(strongKing, front);
            int d3 = KingDistance(weakKing, ownRook) + t;
            if (d1 < KingDistance(weakKing, queening) + t - 1 && d2 < KingDistance(weakKing, front) + t - 1 &&
                (d3 >= 3 || (d1 < d3 && d2 < d3)))
                return Signed(pos, s, ((r + 4) * 16 - d1) * 4);
        }
        if (r <= 4 && weakKing == front && KingDistance(strongKing, p) - t >= 2 &&
            KingDistance(strongKing, enemyRook) - t >= 2)
            return 0;
    }

    int v = (r + 16) * 16;
    if (f == 0) v -= 60;
    v -= 6 * Abs(FileOf(enemyRook) - f) + 4 * KingDistance(p, enemyRook);
    if (RankOf(weakKing) < r) v += (r - RankOf(weakKing)) * 40;
    else v -= DefenderFile[f - FileOf(weakKing) + 7];
    if (RankOf(strongKing) < r) v += (RankOf(strongKing) - r) * 16;
    if (FileOf(enemyRook) == f && RankOf(enemyRook) < r) v -= 40;
    if (v >= 257) v = 5 * v - 1024;
    return Signed(pos, s, v);
}

// ENDGAME_QUEEN_ROOK: queen against rook.
int EvaluateQueenRook(const Position& pos) {
    const int s = StrongSide(pos), w = s ^ 1;
    const int strongKing = pos.kingSquare(s), weakKing = pos.kingSquare(w);
    return Signed(pos, s, KingProximity[KingDistance(strongKing, weakKing)] + CornerTable[weakKing] + RookValue);
}

// The tablebase score counts plies from the search root; a distance past any real search
// is taken as the root's.
int ProbePly(int plyFromRoot) { return plyFromRoot >= 0 && plyFromRoot <= DeepestProbePly ? plyFromRoot : 0; }

}  // namespace

const EndgameEvaluatorFunction EndgameEvaluator[8] = {
    nullptr,         EvaluateBareKing,     EvaluateRookBishop,  EvaluateRookKnight,
    EvaluateRookPawn, EvaluateBishopKnight, EvaluateRookPawnRook, EvaluateQueenRook,
};

int endgameClassifier(const Position& pos, int scale[2], const PawnEntry& entry, int& tablebaseScore,
                      int plyFromRoot) {
    if (Nalimov.maxPieces > 0 && probeTablebase(pos, ProbePly(plyFromRoot), tablebaseScore)) return ENDGAME_TABLEBASE;

    const int* M = pos.material;
    const int s = StrongSide(pos), w = s ^ 1;
    const int pawns[2] = {Count(pos, PAWN, WHITE), Count(pos, PAWN, BLACK)};
    const int pieces[2] = {M[WHITE] - PawnValue * pawns[WHITE], M[BLACK] - PawnValue * pawns[BLACK]};

    if (M[WHITE] == 0) scale[WHITE] = 0;
    if (M[BLACK] == 0) scale[BLACK] = 0;

    if (M[w] == 0 && pieces[s] >= RookValue) {
        if (HasOnly(pos, s, 0, 2, 0, 0, 0)) {
            scale[s] = 0;  // two knights cannot force mate
            return ENDGAME_CONTINUE;
        }
        if (HasOnly(pos, s, 0, 1, 1, 0, 0)) return ENDGAME_BISHOP_KNIGHT;
        return ENDGAME_BARE_KING;
    }

    // A lone minor piece cannot win.
    for (int c = WHITE; c <= BLACK; ++c)
        if (pawns[c] == 0 && (M[c] == KnightValue || M[c] == BishopValue)) scale[c] = 0;

    // Exact material: sums that count pawns would reach evaluators whose men are absent.
    if (HasOnly(pos, s, 0, 0, 0, 0, 1) && HasOnly(pos, w, 0, 0, 0, 1, 0)) return ENDGAME_QUEEN_ROOK;
    if (HasOnly(pos, s, 0, 0, 0, 1, 0) && HasOnly(pos, w, 1, 0, 0, 0, 0)) return ENDGAME_ROOK_PAWN;
    if (HasOnly(pos, s, 1, 0, 0, 1, 0) && HasOnly(pos, w, 0, 0, 0, 1, 0)) return ENDGAME_ROOK_PAWN_ROOK;
    if (HasOnly(pos, s, 0, 0, 0, 1, 0) && HasOnly(pos, w, 0, 1, 0, 0, 0)) return ENDGAME_ROOK_KNIGHT;
    if (HasOnly(pos, s, 0, 0, 0, 1, 0) && HasOnly(pos, w, 0, 0, 1, 0, 0)) return ENDGAME_ROOK_BISHOP;

    // A rook pawn whose corner the bishop does not cover, held by the defending king.
    if (pieces[s] == BishopValue && Count(pos, BISHOP, s) == 1) {
        int file = RookPawnFile(entry, s);
        if (file >= 0) {
            int corner = MakeSquare(file, s == WHITE ? 7 : 0);
            if (SquareColour(FirstSquare(pos, BISHOP, s)) != SquareColour(corner) && RookPawnsHeld(pos, s, file)) {
                scale[s] = 0;
                return ENDGAME_CONTINUE;
            }
        }
    }
    if (M[w] == 0 && pawns[s] >= 2 && pieces[s] == 0) {
        int file = RookPawnFile(entry, s);
        if (file >= 0 && RookPawnsHeld(pos, s, file)) {
            scale[s] = 0;
            return ENDGAME_CONTINUE;
        }
    }

    // Rook and two pawns against rook and pawn, no passed pawn, the defending king in front.
    if (HasOnly(pos, s, 2, 0, 0, 1, 0) && HasOnly(pos, w, 1, 0, 0, 1, 0) && entry.passed[s][0] == 0) {
        int p1 = FirstSquare(pos, PAWN, s), p2 = pos.links[p1][1];
        int weakKing = pos.kingSquare(w);
        const uint8_t* rank = RelativeRank[s];
        int r = rank[p1] > rank[p2] ? rank[p1] : rank[p2];
        if (Abs(FileOf(p1) - FileOf(weakKing)) <= 1 && Abs(FileOf(p2) - FileOf(weakKing)) <= 1 &&
            rank[weakKing] >= r && TwoPawnsScale[r] >= 0)
            scale[s] = TwoPawnsScale[r];
        return ENDGAME_CONTINUE;
    }

    if (M[s] == QueenValue && Count(pos, QUEEN, s) == 1 && Count(pos, ROOK, w) >= 1 && pawns[w] >= 1 &&
        QueenFortress(pos, s, w))
        scale[s] = 0;

    if (M[s] == BishopValue + PawnValue && Count(pos, BISHOP, s) == 1 && BishopPawnDrawn(pos, s, w)) {
        scale[s] = 0;
        return ENDGAME_CONTINUE;
    }

    if (pawns[s] == 0 && scale[s] >= 1) {
        if (M[s] - M[w] > PawnlessEdge) return ENDGAME_CONTINUE;
        if (M[s] == M[w]) {
            scale[s] = 0;
            if (pawns[w] == 0) scale[w] = 0;
        } else if (M[s] == RookBishopMaterial && Count(pos, ROOK, w)) {
            scale[s] = Count(pos, BISHOP, s) ? RookBishopScale : RookNoBishopScale;
            if (pawns[w] == 0) scale[w] = 0;
        } else {
            scale[s] = PawnlessScale;
            if (pawns[w] == 0) scale[w] = 0;
        }
    }
    return ENDGAME_CONTINUE;
}

}  // namespace brinz
