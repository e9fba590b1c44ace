// "position ... moves ..." through the real engine: every bad token prints the illegal-move
// line and the remaining tokens still play. The resulting position is read back with
// "perft 1" and compared with the same moves played here.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "board/make_move.h"
#include "board/move_text.h"
#include "board/perft.h"
#include "support/engine_process.h"
#include "support/engine_setup.h"

namespace brinz {
namespace {

using support::commandOutput;
using support::splitLines;

// What "perft 1" prints for `fen` after `moves`, all of which must be legal.
std::vector<std::string> PerftOneAfter(const char* fen, const std::vector<std::string>& moves) {
    Position pos = support::positionFromFen(fen);
    for (const std::string& text : moves) {
        Move move = TextToMove(pos, text.c_str());
        EXPECT_NE(move, MOVE_NULL) << text;
        UndoRecord undo;
        MakeMove(pos, undo, move);
        CompactKeyHistory(pos);
    }
    return splitLines(PerftDivide(pos, 1));
}

struct BadInputCase {
    const char* name;
    const char* fen;  // the position the command line starts from
    const char* command;
    std::vector<std::string> rejected;
    std::vector<std::string> played;
};

const char* const Promotion = "3r3k/4P3/8/8/8/8/8/K7 w - - 0 1";
const char* const PinnedRook = "4r2k/8/8/8/8/8/4R3/4K3 w - - 0 1";

const BadInputCase BadInputCases[] = {
    {"GarbageTokens", StartFen, "position startpos moves e2e4 xx e7e5 %$# g1f3", {"xx", "%$#"},
     {"e2e4", "e7e5", "g1f3"}},
    {"MovesForTheWrongSide", StartFen, "position startpos moves e7e5 e2e4 e2e4 d7d5", {"e7e5", "e2e4"},
     {"e2e4", "d7d5"}},
    {"PromotionWithoutItsLetter", Promotion, "position fen 3r3k/4P3/8/8/8/8/8/K7 w - - 0 1 moves e7e8 e7d8 e7e8n",
     {"e7e8", "e7d8"}, {"e7e8n"}},
    {"UpperCaseSquares", StartFen, "position startpos moves E2E4 e2e4 E7E5", {"E2E4", "E7E5"}, {"e2e4"}},
    {"NullMoveText", StartFen, "position startpos moves 0000 e2e4", {"0000"}, {"e2e4"}},
    {"MoveLeavingTheKingInCheck", PinnedRook, "position fen 4r2k/8/8/8/8/8/4R3/4K3 w - - 0 1 moves e2d2 e2e3",
     {"e2d2"}, {"e2e3"}},
    {"TokenLongerThanTheBuffer", StartFen, "position startpos moves e2e4aaaaaaaaaaaaaaaa e2e4",
     {"e2e4aaaaaaaaaaaaaaaa"}, {"e2e4"}},
    {"CastlingAsKingTakesRook", "rk4r1/pppppppp/8/8/8/8/PPPPPPPP/RK4R1 w GAga - 0 1",
     "position fen rk4r1/pppppppp/8/8/8/8/PPPPPPPP/RK4R1 w GAga - 0 1 moves b1a1 b8a8", {}, {"b1a1", "b8a8"}},
    {"CaseInsensitiveKeywords", StartFen, "POSITION StartPos MOVES e2e4 e7e5", {}, {"e2e4", "e7e5"}},
};

class PositionMovesTest : public testing::TestWithParam<BadInputCase> {};

TEST_P(PositionMovesTest, ReportsBadTokensAndPlaysTheRest) {
    const BadInputCase& c = GetParam();
    std::vector<std::string> expected;
    for (const std::string& token : c.rejected) expected.push_back("Movimiento ilegal: " + token);
    for (const std::string& line : PerftOneAfter(c.fen, c.played)) expected.push_back(line);
    support::EngineProcess engine;
    EXPECT_EQ(commandOutput(engine, {c.command, "perft 1"}), expected);
}

INSTANTIATE_TEST_SUITE_P(Uci, PositionMovesTest, testing::ValuesIn(BadInputCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A fixed game of `plies` legal moves that never reaches mate or stalemate.
std::vector<std::string> LongGame(int plies) {
    Position pos = support::positionFromFen(StartFen);
    std::vector<std::string> moves;
    for (int ply = 0; ply < plies; ++ply) {
        MoveListEntry list[MaxMoves];
        MoveListEntry* end = GenerateLegalMoves(pos, list);
        int count = int(end - list);
        for (int tried = 0; tried < count; ++tried) {
            Move move = list[(ply * 7 + 3 + tried) % count].move;
            UndoRecord undo;
            MakeMove(pos, undo, move);
            MoveListEntry replies[MaxMoves];
            if (GenerateLegalMoves(pos, replies) != replies) {
                char buffer[MoveTextSize];
                moves.push_back(MoveToText(move, buffer));
                break;
            }
            UnmakeMove(pos, undo, move);
        }
        if (int(moves.size()) != ply + 1) break;
    }
    return moves;
}

TEST(PositionMovesTest, TwoHundredMovesThenJunk) {
    std::vector<std::string> game = LongGame(200);
    ASSERT_EQ(game.size(), 200u);
    std::string command = "position startpos moves";
    for (const std::string& move : game) command += " " + move;
    command += " junk e9e9 a1a1";
    std::vector<std::string> expected = {"Movimiento ilegal: junk", "Movimiento ilegal: e9e9",
                                         "Movimiento ilegal: a1a1"};
    for (const std::string& line : PerftOneAfter(StartFen, game)) expected.push_back(line);
    support::EngineProcess engine;
    EXPECT_EQ(commandOutput(engine, {command, "perft 1"}), expected);
}

TEST(PositionMovesTest, MovesWithoutAPositionContinueTheCurrentOne) {
    support::EngineProcess engine;
    EXPECT_EQ(commandOutput(engine, {"position startpos moves e2e4", "position moves e7e5", "perft 1"}),
              PerftOneAfter(StartFen, {"e2e4", "e7e5"}));
}

// Thousands of plies since the FEN: the key history is compacted, never overrun.
TEST(PositionMovesTest, VeryLongGameKeepsWorking) {
    std::string shuffle = "position moves";
    for (int i = 0; i < 100; ++i) shuffle += " g1f3 g8f6 f3g1 f6g8";
    support::EngineProcess engine;
    std::vector<std::string> commands = {"position startpos"};
    for (int line = 0; line < 6; ++line) commands.push_back(shuffle);
    commands.push_back("perft 1");
    EXPECT_EQ(commandOutput(engine, commands), PerftOneAfter(StartFen, {}));
}

// UCI_Chess960 switches the castling notation of the whole protocol: searchmoves, position
// moves and bestmove. Both notations are read in both modes.
TEST(Chess960Option, CastlingIsWrittenAsKingTakesRookOnlyWhenOn) {
    const std::string KingB1 = "rk4r1/pppppppp/8/8/8/8/PPPPPPPP/RK4R1 w ";
    const std::string Castles = "r3k2r/p6p/8/8/8/8/P6P/R3K2R w KQkq - 0 1";
    const struct {
        const char* option;
        std::string fen, move, bestmove;
    } cases[] = {
        {"false", KingB1 + "GAga - 0 1", "b1a1", "b1c1"},
        {"true", KingB1 + "GAga - 0 1", "b1a1", "b1a1"},
        {"true", KingB1 + "KQkq - 0 1", "b1a1", "b1a1"},  // X-FEN
        {"false", Castles, "e1h1", "e1g1"},
        {"true", Castles, "e1g1", "e1h1"},
        {"true", Castles, "e1c1", "e1a1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.option) + " " + c.fen + " " + c.move);
        support::EngineProcess engine;
        engine.send(std::string("setoption name UCI_Chess960 value ") + c.option);
        engine.send("position fen " + c.fen);
        engine.send("go depth 2 searchmoves " + c.move);
        std::vector<std::string> lines = engine.readUntil("bestmove");
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.back().substr(0, 14), "bestmove " + c.bestmove + " ");
        // The move as printed is read back and played.
        EXPECT_EQ(commandOutput(engine, {"position fen " + c.fen + " moves " + c.bestmove}),
                  std::vector<std::string>{});
    }
}

}  // namespace
}  // namespace brinz
