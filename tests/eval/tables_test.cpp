// Pins the evaluation tables: a few entries of each and the total of every
// row, so a slipped digit anywhere shows.
#include <gtest/gtest.h>

#include <numeric>
#include <string>

#include "board/piece_square.h"
#include "eval/evaluate.h"
#include "eval/pawns.h"
#include "eval/pieces.h"

namespace brinz {
namespace {

template <typename T, size_t N>
int Sum(const T (&row)[N]) {
    return std::accumulate(row, row + N, 0);
}

// Sum of a 0x88 table row: one rank, files a..h.
template <typename Table>
int RankSum(const Table& table, int rank) {
    int sum = 0;
    for (int file = 0; file < 8; ++file) sum += table[16 * rank + file];
    return sum;
}

struct RowTotals {
    const char* name;
    int code;
    int ranks[8];  // totals of ranks 1..8
};

const RowTotals PieceSquareRows[] = {
    {"Pawn", WHITE_PAWN, {0, 68, 68, 94, 128, 176, 92, 0}},
    {"Knight", WHITE_KNIGHT, {-180, -48, 12, 26, 46, 46, -12, -180}},
    {"Bishop", WHITE_BISHOP, {120, 168, 196, 216, 244, 240, 212, 192}},
    {"Rook", WHITE_ROOK, {28, 28, 28, 28, 28, 140, 216, 198}},
    {"Queen", WHITE_QUEEN, {28, 92, 124, 140, 152, 196, 168, 104}},
    {"King", WHITE_KING, {84, 8, -136, -240, -312, -320, -320, -320}},
};

class PieceSquareRowTest : public testing::TestWithParam<RowTotals> {};

TEST_P(PieceSquareRowTest, RankTotalsAndBlackMirror) {
    const RowTotals& row = GetParam();
    for (int rank = 0; rank < 8; ++rank) {
        SCOPED_TRACE("rank " + std::to_string(rank + 1));
        EXPECT_EQ(RankSum(PieceSquare[row.code], rank), row.ranks[rank]);
        for (int file = 0; file < 8; ++file) {
            int sq = 16 * rank + file;
            EXPECT_EQ(PieceSquare[row.code + 8][sq ^ 0x70], PieceSquare[row.code][sq]);
            EXPECT_EQ(PieceSquare[row.code][sq + 8], 0) << "off-board entry";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Eval, PieceSquareRowTest, testing::ValuesIn(PieceSquareRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(EvalTables, PieceSquareEntries) {
    EXPECT_EQ(PieceSquare[WHITE_PAWN][0x33], 29);    // d4
    EXPECT_EQ(PieceSquare[WHITE_KNIGHT][0x00], -36); // a1
    EXPECT_EQ(PieceSquare[WHITE_BISHOP][0x11], 28);  // b2
    EXPECT_EQ(PieceSquare[WHITE_ROOK][0x63], 30);    // d7
    EXPECT_EQ(PieceSquare[WHITE_KING][0x06], 20);    // g1
    EXPECT_EQ(PieceSquare[BLACK_KING][0x76], 20);    // g8
    EXPECT_EQ(PieceSquare[BLACK_PAWN][0x43], 29);    // d5
}

TEST(EvalTables, KingEndgameIsNotMirrored) {
    const int ranks[8] = {44, 105, 180, 268, 268, 180, 108, 44};
    int total = 0;
    for (int rank = 0; rank < 8; ++rank) {
        EXPECT_EQ(RankSum(KingEndgame, rank), ranks[rank]) << "rank " << rank + 1;
        total += RankSum(KingEndgame, rank);
    }
    EXPECT_EQ(total, 1197);
    EXPECT_EQ(KingEndgame[0x17], 1);  // h2
    EXPECT_EQ(KingEndgame[0x67], 4);  // h7
    EXPECT_EQ(KingEndgame[0x33], 56); // d4
    EXPECT_EQ(KingEndgame[0x00], 0);
}

TEST(EvalTables, DriverTables) {
    EXPECT_EQ(Sum(SeventhRank), 672);
    EXPECT_EQ(SeventhRank[4], 110);
    EXPECT_EQ(Sum(BadPieces), 398);
    EXPECT_EQ(BadPieces[3], 20);
    EXPECT_EQ(Sum(BishopPair), 400);
    EXPECT_EQ(BishopPair[1], 100);
    EXPECT_EQ(BishopPair[3], 0);
    EXPECT_EQ(Sum(ShelterFactor), 80);
    EXPECT_EQ(ShelterFactor[3], 6);
}

TEST(EvalTables, PawnTables) {
    EXPECT_EQ(Sum(IsolatedPenalty), 102);
    EXPECT_EQ(Sum(DoubledPenalty), 102);
    EXPECT_EQ(Sum(BackwardPenalty), 102);
    EXPECT_EQ(IsolatedPenalty[3], 20);
    EXPECT_EQ(Sum(WeaknessCount), 268);
    EXPECT_EQ(WeaknessCount[4], 25);
    EXPECT_EQ(Sum(CandidateBonus), 126);
    EXPECT_EQ(CandidateBonus[5], 53);
    EXPECT_EQ(Sum(PassedBase), 636);
    EXPECT_EQ(PassedBase[6], 256);

    const int kingside[8] = {0, -63, -42, 24, 54, 75, 69, 0};
    const int queenside[8] = {0, -57, -24, 51, 72, 96, 96, 0};
    const int centre[8] = {0, 0, 4, 12, 12, 0, 0, 0};
    for (int rank = 0; rank < 8; ++rank) {
        SCOPED_TRACE("rank " + std::to_string(rank + 1));
        EXPECT_EQ(Sum(KingsideStorm[rank]), kingside[rank]);
        EXPECT_EQ(Sum(QueensideStorm[rank]), queenside[rank]);
        EXPECT_EQ(Sum(CentreDanger[rank]), centre[rank]);
    }
    EXPECT_EQ(KingsideStorm[1][3], -3);  // d2
    EXPECT_EQ(KingsideStorm[5][7], 24);  // h6
    EXPECT_EQ(QueensideStorm[3][2], 15); // c4
    EXPECT_EQ(CentreDanger[3][3], 4);    // d4

    const int proximity[8] = {48, 108, 165, 190, 116, 105, 45, 18};
    for (int row = 0; row < 8; ++row) EXPECT_EQ(Sum(KingPawnProximityRows[row]), proximity[row]) << "row " << row;
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

TEST(EvalTables, MobilityAndDevelopment) {
    EXPECT_EQ(Sum(KnightMobility), 99);
    EXPECT_EQ(Sum(BishopMobility), 560);
    EXPECT_EQ(Sum(RookMobilityMg), 176);
    EXPECT_EQ(Sum(RookMobilityEg), 502);
    EXPECT_EQ(Sum(QueenMobilityMg), 326);
    EXPECT_EQ(Sum(QueenMobilityEg), 678);
    EXPECT_EQ(QueenMobilityMg[14], 15);
    EXPECT_EQ(QueenMobilityMg[15], 16);
    EXPECT_EQ(QueenMobilityEg[11], 29);
    EXPECT_EQ(QueenMobilityEg[12], 30);
    EXPECT_EQ(BishopMobility[11], 57);
    EXPECT_EQ(Sum(DevelopmentTable), -666);
    EXPECT_EQ(DevelopmentTable[9], -80);
}

TEST(EvalTables, OutpostsAndKingSquares) {
    const int knight[8] = {0, 0, 36, 86, 118, 62, 0, 0};
    const int bishop[8] = {0, 0, 44, 88, 104, 52, 0, 0};
    const int rook[8] = {0, 0, 0, 32, 52, 40, 0, 0};
    const int king[8] = {18, 32, 82, 120, 120, 120, 120, 0};
    for (int rank = 0; rank < 8; ++rank) {
        SCOPED_TRACE("rank " + std::to_string(rank + 1));
        EXPECT_EQ(Sum(KnightOutpost[rank]), knight[rank]);
        EXPECT_EQ(Sum(BishopOutpost[rank]), bishop[rank]);
        EXPECT_EQ(Sum(RookOutpost[rank]), rook[rank]);
        EXPECT_EQ(Sum(KingSquareDanger[rank]), king[rank]);
    }
    EXPECT_EQ(KnightOutpost[4][3], 25);
    EXPECT_EQ(RookOutpost[3][0], 6);
    EXPECT_EQ(KingSquareDanger[0][3], 5);
}

TEST(EvalTables, AttackerWeightRows) {
    const int totals[32] = {60, 0, 22, 0, 22, 0, 26, 24, 37, 16, 40, 40, 40, 40, 40, 40,
                            62, 24, 63, 56, 63, 56, 72, 64, 70, 56, 79, 72, 79, 72, 83, 80};
    for (int kinds = 0; kinds < 32; ++kinds) EXPECT_EQ(Sum(AttackerWeight[kinds]), totals[kinds]) << "kinds " << kinds;
    EXPECT_EQ(AttackerWeight[KIND_QUEEN][1], 2);
    EXPECT_EQ(AttackerWeight[KIND_ROOK][4], 6);
    EXPECT_EQ(AttackerWeight[KIND_KNIGHT | KIND_BISHOP | KIND_ROOK | KIND_QUEEN][5], 11);
}

TEST(EvalTables, DangerTable) {
    int total = 0;
    for (int i = 0; i < DangerTableSize; ++i) total += DangerTable[i];
    EXPECT_EQ(total, 33977);
    EXPECT_EQ(DangerTable[3], 1);
    EXPECT_EQ(DangerTable[23], 80);
    EXPECT_EQ(DangerTable[24], 90);
    EXPECT_EQ(DangerTable[63], 480);
    for (int i = 80; i < DangerTableSize; ++i) EXPECT_EQ(DangerTable[i], 650) << i;
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
