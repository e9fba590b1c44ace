// What the evaluation tables say about chess: the shapes a change of a value must keep
// (the centre above the rim, more mobility never worse, ...), not the values themselves.
#include <gtest/gtest.h>

#include <string>

#include "board/piece_square.h"
#include "eval/evaluate.h"
#include "eval/pawns.h"
#include "eval/pieces.h"

namespace brinz {
namespace {

int Square(int file, int rank) { return 16 * rank + file; }

template <typename T, size_t N>
bool NeverFalls(const T (&row)[N], size_t from = 0, size_t to = N) {
    for (size_t i = from + 1; i < to; ++i)
        if (row[i] < row[i - 1]) return false;
    return true;
}

TEST(EvalTables, PieceSquareTablesMirrorForBlackAndAcrossTheBoard) {
    for (int code : {WHITE_PAWN, WHITE_KNIGHT, WHITE_BISHOP, WHITE_ROOK, WHITE_QUEEN, WHITE_KING}) {
        SCOPED_TRACE("piece " + std::to_string(code));
        for (int rank = 0; rank < 8; ++rank)
            for (int file = 0; file < 8; ++file) {
                const int sq = Square(file, rank);
                EXPECT_EQ(PieceSquare[code + 8][sq ^ 0x70], PieceSquare[code][sq]) << "black mirrors white";
                EXPECT_EQ(PieceSquare[code][Square(7 - file, rank)], PieceSquare[code][sq]) << "file mirror";
                EXPECT_EQ(PieceSquare[code][sq + 8], 0) << "off-board entry";
            }
    }
}

TEST(EvalTables, PieceSquareTablesPreferWhereEachPieceBelongs) {
    const auto& knight = PieceSquare[WHITE_KNIGHT];
    const auto& pawn = PieceSquare[WHITE_PAWN];
    const auto& rook = PieceSquare[WHITE_ROOK];
    const auto& king = PieceSquare[WHITE_KING];
    const int centre[4] = {Square(3, 3), Square(4, 3), Square(3, 4), Square(4, 4)};
    for (int rank = 0; rank < 8; ++rank)
        for (int file = 0; file < 8; ++file) {
            const int sq = Square(file, rank);
            SCOPED_TRACE("square " + std::to_string(sq));
            if (file == 0 || file == 7 || rank == 0 || rank == 7) {
                for (int c : centre) EXPECT_LT(knight[sq], knight[c]) << "a knight on the rim is dim";
            }
            if (rank == 0 || rank == 7) {
                EXPECT_EQ(pawn[sq], 0) << "no pawn stands there";
            }
            if (rank < 6) {
                for (int f = 0; f < 8; ++f) EXPECT_LT(rook[sq], rook[Square(f, 6)]) << "the seventh rank is the rook's";
            }
            if (rank >= 2) {
                EXPECT_LT(king[sq], king[Square(6, 0)]) << "in the middle game the king hides on g1";
                EXPECT_LT(king[sq], king[Square(1, 0)]) << "or b1";
            }
        }
    EXPECT_GT(pawn[Square(3, 3)], pawn[Square(3, 1)]) << "a centre pawn gains by advancing";
    EXPECT_GT(king[Square(6, 0)], king[Square(4, 0)]) << "castled beats the home square";
}

TEST(EvalTables, TheEndgameKingWantsTheCentre) {
    int best = KingEndgame[0];
    for (int sq = 0; sq < 128; ++sq)
        if (!(sq & 0x88)) best = best > KingEndgame[sq] ? best : KingEndgame[sq];
    for (int sq : {Square(3, 3), Square(4, 3), Square(3, 4), Square(4, 4)}) EXPECT_EQ(KingEndgame[sq], best);
    for (int sq : {Square(0, 0), Square(7, 0), Square(0, 7), Square(7, 7)}) EXPECT_EQ(KingEndgame[sq], 0);
    // Both colours read it by their own square: it is not mirrored, and h2 differs from h7.
    EXPECT_NE(KingEndgame[Square(7, 1)], KingEndgame[Square(7, 6)]);
}

TEST(EvalTables, MoreMobilityIsNeverWorse) {
    struct Row {
        const char* name;
        const int* values;
        int size;
    };
    const Row rows[] = {
        {"knight", KnightMobility, 9},       {"bishop", BishopMobility, 16},
        {"rook mg", RookMobilityMg, 16},     {"rook eg", RookMobilityEg, 16},
        {"queen mg", QueenMobilityMg, 32},   {"queen eg", QueenMobilityEg, 32},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_LT(r.values[0], 0) << "a piece without a move is a liability";
        EXPECT_GT(r.values[r.size - 1], 0);
        for (int i = 1; i < r.size; ++i) EXPECT_GE(r.values[i], r.values[i - 1]) << i;
    }
    EXPECT_EQ(DevelopmentTable[0], 0) << "nothing undeveloped costs nothing";
    for (int i = 1; i < 13; ++i) EXPECT_LT(DevelopmentTable[i], DevelopmentTable[i - 1]) << i;
}

TEST(EvalTables, PawnTablesFollowRankAndFile) {
    for (const int* row : {IsolatedPenalty, DoubledPenalty, BackwardPenalty}) {
        for (int f = 0; f < 4; ++f) EXPECT_EQ(row[f], row[7 - f]) << "file " << f + 1;
        EXPECT_GT(row[3], row[0]) << "a weak centre pawn costs more than a weak rim pawn";
    }
    EXPECT_TRUE(NeverFalls(WeaknessCount)) << "more weaknesses never cost less";
    // Relative ranks: a passer is worth more the further it is, from its second rank to its seventh.
    EXPECT_EQ(PassedBase[0], 0);
    EXPECT_EQ(PassedBase[7], 0);
    EXPECT_TRUE(NeverFalls(PassedBase, 1, 7));
    EXPECT_GT(PassedBase[6], PassedBase[1]);
    EXPECT_TRUE(NeverFalls(CandidateBonus, 1, 6));
    EXPECT_EQ(CandidateBonus[6], 0) << "on the seventh rank a pawn is passed or blocked, not a candidate";
}

TEST(EvalTables, OutpostsLieInTheEnemyHalfAndNeverCost) {
    for (int rank = 0; rank < 8; ++rank)
        for (int file = 0; file < 8; ++file) {
            SCOPED_TRACE("rank " + std::to_string(rank + 1) + " file " + std::to_string(file + 1));
            for (int value : {KnightOutpost[rank][file], BishopOutpost[rank][file], RookOutpost[rank][file]})
                EXPECT_GE(value, 0);
            if (rank < 2 || rank > 5) {
                EXPECT_EQ(KnightOutpost[rank][file], 0);
                EXPECT_EQ(BishopOutpost[rank][file], 0);
            }
            if (rank < 3 || rank > 5) {
                EXPECT_EQ(RookOutpost[rank][file], 0);
            }
        }
}

TEST(EvalTables, CountedPenaltiesAndDangerNeverFall) {
    EXPECT_TRUE(NeverFalls(SeventhRank));
    EXPECT_TRUE(NeverFalls(BadPieces));
    EXPECT_EQ(DangerTable[0], 0) << "no danger, no penalty";
    for (int i = 1; i < DangerTableSize; ++i) EXPECT_GE(DangerTable[i], DangerTable[i - 1]) << i;
    EXPECT_EQ(DangerTable[DangerTableSize - 1], DangerTable[80]) << "the danger saturates";
}

// The proximity look-up reads the rows by square difference, oriented by the pawn's colour.
TEST(EvalTables, KingPawnProximityOrientation) {
    const int e4 = 0x34;
    EXPECT_EQ(KingPawnProximity(e4 + 16, e4, WHITE), 40);     // king right in front of a white pawn
    EXPECT_EQ(KingPawnProximity(e4 + 32, e4, WHITE), 35);
    EXPECT_EQ(KingPawnProximity(e4 - 16, e4, WHITE), 25);     // behind it
    EXPECT_EQ(KingPawnProximity(e4 - 16, e4, BLACK), 40);     // in front of a black pawn
    EXPECT_EQ(KingPawnProximity(e4 + 16, e4, BLACK), 25);
    EXPECT_EQ(KingPawnProximity(e4 + 0x43, e4, WHITE), 2);    // +4 ranks, +3 files
    EXPECT_EQ(KingPawnProximity(e4 - 0x30 - 3, e4, WHITE), 0);
    EXPECT_EQ(KingPawnProximity(e4 + 0x50, e4, WHITE), 0);    // five ranks away
    EXPECT_EQ(KingPawnProximity(e4 + 4, e4, WHITE), 0);       // four files away
}

// Counts that promotions push past a table read its last entry, never beyond it.
TEST(EvalTables, CountedIndicesStopAtTheLastEntry) {
    struct Case { int count, seventh, bad, development; };
    const Case cases[] = {
        {0, 0, 0, 0}, {3, 64, 20, -20}, {7, 150, 120, -60}, {8, 150, 120, -70},
        {12, 150, 120, -110}, {13, 150, 120, -110}, {20, 150, 120, -110},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("count " + std::to_string(c.count));
        EXPECT_EQ(SeventhRankBonus(c.count), c.seventh);
        EXPECT_EQ(BadPiecesPenalty(c.count), c.bad);
        EXPECT_EQ(DevelopmentValue(c.count), c.development);
    }
}

}  // namespace
}  // namespace brinz
