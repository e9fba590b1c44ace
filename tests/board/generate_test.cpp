#include "board/generate.h"

#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "board/make_move.h"
#include "move_lists.h"
#include "support/engine_setup.h"

namespace brinz {
namespace {

using test::Generate;
using test::Texts;

enum class Generator { Moves, Captures, Evasions, QuietChecks };

std::string RunGenerator(Generator generator, Position& pos) {
    switch (generator) {
        case Generator::Moves: return Texts(Generate(GenerateMoves, pos), pos);
        case Generator::Captures: return Texts(Generate(GenerateCaptures, pos), pos);
        case Generator::Evasions: return Texts(Generate(GenerateEvasions, pos), pos);
        case Generator::QuietChecks: return Texts(Generate(GenerateQuietChecks, pos), pos);
    }
    return "";
}

// Order is part of the contract: move ordering and node counts follow it.
struct OrderCase {
    const char* name;
    const char* fen;
    Generator generator;
    const char* expected;
};

const OrderCase OrderCases[] = {
    {"StartKnightsBeforePawnsDescendingSquares", "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
     Generator::Moves,
     "g1h3 g1f3 b1c3 b1a3 h2h3 h2h4 g2g3 g2g4 f2f3 f2f4 e2e3 e2e4 d2d3 d2d4 c2c3 c2c4 b2b3 b2b4 a2a3 a2a4"},
    {"SeventhRankPawnAllPromotionsQueenFirst", "3r3k/4P3/8/8/8/8/8/K7 w - - 0 1", Generator::Moves,
     "a1b2 a1a2 a1b1 e7e8q e7e8r e7e8b e7e8n e7d8q e7d8r e7d8b e7d8n"},
    {"SeventhRankPawnQueenPromotionsOnly", "3r3k/4P3/8/8/8/8/8/K7 w - - 0 1", Generator::Captures, "e7e8q e7d8q"},
    {"CapturesPawnsKnightsBishopsRooksQueensKing", "4k3/8/7q/3p1p2/4P3/n1n5/8/RNBQK3 w - - 0 1",
     Generator::Captures, "e4d5 e4f5 b1c3 b1a3 c1h6 c1a3 a1a3 d1d5"},
    {"BlackPawnCapturesLowerSquareFirst", "4k3/8/8/4p3/3P1P2/8/8/4K3 b - - 0 1", Generator::Captures, "e5d4 e5f4"},
    {"EnPassantAfterPiecesCastlingLast", "4k3/8/8/3Pp3/8/8/8/R3K2R w KQ e6 0 1", Generator::Moves,
     "e1f2 e1e2 e1d2 e1f1 e1d1 h1h2 h1h3 h1h4 h1h5 h1h6 h1h7 h1h8 h1g1 h1f1 a1a2 a1a3 a1a4 a1a5 a1a6 a1a7 "
     "a1a8 a1b1 a1c1 a1d1 d5d6 d5e6 e1g1 e1c1"},
    {"DoubleCheckOnlyKingMoves", "4r2k/8/8/8/8/3n4/8/3QK3 w - - 0 1", Generator::Evasions, "e1d2 e1f1"},
    {"PinnedRookMayNotTakeTheChecker", "7b/8/8/8/8/7k/1Rn5/K7 w - - 0 1", Generator::Evasions, "a1a2 a1b1"},
    {"EnPassantLeavingCheckIsDropped", "4r2k/8/8/2pP4/8/8/8/4K3 w - c6 0 1", Generator::Evasions,
     "e1f2 e1d2 e1f1 e1d1"},
    {"EnPassantTakingTheChecker", "7k/8/8/1Pp5/3K4/8/8/8 w - c6 0 1", Generator::Evasions,
     "d4e5 d4d5 d4c5 d4e4 d4c4 d4e3 d4d3 d4c3 b5c6"},
    {"InterpositionsAndCapturesOfASlider", "4k3/8/8/8/Rb6/P7/2P5/4KN2 w - - 0 1", Generator::Evasions,
     "e1f2 e1e2 e1d1 a4b4 f1d2 a3b4 c2c3"},
    {"QuietChecksUnmaskAndKnightCheckNoCapture", "4k3/1p6/8/8/4B1N1/8/8/4R2K w - - 0 1", Generator::QuietChecks,
     "e4f5 e4g6 e4h7 e4d5 e4c6 e4f3 e4g2 e4d3 e4c2 e4b1 g4f6"},
    {"QuietChecksBySliders", "4k3/8/8/3P4/8/8/5P2/3QK3 w - - 0 1", Generator::QuietChecks, "d1e2 d1h5 d1a4"},
    {"QuietChecksByDoublePushAndUnmaskingPawn", "8/8/8/6k1/8/8/3P1P2/2B1K3 w - - 0 1", Generator::QuietChecks,
     "f2f4 d2d3 d2d4"},
};

class OrderTest : public testing::TestWithParam<OrderCase> {};

TEST_P(OrderTest, ProducesExactlyTheseMovesInThisOrder) {
    Position pos = support::positionFromFen(GetParam().fen);
    EXPECT_EQ(RunGenerator(GetParam().generator, pos), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Board, OrderTest, testing::ValuesIn(OrderCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Castling moves offered by GenerateMoves, by their text.
struct CastlingCase {
    const char* name;
    const char* fen;
    const char* expected;
};

const CastlingCase CastlingCases[] = {
    {"BothSides", "4k3/8/8/8/8/8/8/R3K2R w KQ - 0 1", "e1g1 e1c1"},
    {"BlackBothSides", "r3k2r/8/8/8/8/8/8/4K3 b kq - 0 1", "e8g8 e8c8"},
    {"NotWhileInCheck", "4k3/4r3/8/8/8/8/8/R3K2R w KQ - 0 1", ""},
    {"NotThroughAnAttackedSquare", "4k3/5r2/8/8/8/8/8/R3K2R w KQ - 0 1", "e1c1"},
    {"NotIntoAnAttackedSquare", "4k3/2r5/8/8/8/8/8/R3K2R w KQ - 0 1", "e1g1"},
    {"AttackedRookPathOutsideTheKingPathIsFine", "4k3/1r6/8/8/8/8/8/R3K2R w KQ - 0 1", "e1g1 e1c1"},
    {"KingPathOccupied", "4k3/8/8/8/8/8/8/R3KB1R w KQ - 0 1", "e1c1"},
    {"RookPathOccupied", "4k3/8/8/8/8/8/8/RN2K2R w KQ - 0 1", "e1g1"},
    {"RightLostKeepsTheOtherSide", "4k3/8/8/8/8/8/8/R3K2R w Q - 0 1", "e1c1"},
    {"Chess960KingB1RookA1GoesToC1", "rk4r1/pppppppp/8/8/8/8/PPPPPPPP/RK4R1 w GAga - 0 1", "b1g1 b1c1"},
    {"Chess960KingG1RookH1StaysOnG1", "rn4kr/pppppppp/8/8/8/8/PPPPPPPP/RN4KR w HAha - 0 1", "g1g1"},
    {"Chess960KingC1RookB1", "1rk4r/pppppppp/8/8/8/8/1PPPPPPP/1RK4R w HBhb - 0 1", "c1g1 c1c1"},
    {"Chess960EnemyQueenOnA1BehindRookB1", "1rk4r/pppppppp/8/8/8/8/1PPPPPPP/qRK4R w HBhb - 0 1", "c1g1"},
    {"Chess960EnemyRookOnA1BehindRookB1", "1rk4r/1ppppppp/8/8/8/8/1PPPPPPP/rRK4R w HBhb - 0 1", "c1g1"},
    {"Chess960OwnKnightOnA1BehindRookB1", "1rk4r/pppppppp/8/8/8/8/1PPPPPPP/NRK4R w HBhb - 0 1", "c1g1 c1c1"},
};

class CastlingTest : public testing::TestWithParam<CastlingCase> {};

TEST_P(CastlingTest, OffersExactlyTheseCastlingMoves) {
    Position pos = support::positionFromFen(GetParam().fen);
    std::vector<Move> castling;
    for (Move move : Generate(GenerateMoves, pos))
        if (move & CASTLE) castling.push_back(move);
    EXPECT_EQ(Texts(castling, pos), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Board, CastlingTest, testing::ValuesIn(CastlingCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(GenerateTest, EnPassantLeavingCheckStaysPseudoLegalInGenerateMoves) {
    Position pos = support::positionFromFen("4r2k/8/8/2pP4/8/8/8/4K3 w - c6 0 1");
    EXPECT_EQ(Texts(Generate(GenerateMoves, pos), pos), "e1f2 e1e2 e1d2 e1f1 e1d1 d5d6 d5c6");
}

TEST(GenerateTest, EvasionsRestoreThePosition) {
    Position pos = support::positionFromFen("7k/8/8/1Pp5/3K4/8/8/8 w - c6 0 1");
    Position before = pos;
    Generate(GenerateEvasions, pos);
    EXPECT_EQ(std::memcmp(pos.boardFrame, before.boardFrame, sizeof pos.boardFrame), 0);
    EXPECT_EQ(pos.key, before.key);
    EXPECT_EQ(CheckPositionConsistency(pos), nullptr);
}

TEST(GenerateTest, MoveWordsCarryTheirFields) {
    Position pos = support::positionFromFen("4k3/8/8/3Pp3/8/8/8/R3K2R w KQ e6 0 1");
    std::vector<Move> moves = Generate(GenerateMoves, pos);
    ASSERT_GE(moves.size(), 3u);
    Move enPassant = moves[moves.size() - 3], kingside = moves[moves.size() - 2];
    EXPECT_EQ(enPassant, EncodeMove(67, 84, PAWN, PAWN, 0, EN_PASSANT));
    EXPECT_EQ(kingside, EncodeMove(4, 6, KING, 0, 0, CASTLE));
}

}  // namespace
}  // namespace brinz
