#include "board/attacks.h"

#include <string>

#include <gtest/gtest.h>

#include "board/generate.h"
#include "board/make_move.h"
#include "board/move_text.h"
#include "support/engine_setup.h"

namespace brinz {
namespace {

// Plays space-separated moves; each must exist.
void Play(Position& pos, const std::string& moves) {
    size_t start = 0;
    while (start < moves.size()) {
        size_t end = moves.find(' ', start);
        if (end == std::string::npos) end = moves.size();
        std::string text = moves.substr(start, end - start);
        Move move = TextToMove(pos, text.c_str());
        ASSERT_NE(move, MOVE_NULL) << text;
        UndoRecord undo;
        MakeMove(pos, undo, move);
        start = end + 1;
    }
}

int Square(const char* name) { return (name[0] - 'a') + 16 * (name[1] - '1'); }

struct TableCase {
    const char* origin;
    const char* target;
    int mask;
    int step;
};

TEST(AttackTableTest, HoldsPieceMasksAndSteps) {
    support::initialiseTables();
    const TableCase cases[] = {
        {"a1", "b2", 0x01 | 0x08 | 0x10 | 0x40, 17},
        {"b2", "a1", 0x02 | 0x08 | 0x10 | 0x40, -17},
        {"b1", "c3", 0x04, 33},
        {"a1", "d2", 0, 0},
        {"a1", "a8", 0x20 | 0x40, 16},
        {"e1", "f1", 0x08 | 0x20 | 0x40, 1},
        {"h8", "a1", 0x10 | 0x40, -17},
    };
    for (const TableCase& c : cases) {
        SCOPED_TRACE(std::string(c.origin) + c.target);
        const AttackEntry& entry = AttackBetween(Square(c.origin), Square(c.target));
        EXPECT_EQ(entry.mask, c.mask);
        EXPECT_EQ(entry.step, c.step);
    }
    EXPECT_EQ(KingDistance(Square("a1"), Square("h8")), 7);
    EXPECT_EQ(KingDistance(Square("e4"), Square("e4")), 0);
    EXPECT_EQ(KingDistance(Square("b7"), Square("d3")), 4);
}

TEST(IsAttackedTest, SeesDefendersOfOwnPiecesAndIgnoresBlockedRays) {
    Position pos = support::positionFromFen("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1");
    EXPECT_TRUE(IsAttacked(pos, Square("e2"), WHITE));  // own pawn, defended by king, queen, bishop
    EXPECT_TRUE(IsAttacked(pos, Square("d3"), WHITE));
    EXPECT_FALSE(IsAttacked(pos, Square("e4"), WHITE));
    EXPECT_FALSE(IsAttacked(pos, Square("a4"), WHITE));  // the queen's diagonal is blocked by d2
    EXPECT_TRUE(IsAttacked(pos, Square("f6"), BLACK));
}

struct CheckerCase {
    const char* name;
    const char* fen;
    const char* moves;
    int count;
    const char* first;
    const char* second;
};

const CheckerCase CheckerCases[] = {
    {"QueenCheckAfterFewMoves", "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", "e2e4 f7f6 d1h5", 1,
     "h5", nullptr},
    {"DiscoveredByBishop", "8/6k1/8/8/3N4/8/1B6/4K3 w - - 0 1", "d4b5", 1, "b2", nullptr},
    {"DoubleCheckDestinationFirst", "8/6k1/8/8/3N4/8/1B6/4K3 w - - 0 1", "d4f5", 2, "f5", "b2"},
    {"EnPassantOpensTheRank", "8/8/8/R2pP2k/8/8/8/4K3 w - d6 0 1", "e5d6", 1, "a5", nullptr},
    {"PromotionChecks", "8/1P6/8/8/8/8/8/1k2K3 w - - 0 1", "b7b8q", 1, "b8", nullptr},
    {"CastlingRookChecks", "5k2/8/8/8/8/8/8/4K2R w K - 0 1", "e1g1", 1, "f1", nullptr},
    {"QuietMoveNoCheck", "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", "g1f3", 0, nullptr, nullptr},
};

class CheckerTest : public testing::TestWithParam<CheckerCase> {};

TEST_P(CheckerTest, MakeMoveRecordsTheCheckers) {
    const CheckerCase& c = GetParam();
    Position pos = support::positionFromFen(c.fen);
    Play(pos, c.moves);
    EXPECT_EQ(pos.checkerCount, c.count);
    EXPECT_EQ(pos.checkers[0], c.first ? Square(c.first) : 0);
    EXPECT_EQ(pos.checkers[1], c.second ? Square(c.second) : 0);
    EXPECT_EQ(InCheck(pos), c.count != 0);
}

INSTANTIATE_TEST_SUITE_P(Board, CheckerTest, testing::ValuesIn(CheckerCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(InCheckTest, FalseAfterANullMove) {
    Position pos = support::positionFromFen("4k3/8/8/8/8/8/8/4K2R w K - 0 1");
    UndoRecord undo;
    MakeNullMove(pos, undo);
    EXPECT_FALSE(InCheck(pos));
    EXPECT_EQ(pos.checkerCount, 0);
}

struct LegalityCase {
    const char* name;
    const char* fen;
    const char* move;
    bool legal;
};

const LegalityCase LegalityCases[] = {
    {"EnPassantOpeningTheKingsRank", "8/8/8/K2pP2r/8/8/8/7k w - d6 0 1", "e5d6", false},
    {"EnPassantWithTheRookElsewhere", "8/8/8/K2pP3/8/8/7r/7k w - d6 0 1", "e5d6", true},
    // The taken pawn alone shields the king on a diagonal. Play cannot reach this (the
    // pawn's double step would have left the king in check before), but a FEN can.
    {"EnPassantUncoveringADiagonal", "7k/5b2/8/3pP3/8/8/K7/8 w - d6 0 1", "e5d6", false},
    {"PinnedRookAlongItsLine", "4r2k/8/8/8/8/8/4R3/4K3 w - - 0 1", "e2e5", true},
    {"PinnedRookTakesThePinner", "4r2k/8/8/8/8/8/4R3/4K3 w - - 0 1", "e2e8", true},
    {"PinnedRookLeavingItsLine", "4r2k/8/8/8/8/8/4R3/4K3 w - - 0 1", "e2d2", false},
    {"KingIntoAttack", "4r2k/8/8/8/8/8/8/3K4 w - - 0 1", "d1e1", false},
    {"KingBesideTheEnemyKing", "8/8/8/3k4/8/3K4/8/8 w - - 0 1", "d3d4", false},
    {"PieceOffEveryKingLine", "r6k/8/8/8/8/8/1N6/4K3 w - - 0 1", "b2d3", true},
};

class LegalityTest : public testing::TestWithParam<LegalityCase> {};

TEST_P(LegalityTest, IsLegalAgreesWithMaking) {
    const LegalityCase& c = GetParam();
    Position pos = support::positionFromFen(c.fen);
    MoveListEntry list[MaxMoves];
    MoveListEntry* end = GenerateMoves(pos, list);
    Move move = MOVE_NULL;
    char buffer[MoveTextSize];
    for (MoveListEntry* entry = list; entry != end; ++entry)
        if (std::string(MoveToText(entry->move, buffer, pos)) == c.move) move = entry->move;
    ASSERT_NE(move, MOVE_NULL) << "not generated";
    EXPECT_EQ(IsLegal(pos, move), c.legal);
    EXPECT_EQ(IsLegalByMaking(pos, move), c.legal);
}

INSTANTIATE_TEST_SUITE_P(Board, LegalityTest, testing::ValuesIn(LegalityCases),
                         [](const auto& info) { return std::string(info.param.name); });

struct GivesCheckCase {
    const char* name;
    const char* fen;
    const char* move;
    bool check;
};

const GivesCheckCase GivesCheckCases[] = {
    {"KnightDirect", "8/6k1/8/8/3N4/8/1B6/4K3 w - - 0 1", "d4f5", true},
    {"DiscoveredByLeavingTheDiagonal", "8/6k1/8/8/3N4/8/1B6/4K3 w - - 0 1", "d4b5", true},
    {"QuietMove", "8/6k1/8/8/3N4/8/1B6/4K3 w - - 0 1", "e1d1", false},
    {"SliderBlockedByOwnPawn", "6k1/8/8/8/8/8/6P1/R6K w - - 0 1", "a1g1", false},
    {"SliderOpenLine", "6k1/8/8/8/8/8/7P/R6K w - - 0 1", "a1g1", true},
    // Deliberately unseen: the promoted queen, the castling rook.
    {"PromotedQueenNotSeen", "3k4/6P1/8/8/8/8/8/4K3 w - - 0 1", "g7g8q", false},
    {"CastlingRookNotSeen", "5k2/8/8/8/8/8/8/4K2R w K - 0 1", "e1g1", false},
};

class GivesCheckTest : public testing::TestWithParam<GivesCheckCase> {};

TEST_P(GivesCheckTest, AnswersBeforeTheMove) {
    const GivesCheckCase& c = GetParam();
    Position pos = support::positionFromFen(c.fen);
    Move move = TextToMove(pos, c.move);
    ASSERT_NE(move, MOVE_NULL);
    EXPECT_EQ(GivesCheck(pos, move), c.check);
}

INSTANTIATE_TEST_SUITE_P(Board, GivesCheckTest, testing::ValuesIn(GivesCheckCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PinAndDiscoveryTest, StepsTowardsTheKingOnlyForALoneShield) {
    Position pinned = support::positionFromFen("4r2k/8/8/8/8/8/4R3/4K3 w - - 0 1");
    EXPECT_EQ(PinDirection(pinned, Square("e2")), -16);
    EXPECT_EQ(DiscoveryDirection(pinned, Square("e2")), 0);
    Position shield = support::positionFromFen("8/6k1/8/8/3N4/8/1B6/4K3 w - - 0 1");
    EXPECT_EQ(DiscoveryDirection(shield, Square("d4")), 17);
    EXPECT_EQ(PinDirection(shield, Square("d4")), 0);
    // Two pieces between slider and king: neither is pinned.
    Position doubled = support::positionFromFen("4r2k/8/8/8/4N3/8/4R3/4K3 w - - 0 1");
    EXPECT_EQ(PinDirection(doubled, Square("e2")), 0);
    EXPECT_EQ(PinDirection(doubled, Square("e4")), 0);
    // A rook does not pin along a diagonal.
    Position wrongSlider = support::positionFromFen("7k/8/8/8/8/2r5/1N6/K7 w - - 0 1");
    EXPECT_EQ(PinDirection(wrongSlider, Square("b2")), 0);
}

}  // namespace
}  // namespace brinz
