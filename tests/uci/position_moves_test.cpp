// "position ... moves ..." through the real engine: the first bad token prints the
// illegal-move line and ends the list. The resulting position is read back with
// "perft 1" and compared with the same moves played here.
#include <algorithm>
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
    std::vector<std::string> messages;
    std::vector<std::string> played;
};

const char* const Promotion = "3r3k/4P3/8/8/8/8/8/K7 w - - 0 1";
const char* const PinnedRook = "4r2k/8/8/8/8/8/4R3/4K3 w - - 0 1";

std::string Illegal(const std::string& token) { return "Movimiento ilegal: " + token; }

// The moves after an unplayable one were once still played on the position before it.
const BadInputCase BadInputCases[] = {
    {"GarbageToken", StartFen, "position startpos moves e2e4 xx e7e5 g1f3", {Illegal("xx")}, {"e2e4"}},
    {"MoveForTheWrongSide", StartFen, "position startpos moves e7e5 e2e4 d7d5", {Illegal("e7e5")}, {}},
    {"PromotionWithoutItsLetter", Promotion, "position fen 3r3k/4P3/8/8/8/8/8/K7 w - - 0 1 moves e7e8 e7e8n",
     {Illegal("e7e8")}, {}},
    {"PromotionWithItsLetter", Promotion, "position fen 3r3k/4P3/8/8/8/8/8/K7 w - - 0 1 moves e7d8n h8g7",
     {}, {"e7d8n", "h8g7"}},
    {"UpperCaseSquares", StartFen, "position startpos moves e2e4 E7E5 e7e5", {Illegal("E7E5")}, {"e2e4"}},
    {"NullMoveText", StartFen, "position startpos moves 0000 e2e4", {Illegal("0000")}, {}},
    {"MoveLeavingTheKingInCheck", PinnedRook, "position fen 4r2k/8/8/8/8/8/4R3/4K3 w - - 0 1 moves e2d2 e2e3",
     {Illegal("e2d2")}, {}},
    {"TokenLongerThanTheBuffer", StartFen, "position startpos moves e2e4 e7e5aaaaaaaaaaaaaaaa e7e5",
     {Illegal("e7e5aaaaaaaaaaaaaaaa")}, {"e2e4"}},
    {"RefusedFenPlaysNoMove", StartFen, "position fen 4k3/8/8/8/8/8/8/4K3 x - - 0 1 moves e1d1", {"Error FEN"},
     {}},
    // Wrongly shaped placements were once searched as whatever they happened to give.
    {"RankOfSevenFiles", StartFen,
     "position fen rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBN w KQkq - 0 1 moves e2e4", {"Error FEN"}, {}},
    {"NineRanks", StartFen, "position fen 4k3/8/8/8/8/8/8/8/4K3 w - - 0 1", {"Error FEN"}, {}},
    {"BlanksAndTabsBetweenFields", PinnedRook, "position fen 4r2k/8/8/8/8/8/4R3/4K3 \t w  -\t- 0  1 moves e2e3",
     {}, {"e2e3"}},
    {"CastlingAsKingTakesRook", "rk4r1/pppppppp/8/8/8/8/PPPPPPPP/RK4R1 w GAga - 0 1",
     "position fen rk4r1/pppppppp/8/8/8/8/PPPPPPPP/RK4R1 w GAga - 0 1 moves b1a1 b8a8", {}, {"b1a1", "b8a8"}},
    {"CaseInsensitiveKeywords", StartFen, "POSITION StartPos MOVES e2e4 e7e5", {}, {"e2e4", "e7e5"}},
};

class PositionMovesTest : public testing::TestWithParam<BadInputCase> {};

TEST_P(PositionMovesTest, StopsAtTheFirstBadToken) {
    const BadInputCase& c = GetParam();
    std::vector<std::string> expected = c.messages;
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
                moves.push_back(MoveToText(move, buffer, pos));
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
    std::vector<std::string> expected = {"Movimiento ilegal: junk"};
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

std::string KnightShuffles(int count) {
    std::string moves;
    for (int i = 0; i < count; ++i) moves += " g1f3 g8f6 f3g1 f6g8";
    return moves;
}

// A game of 2000 plies in one line was once cut at 4095 characters: the tail ran as
// commands of its own and the engine answered a move illegal in the real position.
TEST(PositionMovesTest, TwoThousandPliesInOneLine) {
    support::EngineProcess engine;
    engine.send("position startpos moves" + KnightShuffles(500));
    engine.send("go depth 3");
    std::vector<std::string> lines = engine.readUntil("bestmove");
    ASSERT_FALSE(lines.empty());
    for (const std::string& line : lines) EXPECT_NE(line.rfind("Movimiento", 0), 0u) << line;
    std::vector<std::string> legal = support::legalMoves(StartFen);
    std::string best = lines.back().substr(9, lines.back().find(' ', 9) - 9);
    EXPECT_NE(std::find(legal.begin(), legal.end(), best), legal.end()) << lines.back();
}

// Long past the key-history compaction the search still sees the last positions of the
// game: a queen down, White takes the draw by repeating with g1f3.
TEST(PositionMovesTest, RepetitionSeenAfterTwoThousandPlies) {
    support::EngineProcess engine;
    engine.send("position fen 3qk1n1/4p3/8/8/8/8/4P3/4K1N1 w - - 0 1 moves" + KnightShuffles(500) +
                " e2e3 e7e6" + KnightShuffles(1));
    engine.send("go depth 5");
    std::vector<std::string> lines = engine.readUntil("bestmove");
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines.back().rfind("bestmove g1f3 ", 0), 0u) << lines.back();
    std::string lastPv;
    for (const std::string& line : lines)
        if (line.find(" pv ") != std::string::npos) lastPv = line;
    EXPECT_NE(lastPv.find(" score cp 0 "), std::string::npos) << lastPv;
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
