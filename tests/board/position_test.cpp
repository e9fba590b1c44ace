#include "board/position.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "board/keys.h"
#include "support/engine_setup.h"

namespace brinz {
namespace {

TEST(KeyGenerator, MatchesReferenceOutputs) {
    const uint32_t seed[4] = {0x123, 0x234, 0x345, 0x456};
    Mt19937 generator;
    generator.seedByArray(seed, 4);
    const uint32_t expected[] = {1067595299u, 955945823u, 477289528u, 4107218783u, 4228976476u};
    for (uint32_t value : expected) EXPECT_EQ(generator.next(), value);
}

TEST(KeyGenerator, SeedsItselfWhenDrawnUnseeded) {
    Mt19937 unseeded, seeded;
    seeded.seed(5489u);
    for (int i = 0; i < 1000; ++i) ASSERT_EQ(unseeded.next(), seeded.next());
}

TEST(Keys, AreFixedAndDistinct) {
    support::initialiseTables();
    EXPECT_EQ(EnPassantKeys[0], 0u);
    EXPECT_NE(SideKey, 0u);
    EXPECT_NE(PieceKeys[1][0], PieceKeys[1][1]);
    EXPECT_EQ(PieceKeys[0][5], 0u);
}

TEST(Fen, BothCastlingNotationsGiveTheSameStartPosition) {
    Position files = support::positionFromFen(StartFen);
    Position letters = support::positionFromFen("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 0");
    EXPECT_EQ(0, std::memcmp(files.boardFrame, letters.boardFrame, sizeof files.boardFrame));
    EXPECT_EQ(files.key, letters.key);
    EXPECT_EQ(files.castleLost, 0);
    EXPECT_EQ(files.kingFile, 4);
    EXPECT_EQ(files.kingsideRookFile, 7);
    EXPECT_EQ(files.queensideRookFile, 0);
    EXPECT_EQ(files.epSquare, 0);
    EXPECT_EQ(files.fifty, 0);
    EXPECT_EQ(files.lastMove, MOVE_NONE);
    EXPECT_EQ(files.ply, 0);
    EXPECT_EQ(files.material[WHITE], 10528);
    EXPECT_EQ(files.material[BLACK], 10528);
    EXPECT_EQ(files.pstSum[WHITE], files.pstSum[BLACK]);
    EXPECT_EQ(files.checkerCount, 0);
    EXPECT_EQ(files.pieceCount[WHITE_PAWN], 8);
    EXPECT_EQ(files.pieceCount[BLACK_QUEEN], 1);
    EXPECT_EQ(CheckPositionConsistency(files), nullptr);
}

TEST(Fen, PieceListsRunInDescendingSquareOrder) {
    Position pos = support::positionFromFen(StartFen);
    int expected = 23;  // h2
    for (int node = pos.links[LIST_HEAD + WHITE_PAWN][1]; node <= 119; node = pos.links[node][1])
        EXPECT_EQ(node, expected--);
    EXPECT_EQ(expected, 15);
    // The colour's chain visits the king first, then queens, rooks, ... pawns.
    std::vector<int> types;
    for (int node = pos.links[LIST_HEAD + WHITE_KING][1]; node != LIST_END; node = pos.links[node][1])
        if (node <= 119) types.push_back(TypeOf(pos.board[node]));
    ASSERT_EQ(types.size(), 16u);
    EXPECT_TRUE(std::is_sorted(types.rbegin(), types.rend()));
}

struct FenFieldCase {
    const char* name;
    const char* fen;
    int castleLost, epSquare, fifty;
};
void PrintTo(const FenFieldCase& c, std::ostream* out) { *out << c.name; }

const FenFieldCase FieldCases[] = {
    {"EndsAfterSide", "4k3/8/8/8/8/8/8/4K3 w", 15, 0, 0},
    {"SecondLetterCancels", "r3k2r/8/8/8/8/8/8/R3K2R w KQkqK - 0 1", 1, 0, 0},
    {"EnPassantBackedByPawn", "4k3/8/8/8/4P3/8/8/4K3 b - e3 0 1", 15, 36, 0},
    {"EnPassantWithoutPawnDropped", "4k3/8/8/8/8/8/8/4K3 b - e3 0 1", 15, 0, 0},
    {"EnPassantDash", "4k3/8/8/8/4P3/8/8/4K3 b - - 7 1", 15, 0, 7},
    {"EnPassantUnreadable", "4k3/8/8/8/4P3/8/8/4K3 b - z9 12 1", 15, 0, 12},
    {"EndsInsideEnPassant", "4k3/8/8/8/4P3/8/8/4K3 b - e", 15, 0, 0},
    {"HugeClockCapped", "4k3/8/8/8/8/8/8/4K3 w - - 99999999999999999999 1", 15, 0, 999999},
    {"CastlingWithoutRookDropped", "4k3/8/8/8/8/8/8/R5K1 w Q - 0 1", 15, 0, 0},
    {"FileLettersKingOnB", "rk5r/8/8/8/8/8/8/RK5R w AHah - 0 1", 0, 0, 0},
    {"RunsOfBlanksAndTabs", "4k3/8/8/8/4P3/8/8/4K3  \t b\t\t-   e3  12 1", 15, 36, 12},
};

class FenFieldTest : public testing::TestWithParam<FenFieldCase> {};

TEST_P(FenFieldTest, ReadsTheFields) {
    const FenFieldCase& c = GetParam();
    Position pos = support::positionFromFen(c.fen);
    EXPECT_EQ(pos.castleLost, c.castleLost);
    EXPECT_EQ(pos.epSquare, c.epSquare);
    if (c.fifty < 999999) {
        EXPECT_EQ(pos.fifty, c.fifty);
    } else {
        EXPECT_GE(pos.fifty, 100000);
    }
    EXPECT_EQ(CheckPositionConsistency(pos), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Board, FenFieldTest, testing::ValuesIn(FieldCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Fen, FileLettersSetTheGeometry) {
    const Position pos = support::positionFromFen("rk5r/8/8/8/8/8/8/RK5R w AHah - 0 1");
    EXPECT_EQ(pos.kingFile, 1);
    EXPECT_EQ(pos.kingsideRookFile, 7);
    EXPECT_EQ(pos.queensideRookFile, 0);
}

TEST(Fen, SideKeyIsTheOnlyDifferenceOfSideToMove) {
    Position white = support::positionFromFen("4k3/8/8/8/8/8/8/4K2R w - - 0 1");
    Position black = support::positionFromFen("4k3/8/8/8/8/8/8/4K2R b - - 0 1");
    EXPECT_EQ(white.key ^ black.key, SideKey);
}

TEST(Fen, CheckersFound) {
    Position pos = support::positionFromFen("rnbqkbnr/ppppp1pp/5p2/7Q/4P3/8/PPPP1PPP/RNB1KBNR b KQkq - 1 2");
    EXPECT_EQ(pos.checkerCount, 1);
    EXPECT_EQ(pos.checkers[0], 71);
}

struct BadFenCase {
    const char* name;
    const char* fen;
};
void PrintTo(const BadFenCase& c, std::ostream* out) { *out << c.name; }

const BadFenCase BadCases[] = {
    {"Empty", ""},
    {"EndsInPlacement", "rnbqkbnr/pppp"},
    {"BadCharacter", "rnbqkbnr/ppppxppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1"},
    {"RankOfSevenFiles", "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBN w KQkq - 0 1"},
    {"RankOfNineFiles", "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR1 w KQkq - 0 1"},
    {"PieceOnANinthFile", "4k3/8/8/8/8/8/8/4K3N w - - 0 1"},
    {"DigitZero", "4k3/8/8/8/8/8/8/4K03 w - - 0 1"},
    {"DigitNine", "4k3/8/9/8/8/8/8/4K3 w - - 0 1"},
    {"NineRanks", "4k3/8/8/8/8/8/8/8/4K3 w - - 0 1"},
    {"SevenRanks", "4k3/8/8/8/8/8/4K3 w - - 0 1"},
    {"EmptyRank", "4k3/8/8//8/8/8/8/4K3 w - - 0 1"},
    {"SideOfTwoLetters", "4k3/8/8/8/8/8/8/4K3 wb - - 0 1"},
    {"BadSide", "4k3/8/8/8/8/8/8/4K3 x - - 0 1"},
    {"NoKing", "8/8/8/8/8/8/8/4K3 w - - 0 1"},
    {"TwoKings", "4k3/8/8/8/8/8/8/3KK3 w - - 0 1"},
    {"PawnOnBackRank", "4k2P/8/8/8/8/8/8/4K3 w - - 0 1"},
    {"NinePawns", "4k3/8/8/8/8/P7/PPPPPPPP/4K3 w - - 0 1"},
    {"TooManyQueens", "4k3/8/8/8/QQQQQQQQ/QQ6/PPPPPPPP/4K3 w - - 0 1"},
    {"SideNotToMoveInCheck", "4k3/8/8/8/8/8/8/4R1K1 w - - 0 1"},
};

class BadFenTest : public testing::TestWithParam<BadFenCase> {};

TEST_P(BadFenTest, KeepsThePreviousPositionWhole) {
    support::initialiseTables();
    Position pos = support::positionFromFen("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1");
    Position before = pos;
    testing::internal::CaptureStdout();
    EXPECT_FALSE(SetPositionFromFen(pos, GetParam().fen));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Error FEN\n");
    EXPECT_EQ(0, std::memcmp(pos.boardFrame, before.boardFrame, sizeof pos.boardFrame));
    EXPECT_EQ(pos.key, before.key);
    EXPECT_EQ(pos.kingFile, before.kingFile);
    EXPECT_EQ(pos.kingsideRookFile, before.kingsideRookFile);
    EXPECT_EQ(pos.queensideRookFile, before.queensideRookFile);
    EXPECT_EQ(CheckPositionConsistency(pos), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Board, BadFenTest, testing::ValuesIn(BadCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Fen, PlacementsSteppingOffTheBoardStayInside) {
    // Long ranks, a digit 9 and a ninth rank: pieces beyond the board are dropped, the frame is untouched.
    const char* fens[] = {
        "4k3/8/8/8/8/8/8/4K39N w - - 0 1",
        "4k3/8/8/8/8/8/8/4K3QQQQQQQQQQQQ w - - 0 1",
        "4k3/8/8/8/8/8/8/4K3/8/8/pppp w - - 0 1",
        "9/4k3/8/8/8/8/8/8/4K3 w - - 0 1",
        "4k3/8/8/8/8/8/8/4K3/////////////////////////////////////////////////// w - - 0 1",
    };
    for (const char* fen : fens) {
        SCOPED_TRACE(fen);
        support::initialiseTables();
        Position pos;
        testing::internal::CaptureStdout();
        bool ok = SetPositionFromFen(pos, fen);
        testing::internal::GetCapturedStdout();
        for (int i = 0; i < 256; ++i) {
            int sq = i - 64;
            if (sq < 0 || sq >= 128 || !OnBoard(sq)) {
                EXPECT_EQ(pos.boardFrame[i], OFFBOARD) << i;
            }
        }
        if (ok) {
            EXPECT_EQ(CheckPositionConsistency(pos), nullptr);
        }
    }
}

TEST(Position, CopyUsesItsOwnArrays) {
    Position original = support::positionFromFen(StartFen);
    Position copy = original;
    EXPECT_EQ(copy.board, copy.boardFrame + 64);
    EXPECT_EQ(copy.pawnFiles[WHITE], copy.pawnFileBytes[WHITE] + 4);
    EXPECT_EQ(copy.pawnFiles[BLACK], copy.pawnFileBytes[BLACK] + 4);
    copy.board[20] = EMPTY;
    EXPECT_EQ(original.board[20], WHITE_PAWN);
    EXPECT_EQ(copy.pawnFiles[WHITE][4], 1 << 1);
}

TEST(Position, KeyHistoryCompactionKeepsRecentKeys) {
    Position pos = support::positionFromFen(StartFen);
    for (int i = 0; i < KeyHistoryCompactAt; ++i) pos.keyHistory[i] = uint64_t(i) + 1;
    pos.ply = KeyHistoryCompactAt;
    CompactKeyHistory(pos);
    EXPECT_EQ(pos.ply, KeyHistoryKeep);
    for (int k = 1; k <= KeyHistoryKeep; ++k)
        EXPECT_EQ(pos.keyHistory[pos.ply - k], uint64_t(KeyHistoryCompactAt - k) + 1);
    pos.ply = 10;
    CompactKeyHistory(pos);
    EXPECT_EQ(pos.ply, 10);
}

TEST(Tables, RelativeRankAndBitCount) {
    EXPECT_EQ(RelativeRank[WHITE][0x14], 1);
    EXPECT_EQ(RelativeRank[BLACK][0x14], 6);
    EXPECT_EQ(RelativeRank[BLACK][0x70], 0);
    EXPECT_EQ(BitCount8[0], 0);
    EXPECT_EQ(BitCount8[255], 8);
    EXPECT_EQ(BitCount8[0xA5], 4);
}

}  // namespace
}  // namespace brinz
