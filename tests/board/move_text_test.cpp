#include "board/move_text.h"

#include <string>

#include <gtest/gtest.h>

#include "support/engine_setup.h"

namespace brinz {
namespace {

// Castling by the geometry of `game`; standard chess unless given.
std::string Text(Move move, const Position& game = Position()) {
    char buffer[MoveTextSize];
    return MoveToText(move, buffer, game);
}

TEST(MoveToTextTest, WritesCoordinatesAndSpecialValues) {
    struct Case {
        Move move;
        const char* text;
    };
    const Case cases[] = {
        {MOVE_NULL, "0000"},
        {MOVE_NONE, "(none)"},
        {EncodeMove(20, 52, PAWN), "e2e4"},
        {EncodeMove(100, 116, PAWN, 0, QUEEN), "e7e8q"},
        {EncodeMove(100, 115, PAWN, ROOK, KNIGHT), "e7d8n"},
        {EncodeMove(4, 6, KING, 0, 0, CASTLE), "e1g1"},
        {EncodeMove(116, 114, KING, 0, 0, CASTLE), "e8c8"},
        {EncodeMove(6, 6, KING, 0, 0, CASTLE), "g1g1"},
        {EncodeMove(0, 119, QUEEN), "a1h8"},
    };
    for (const Case& c : cases) EXPECT_EQ(Text(c.move), c.text);
}

TEST(TextToMoveTest, ParsesAPawnMoveIntoItsFields) {
    Position pos = support::positionFromFen(StartFen);
    Move move = TextToMove(pos, "e2e4");
    EXPECT_EQ(MoveFrom(move), 20);
    EXPECT_EQ(MoveTo(move), 52);
    EXPECT_EQ(MovePiece(move), PAWN);
    EXPECT_EQ(MoveCaptured(move), 0);
    EXPECT_EQ(MovePromotion(move), 0);
    EXPECT_EQ(move & (EN_PASSANT | CASTLE), 0u);
}

struct ParseCase {
    const char* name;
    const char* fen;
    const char* text;
    const char* expected;  // the matched move's text, "" for no match
    bool castle;
};

const char* const Castles = "r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1";
const char* const Promotion = "3r3k/4P3/8/8/8/8/8/K7 w - - 0 1";
const char* const KingB1RookA1 = "rk4r1/pppppppp/8/8/8/8/PPPPPPPP/RK4R1 w GAga - 0 1";
const char* const KingG1RookH1 = "rn4kr/pppppppp/8/8/8/8/PPPPPPPP/RN4KR w HAha - 0 1";

const ParseCase ParseCases[] = {
    {"PlainMove", StartFen, "e2e4", "e2e4", false},
    {"NotGenerated", StartFen, "e2e5", "", false},
    {"WrongSide", StartFen, "e7e5", "", false},
    {"UpperCaseSquares", StartFen, "E2E4", "", false},
    {"LetterOnAPlainMove", StartFen, "e2e4q", "", false},
    {"OtherFifthCharacterIgnored", StartFen, "e2e4x", "e2e4", false},
    {"TooShort", StartFen, "e2e", "", false},
    {"Empty", StartFen, "", "", false},
    {"NullMoveText", StartFen, "0000", "", false},
    {"OffTheBoard", StartFen, "i2i4", "", false},
    {"RankNine", StartFen, "e9e4", "", false},
    {"PromotionNeedsItsLetter", Promotion, "e7e8", "", false},
    {"PromotionLowerCase", Promotion, "e7e8q", "e7e8q", false},
    {"PromotionUpperCase", Promotion, "e7e8Q", "e7e8q", false},
    {"UnderPromotionCapture", Promotion, "e7d8n", "e7d8n", false},
    {"KingsideToDestination", Castles, "e1g1", "e1g1", true},
    {"KingsideKingTakesRook", Castles, "e1h1", "e1g1", true},
    {"QueensideToDestination", Castles, "e1c1", "e1c1", true},
    {"QueensideKingTakesRook", Castles, "e1a1", "e1c1", true},
    {"KingMoveBesideQueensideDestination", Castles, "e1d1", "e1d1", false},
    // With the king on b1 the plain king move to c1 comes first; castling reads b1a1.
    {"Chess960KingStepComesFirst", KingB1RookA1, "b1c1", "b1c1", false},
    {"Chess960QueensideKingTakesRook", KingB1RookA1, "b1a1", "b1c1", true},
    {"Chess960KingsideToDestination", KingB1RookA1, "b1g1", "b1g1", true},
    {"Chess960KingStaysOnG1", KingG1RookH1, "g1g1", "g1g1", true},
    {"Chess960KingStaysOnG1TakesRook", KingG1RookH1, "g1h1", "g1g1", true},
    // A move that leaves the own king attacked names no move to play.
    {"PinnedPieceLeavingItsLine", "4r2k/8/8/8/8/8/4R3/4K3 w - - 0 1", "e2d2", "", false},
    {"KingIntoCheck", "4r2k/8/8/8/8/8/8/3K4 w - - 0 1", "d1e1", "", false},
    {"MoveIgnoringACheck", "4r2k/8/8/8/8/8/8/R3K3 w - - 0 1", "a1a2", "", false},
    {"BlockAnsweringACheck", "4r2k/8/8/8/8/8/R7/4K3 w - - 0 1", "a2e2", "a2e2", false},
};

class TextToMoveTest : public testing::TestWithParam<ParseCase> {};

TEST_P(TextToMoveTest, MatchesTheFirstLegalGeneratedMove) {
    const ParseCase& c = GetParam();
    Position pos = support::positionFromFen(c.fen);
    Move move = TextToMove(pos, c.text);
    if (!*c.expected) {
        EXPECT_EQ(move, MOVE_NULL) << Text(move, pos);
        return;
    }
    EXPECT_EQ(Text(move, pos), c.expected);
    EXPECT_EQ((move & CASTLE) != 0, c.castle);
}

INSTANTIATE_TEST_SUITE_P(Board, TextToMoveTest, testing::ValuesIn(ParseCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Castling written and read as the king taking its own rook, as Chess960 interfaces do.
class Chess960NotationTest : public testing::TestWithParam<ParseCase> {
protected:
    void SetUp() override { Chess960Castling = true; }
    void TearDown() override { Chess960Castling = false; }
};

const ParseCase Chess960Cases[] = {
    {"KingTakesRook", Castles, "e1h1", "e1h1", true},
    {"KingToDestinationStillRead", Castles, "e1g1", "e1h1", true},
    {"QueensideToDestinationStillRead", Castles, "e1c1", "e1a1", true},
    {"QueensideKingTakesRook", KingB1RookA1, "b1a1", "b1a1", true},
    // b1c1 is also a king step: in this notation it is that step.
    {"KingStepNotCastling", KingB1RookA1, "b1c1", "b1c1", false},
    {"RookOnTheDestination", KingB1RookA1, "b1g1", "b1g1", true},
    {"KingStaysOnG1", KingG1RookH1, "g1g1", "g1h1", true},
    {"KingStaysOnG1TakesRook", KingG1RookH1, "g1h1", "g1h1", true},
    {"PlainMovesUnchanged", StartFen, "g1f3", "g1f3", false},
    {"XFenOutermostRook", "rk4r1/pppppppp/8/8/8/8/PPPPPPPP/RK4R1 w KQkq - 0 1", "b1a1", "b1a1", true},
};

TEST_P(Chess960NotationTest, ReadsBothAndWritesKingTakesRook) {
    const ParseCase& c = GetParam();
    Position pos = support::positionFromFen(c.fen);
    Move move = TextToMove(pos, c.text);
    ASSERT_NE(move, MOVE_NULL);
    EXPECT_EQ(Text(move, pos), c.expected);
    EXPECT_EQ((move & CASTLE) != 0, c.castle);
}

INSTANTIATE_TEST_SUITE_P(Board, Chess960NotationTest, testing::ValuesIn(Chess960Cases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace brinz
