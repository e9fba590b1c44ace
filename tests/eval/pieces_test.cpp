#include <gtest/gtest.h>

#include <string>

#include "eval/evaluate.h"
#include "eval/pawns.h"
#include "eval/pieces.h"
#include "options/options.h"
#include "support/engine_setup.h"

namespace brinz {
namespace {

PieceTerms TermsOf(const char* fen, int colour) {
    Position pos = support::positionFromFen(fen);
    PieceTerms terms;
    EvaluatePieces(pos, colour, terms);
    return terms;
}

TEST(PieceTerms, StartPosition) {
    for (int c = WHITE; c <= BLACK; ++c) {
        SCOPED_TRACE(c == WHITE ? "white" : "black");
        PieceTerms terms = TermsOf(StartFen, c);
        EXPECT_EQ(terms.badPieces, 6);      // knights, bishops and rooks
        EXPECT_EQ(terms.undeveloped, 9);    // 2 per knight, 2 per shut-in bishop, 1 for the h-rook
        EXPECT_EQ(terms.penalty, -90);      // the h-rook shut in by its king, halved while castling is open
        EXPECT_EQ(terms.development, -80);
        EXPECT_EQ(terms.seventh, 0);
        EXPECT_EQ(terms.mgTerms, 0);
        EXPECT_EQ(terms.egTerms, 0);
        EXPECT_EQ(terms.bishopColours, 3);
    }
}

struct PenaltyCase {
    const char* name;
    const char* fen;
    int colour;
    int penalty;
};

const PenaltyCase PenaltyCases[] = {
    // Boxed in by b6 and c7: lost whatever the exchanges say.
    {"BishopA7Sealed", "4k3/B1p5/1p6/8/8/8/8/4K3 w - - 0 1", WHITE, -300},
    {"BishopH7Sealed", "4k3/5p1B/6p1/8/8/8/8/4K3 w - - 0 1", WHITE, -300},
    {"BlackBishopA2Sealed", "4k3/8/8/8/8/1P6/b1P5/4K3 b - - 0 1", BLACK, -300},
    // b6 alone and undefended: the bishop takes it.
    {"BishopA7TakesPawn", "4k3/B7/1p6/8/8/8/8/4K3 w - - 0 1", WHITE, 0},
    // b6 guarded by the knight, which also covers b8: no way out.
    {"BishopA7Guarded", "4k3/B2n4/1p6/8/8/8/8/4K3 w - - 0 1", WHITE, -300},
    // Its own rook on b8 is no retreat, even though "taking" it would look good
    // (the rook earns 30 on its pawnless file).
    {"BishopA7OwnRookOnB8", "1R6/Bp1n4/1p6/8/8/8/8/4K2k w - - 0 1", WHITE, -300 + 30},
    // b6 guarded by a knight that does not reach b8: the bishop retreats.
    {"BishopA7Retreats", "4k3/B7/1p6/8/2n5/8/8/4K3 w - - 0 1", WHITE, 0},
    // a6 with a defended pawn on b5 costs 120; an undefended one is simply taken.
    {"BishopA6", "4k3/8/B1p5/1p6/8/8/8/4K3 w - - 0 1", WHITE, -120},
    {"BishopA6TakesPawn", "4k3/8/B7/1p6/8/8/8/4K3 w - - 0 1", WHITE, 0},
    // A rook shut in by its king behind a pawn wall: 180 - 16 * mobility, halved while a
    // castling right remains. The castling right of the f1 king is given Chess960-style.
    {"RookH1KingF1", "4k3/8/8/8/8/8/6PP/5K1R w - - 0 1", WHITE, -180},
    {"RookH1KingF1Castling", "4k3/8/8/8/8/8/6PP/5K1R w H - 0 1", WHITE, -90},
    {"RookH1KingG1", "4k3/8/8/8/8/8/6PP/6KR w - - 0 1", WHITE, -180},
    {"RookH1KingG1Mobile", "4k3/8/8/8/7P/8/6P1/6KR w - - 0 1", WHITE, -164},
    // With the king on f1, an open g-file lets it out.
    {"RookH1OpenG", "4k3/8/8/8/8/8/7P/5K1R w - - 0 1", WHITE, 0},
    // On a file without own pawns a rook earns 30 instead.
    {"RookOpenFile", "4k3/8/8/8/8/8/8/R3K3 w - - 0 1", WHITE, 30},
};

class PiecePenaltyTest : public testing::TestWithParam<PenaltyCase> {};

TEST_P(PiecePenaltyTest, Penalty) {
    EXPECT_EQ(TermsOf(GetParam().fen, GetParam().colour).penalty, GetParam().penalty);
}

INSTANTIATE_TEST_SUITE_P(Eval, PiecePenaltyTest, testing::ValuesIn(PenaltyCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PieceTerms, EarlyQueenPaysForSleepingMinors) {
    // Knights 2 each, free bishops 1 each: 6 undeveloped units, 8 each for the queen on f3.
    PieceTerms terms = TermsOf("4k3/8/8/8/8/5Q2/8/1NB1KBN1 w - - 0 1", WHITE);
    EXPECT_EQ(terms.undeveloped, 6);
    EXPECT_EQ(terms.mgTerms, -48);
    EXPECT_EQ(TermsOf("4k3/8/8/8/8/8/8/1NBQKBN1 w - - 0 1", WHITE).mgTerms, 0);
}

TEST(PieceTerms, KnightOutposts) {
    // e5 from rank 5: 25, protected by d4 +6; unchallenged by minor pieces + 12 + 25.
    struct Case { const char* fen; int value; };
    const Case cases[] = {
        {"4k3/8/8/4N3/3P4/8/8/4K3 w - - 0 1", 68},
        {"4k3/8/8/4N3/8/8/8/4K3 w - - 0 1", 25 + 12},
        {"4k3/8/8/4N3/3P4/8/8/b3K3 w - - 0 1", 31},   // an enemy bishop on e5's colour
        {"4k3/8/8/4N3/3P4/8/8/1b2K3 w - - 0 1", 68},  // one on the other colour
        {"4k3/8/8/4N3/3P4/8/8/1n2K3 w - - 0 1", 31},
        {"4k3/5p2/8/4N3/3P4/8/8/4K3 w - - 0 1", 0},   // f7 can chase it away
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fen);
        PieceTerms terms = TermsOf(c.fen, WHITE);
        EXPECT_EQ(terms.mgTerms, c.value);
        EXPECT_EQ(terms.egTerms, c.value);
    }
}

TEST(PieceTerms, CountsPastTheirTables) {
    // Promotions: eight rooks on the seventh, seven knights at home, eight bishops boxed in.
    EXPECT_EQ(TermsOf("7k/RRRRRRRR/8/8/8/8/8/4K3 b - - 0 1", WHITE).seventh, 16);
    PieceTerms knights = TermsOf("k7/8/8/8/8/8/PPP5/NNNNKNNN w - - 0 1", WHITE);
    EXPECT_EQ(knights.undeveloped, 14);
    EXPECT_EQ(knights.development, DevelopmentTable[12]);
    EXPECT_GE(TermsOf("7k/8/8/8/4K3/8/BNRQRNB1/BBBBBBBB w - - 0 1", WHITE).badPieces, 8);
}

TEST(KingSafety, NeedsAnEnemyQueen) {
    // Queen h4 against the g1 king: f2 and h2 hit and undefended, shelter 12:
    // index 0 + 2 * 2 + 3 * (2 + 2) - 6 = 10, danger 8, -(2560 * 8 / 4096).
    Position pos = support::positionFromFen("4k3/8/8/8/7q/8/5PPP/6K1 w - - 0 1");
    int shelter = ShelterAt(pos, WHITE, pos.kingSquare(WHITE));
    EXPECT_EQ(shelter, 12);
    EXPECT_EQ(KingDangerIndex(pos, WHITE, shelter, 0xFF), 10);
    EXPECT_EQ(KingSafety(pos, WHITE, shelter, 0xFF), -5);

    // Without a queen the king is safe however many pieces bear on it.
    pos = support::positionFromFen("4k3/8/8/8/7r/5n1r/4b1PP/6K1 w - - 0 1");
    EXPECT_EQ(KingSafety(pos, WHITE, ShelterAt(pos, WHITE, pos.kingSquare(WHITE)), 0xFF), 0);
}

TEST(KingSafety, IndexBeyondTheTableReadsTheLastEntry) {
    // A king in the open, every black piece and pawn around it.
    Position pos = support::positionFromFen("r3k2r/8/2n1q1n1/3ppp2/2b1K1b1/8/8/8 w - - 0 1");
    EXPECT_EQ(KingDangerIndex(pos, WHITE, 0, 0xFF), DangerTableSize - 1);
    int npm = 2 * 1280 + 2 * 848 + 2 * 832 + 2560;
    EXPECT_EQ(KingSafety(pos, WHITE, 0, 0xFF), -(npm * 650 / 4096));
}

TEST(KingSafety, StartPositionIsSafe) {
    Position pos = support::positionFromFen(StartFen);
    applyOptions(pos.side);
    EvalExtras extras{};
    uint8_t tablebase = 0;
    Evaluate(pos, extras, support::testPawnTable(), tablebase);
    EXPECT_EQ(extras.kingSafety[WHITE], 0);
    EXPECT_EQ(extras.kingSafety[BLACK], 0);
}

TEST(IsDefended, KingsDoNotCount) {
    Position pos = support::positionFromFen("4k3/8/8/8/8/8/8/R3K3 w - - 0 1");
    EXPECT_TRUE(IsDefended(pos, 0x40, WHITE));   // a5 by the rook
    EXPECT_FALSE(IsDefended(pos, 0x13, WHITE));  // d2 only by the king
}

TEST(IsDefended, PawnsAndBlockedLines) {
    struct Case { const char* fen; int square, colour; bool defended; };
    const Case cases[] = {
        {"4k3/8/8/8/8/8/1P6/4K3 w - - 0 1", 0x20, WHITE, true},   // a3 by the b2 pawn
        {"4k3/8/8/8/8/8/1P6/4K3 w - - 0 1", 0x22, WHITE, true},   // c3 by the b2 pawn
        {"4k3/8/8/8/8/8/1P6/4K3 w - - 0 1", 0x21, WHITE, false},  // b3: in front of it
        {"4k3/8/8/8/8/8/1P6/4K3 w - - 0 1", 0x02, WHITE, false},  // c1: behind it
        {"4k3/6p1/8/8/8/8/8/4K3 b - - 0 1", 0x55, BLACK, true},   // f6 by the g7 pawn
        {"4k3/6p1/8/8/8/8/8/4K3 b - - 0 1", 0x57, BLACK, true},   // h6 by the g7 pawn
        {"4k3/6p1/8/8/8/8/8/4K3 b - - 0 1", 0x55, WHITE, false},  // not by the other side's pawn
        {"4k3/8/8/8/8/8/P7/4K3 w - - 0 1", 0x27, WHITE, false},   // h3: no wrap from the a-file
        {"4k3/8/8/8/8/8/8/R1n1K3 w - - 0 1", 0x02, WHITE, true},  // c1: the rook takes the knight
        {"4k3/8/8/8/8/8/8/R1n1K3 w - - 0 1", 0x03, WHITE, false}, // d1: the knight blocks the rook
    };
    for (const Case& c : cases) {
        Position pos = support::positionFromFen(c.fen);
        EXPECT_EQ(IsDefended(pos, c.square, c.colour), c.defended) << c.fen << " square " << c.square;
    }
}

}  // namespace
}  // namespace brinz
