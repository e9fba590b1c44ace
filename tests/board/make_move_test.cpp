#include "board/make_move.h"

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "board/keys.h"
#include "board/move_text.h"
#include "support/engine_setup.h"

namespace brinz {
namespace {

int Square(const char* name) { return (name[0] - 'a') + 16 * (name[1] - '1'); }

struct Played {
    std::vector<Move> moves;
    std::vector<UndoRecord> undo;
};

// Plays space-separated moves, keeping what is needed to take them back.
Played Play(Position& pos, const std::string& moves) {
    Played played;
    played.undo.reserve(64);
    size_t start = 0;
    while (start < moves.size()) {
        size_t end = moves.find(' ', start);
        if (end == std::string::npos) end = moves.size();
        std::string text = moves.substr(start, end - start);
        Move move = TextToMove(pos, text.c_str());
        EXPECT_NE(move, MOVE_NULL) << text;
        if (move == MOVE_NULL) break;
        played.moves.push_back(move);
        played.undo.emplace_back();
        MakeMove(pos, played.undo.back(), move);
        start = end + 1;
    }
    return played;
}

void TakeBack(Position& pos, Played& played) {
    for (size_t i = played.moves.size(); i-- > 0;) UnmakeMove(pos, played.undo[i], played.moves[i]);
}

struct SequenceCase {
    const char* name;
    const char* fen;
    const char* moves;
    int epSquare;
    int castleLost;
    const char* occupied;  // squares and the codes expected on them after the moves
    int codes[2];
};

const SequenceCase SequenceCases[] = {
    {"DoubleStepWithoutEnemyPawnLeavesNoSquare", StartFen, "e2e4", 0, 0, nullptr, {}},
    {"DoubleStepBesideEnemyPawnSetsTheSquare", StartFen, "e2e4 d7d5 e4e5 f7f5", 85, 0, nullptr, {}},
    {"EnPassantRemovesThePawnBehind", StartFen, "e2e4 d7d5 e4e5 f7f5 e5f6", 0, 0, "f6f5", {WHITE_PAWN, EMPTY}},
    {"RookTakesRookOnItsStartSquare", "r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", "a1a8", 0,
     LOST_WHITE_QUEENSIDE | LOST_BLACK_QUEENSIDE, nullptr, {}},
    {"KingMoveLosesBothRights", "r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", "e1e2", 0,
     LOST_WHITE_KINGSIDE | LOST_WHITE_QUEENSIDE, nullptr, {}},
    {"RookMoveLosesItsSide", "r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", "h1h2 a8a7", 0,
     LOST_WHITE_KINGSIDE | LOST_BLACK_QUEENSIDE, nullptr, {}},
    {"CastlingKingside", "r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", "e1g1", 0,
     LOST_WHITE_KINGSIDE | LOST_WHITE_QUEENSIDE, "g1f1", {WHITE_KING, WHITE_ROOK}},
    {"BlackCastlingQueenside", "r3k2r/8/8/8/8/8/8/R3K2R b KQkq - 0 1", "e8c8", 0,
     LOST_BLACK_KINGSIDE | LOST_BLACK_QUEENSIDE, "c8d8", {BLACK_KING, BLACK_ROOK}},
    {"Chess960KingF1RookG1", "1r3kr1/pppppppp/8/8/8/8/PPPPPPPP/1R3KR1 w GBgb - 0 1", "f1g1", 0,
     LOST_WHITE_KINGSIDE | LOST_WHITE_QUEENSIDE, "g1f1", {WHITE_KING, WHITE_ROOK}},
    {"Chess960KingG1RookH1", "rn4kr/pppppppp/8/8/8/8/PPPPPPPP/RN4KR w HAha - 0 1", "g1h1", 0,
     LOST_WHITE_KINGSIDE | LOST_WHITE_QUEENSIDE, "g1f1", {WHITE_KING, WHITE_ROOK}},
    {"Chess960KingB1RookA1", "rk4r1/pppppppp/8/8/8/8/PPPPPPPP/RK4R1 w GAga - 0 1", "b1a1", 0,
     LOST_WHITE_KINGSIDE | LOST_WHITE_QUEENSIDE, "c1d1", {WHITE_KING, WHITE_ROOK}},
    {"Chess960KingC1RookB1StaysOnC1", "1rk4r/pppppppp/8/8/8/8/1PPPPPPP/1RK4R w HBhb - 0 1", "c1b1", 0,
     LOST_WHITE_KINGSIDE | LOST_WHITE_QUEENSIDE, "c1d1", {WHITE_KING, WHITE_ROOK}},
    {"PromotionWithCapture", "1r2k3/P7/8/8/8/8/8/4K3 w - - 0 1", "a7b8n", 0, 15, "b8a7", {WHITE_KNIGHT, EMPTY}},
};

class SequenceTest : public testing::TestWithParam<SequenceCase> {};

TEST_P(SequenceTest, MakeUpdatesAndUnmakeRestores) {
    const SequenceCase& c = GetParam();
    Position pos = support::positionFromFen(c.fen);
    const Position before = pos;
    Played played = Play(pos, c.moves);
    EXPECT_EQ(pos.epSquare, c.epSquare);
    EXPECT_EQ(pos.castleLost, c.castleLost);
    if (c.occupied) {
        EXPECT_EQ(pos.board[Square(c.occupied)], c.codes[0]);
        EXPECT_EQ(pos.board[Square(c.occupied + 2)], c.codes[1]);
    }
    EXPECT_EQ(CheckPositionConsistency(pos), nullptr);
    EXPECT_EQ(pos.ply, int(played.moves.size()));
    EXPECT_EQ(pos.keyHistory[0], before.key);

    TakeBack(pos, played);
    EXPECT_EQ(std::memcmp(pos.boardFrame, before.boardFrame, sizeof pos.boardFrame), 0);
    EXPECT_EQ(pos.key, before.key);
    EXPECT_EQ(pos.pawnKey, before.pawnKey);
    EXPECT_EQ(pos.castleLost, before.castleLost);
    EXPECT_EQ(pos.epSquare, before.epSquare);
    EXPECT_EQ(pos.pstSum[WHITE], before.pstSum[WHITE]);
    EXPECT_EQ(pos.pstSum[BLACK], before.pstSum[BLACK]);
    EXPECT_EQ(pos.ply, 0);
    EXPECT_EQ(CheckPositionConsistency(pos), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Board, SequenceTest, testing::ValuesIn(SequenceCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(MakeMoveTest, FiftyCounterResetsOnPawnMovesAndCaptures) {
    Position pos = support::positionFromFen("4k3/8/8/3p4/8/8/4P3/4K1N1 w - - 7 30");
    Play(pos, "g1f3");
    EXPECT_EQ(pos.fifty, 8);
    Play(pos, "e8d7 e2e4");
    EXPECT_EQ(pos.fifty, 0);
    Play(pos, "d7e6 f3g5");
    EXPECT_EQ(pos.fifty, 2);
    Play(pos, "e6e5 g5h3");
    EXPECT_EQ(pos.fifty, 4);
    Play(pos, "d5e4");
    EXPECT_EQ(pos.fifty, 0);
}

TEST(NullMoveTest, PassesTheTurnAndClearsTheEnPassantSquare) {
    Position pos = support::positionFromFen("rnbqkbnr/ppp1p1pp/8/3pPp2/8/8/PPPP1PPP/RNBQKBNR w KQkq f6 0 3");
    ASSERT_EQ(pos.epSquare, 85);
    const Position before = pos;
    UndoRecord undo;
    MakeNullMove(pos, undo);
    EXPECT_EQ(pos.key, before.key ^ SideKey ^ EnPassantKeys[Index64(85)]);
    EXPECT_EQ(pos.key, ComputeKey(pos));
    EXPECT_EQ(pos.epSquare, 0);
    EXPECT_EQ(pos.fifty, 1);
    EXPECT_EQ(pos.ply, 1);
    EXPECT_EQ(pos.side, BLACK);
    EXPECT_EQ(pos.lastMove, MOVE_NULL);
    EXPECT_EQ(pos.keyHistory[0], before.key);
    UnmakeNullMove(pos, undo);
    EXPECT_EQ(pos.key, before.key);
    EXPECT_EQ(pos.epSquare, 85);
    EXPECT_EQ(pos.fifty, 0);
    EXPECT_EQ(pos.ply, 0);
    EXPECT_EQ(pos.side, WHITE);
    EXPECT_EQ(pos.lastMove, before.lastMove);
}

TEST(MakeMoveTest, TranspositionsShareTheirKey) {
    Position a = support::positionFromFen(StartFen);
    Position b = a;
    Play(a, "g1f3 g8f6 b1c3");
    Play(b, "b1c3 g8f6 g1f3");
    EXPECT_EQ(a.key, b.key);
    EXPECT_EQ(a.pawnKey, b.pawnKey);
}

}  // namespace
}  // namespace brinz
