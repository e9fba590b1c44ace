#include <algorithm>
#include <cstdlib>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "board/attacks.h"
#include "board/generate.h"
#include "board/make_move.h"
#include "board/move_text.h"
#include "support/engine_process.h"
#include "support/engine_setup.h"
#include "support/tablebase_files.h"
#include "tablebases/probe.h"
#include "tablebases/registry.h"

namespace brinz {
namespace {

using support::EngineProcess;

// Fifty moves of each side without a capture or a pawn move.
constexpr int FiftyMovePlies = 100;

struct Game {
    std::vector<std::string> moves;
    std::string firstScore;  // the last score line of the first search
    bool mate = false;       // the side to move after the last move is checkmated
};

// The engine plays both sides from `fen`, one `go` per move, until a side has no move.
Game playOut(EngineProcess& engine, const std::string& fen, const std::string& go, int maxPlies) {
    Game game;
    std::string moves;
    for (int ply = 0; ply < maxPlies; ++ply) {
        engine.send("position fen " + fen + (moves.empty() ? "" : " moves" + moves));
        engine.send(go);
        std::vector<std::string> lines = engine.readUntil("bestmove ", 30000);
        if (lines.empty()) break;
        if (ply == 0)
            for (const std::string& line : lines)
                if (line.find(" score ") != std::string::npos) game.firstScore = line;
        const std::string& last = lines.back();
        const std::string move = last.substr(9, last.find(' ', 9) - 9);
        if (move == "0000") break;
        game.moves.push_back(move);
        moves += " " + move;
    }
    Position pos = support::positionFromFen(fen.c_str());
    for (const std::string& text : game.moves) {
        Move m = TextToMove(pos, text.c_str());
        if (m == MOVE_NULL) return game;  // an illegal move: no mate
        UndoRecord undo;
        MakeMove(pos, undo, m);
    }
    MoveListEntry list[256];
    MoveListEntry* end = pos.checkerCount ? GenerateEvasions(pos, list) : GenerateMoves(pos, list);
    int legal = 0;
    for (MoveListEntry* e = list; e < end; ++e) legal += IsLegal(pos, e->move);
    game.mate = pos.checkerCount > 0 && legal == 0;
    return game;
}

std::string joined(const std::vector<std::string>& moves) {
    std::string text;
    for (const std::string& m : moves) text += m + " ";
    return text;
}

struct LongestWin {
    const char* name;
    const char* fen;
    int distance;  // moves to mate, the longest the table holds for this material
};

// Found by walking every position of the tables: no win of this material takes longer.
const LongestWin LongestWins[] = {
    {"QueenMatesInTen", "8/8/8/5k2/8/8/1Q6/K7 w - - 0 1", 10},
    {"RookMatesInSixteen", "8/8/8/8/8/2k5/1R6/K7 w - - 0 1", 16},
};

class TablebaseMates : public testing::TestWithParam<LongestWin> {
protected:
    void SetUp() override {
        support::initialiseTables();
        if (support::threeManTables().plain.empty()) GTEST_SKIP() << support::threeManTables().reason;
    }
};

TEST_P(TablebaseMates, WithTheTablesWithinTheirDistance) {
    const LongestWin& c = GetParam();
    ASSERT_EQ(initTablebases(1, support::threeManTables().compressed.c_str()), 3);
    EXPECT_EQ(lookupTableValue(support::positionFromFen(c.fen)), 32767 - c.distance);
    initTablebases(1, "");

    EngineProcess engine;
    engine.send("setoption name Max CPUs value 1");
    engine.send("setoption name NalimovPath value " + support::threeManTables().compressed);
    Game game = playOut(engine, c.fen, "go depth 5", 2 * c.distance + 2);
    EXPECT_TRUE(game.mate) << joined(game.moves);
    EXPECT_LE(int(game.moves.size()), 2 * c.distance - 1) << joined(game.moves);
    // The distance shows at the root from the first search on.
    EXPECT_NE(game.firstScore.find("score mate " + std::to_string(c.distance) + " "), std::string::npos)
        << game.firstScore;
}

TEST_P(TablebaseMates, WithoutTablesFromItsOwnKnowledge) {
    const LongestWin& c = GetParam();
    EngineProcess engine;
    engine.send("setoption name Max CPUs value 1");
    engine.send("setoption name NalimovPath value " + support::freshDirectory("no_tables"));
    Game game = playOut(engine, c.fen, "go nodes 20000", FiftyMovePlies);
    EXPECT_TRUE(game.mate) << joined(game.moves);
}

INSTANTIATE_TEST_SUITE_P(Endgames, TablebaseMates, testing::ValuesIn(LongestWins),
                         [](const auto& info) { return std::string(info.param.name); });

// The table directory in the forms interfaces give it. Where the engine under test runs on
// Windows (under Wine, whose drive Z: is the Unix root), drive letters and backslashes too,
// and an absent drive is passed over.
TEST(Endgames, TableDirectoryInEveryPathForm) {
    support::initialiseTables();
    if (support::threeManTables().plain.empty()) GTEST_SKIP() << support::threeManTables().reason;
    const std::string dir = support::threeManTables().compressed;
    std::vector<std::pair<std::string, bool>> cases = {
        {dir, true}, {dir + "/", true}, {"/no/such/dir;" + dir, true}, {"/no/such/dir", false}};
    const char* wrapper = std::getenv("BRINZ_TEST_ENGINE_WRAPPER");
    if (wrapper && *wrapper) {
        std::string backslashed = dir;
        std::replace(backslashed.begin(), backslashed.end(), '/', '\\');
        cases.insert(cases.end(), {{"Z:" + backslashed, true},
                                   {"z:" + dir, true},
                                   {"Z:" + backslashed + "\\", true},
                                   {"Q:\\tb;Z:" + backslashed, true}});
    }
    for (const auto& [path, found] : cases) {
        SCOPED_TRACE(path);
        EngineProcess engine;
        std::vector<std::string> output =
            support::commandOutput(engine, {"setoption name NalimovPath value " + path,
                                            "position fen 8/8/8/5k2/8/8/1Q6/K7 w - - 0 1", "go depth 1", "eval"});
        const bool win = std::find(output.begin(), output.end(), "Tablebase: win in 10") != output.end();
        EXPECT_EQ(win, found);
    }
}

// The once-a-second status line counts the probes that found a value.
TEST(Endgames, StatusLineCountsTablebaseHits) {
    support::initialiseTables();
    const support::TableSet& tables = support::threeManTables();
    if (tables.plain.empty()) GTEST_SKIP() << tables.reason;
    for (bool withTables : {true, false}) {
        SCOPED_TRACE(withTables ? "with tables" : "without tables");
        EngineProcess engine;
        engine.send("setoption name NalimovPath value " +
                    (withTables ? tables.plain : support::freshDirectory("no_tables")));
        engine.send("position fen 8/8/8/8/8/2k5/1R6/K7 w - - 0 1");
        engine.send("go infinite");
        std::vector<std::string> lines = engine.readUntil("info nodes ");
        engine.send("stop");
        ASSERT_FALSE(lines.empty()) << "no status line";
        const std::string& status = lines.back();
        const size_t at = status.find(" tbhits ");
        ASSERT_NE(at, std::string::npos) << status;
        const long hits = std::stol(status.substr(at + 8));
        if (withTables) {
            EXPECT_GT(hits, 0) << status;
        } else {
            EXPECT_EQ(hits, 0) << status;
        }
        EXPECT_FALSE(engine.readUntil("bestmove ").empty());
    }
}

TEST(Endgames, BishopAndKnightMateWithinFiftyMoves) {
    // Without their own evaluator these drift: the bare king is driven to any edge, and the
    // mate, possible only in a corner of the bishop's colour, is not found in fifty moves.
    const char* const fens[] = {
        "8/8/8/4k3/8/8/8/KBN5 w - - 0 1",  // the bare king in the centre, the pieces in a corner
        "8/8/8/3k4/8/8/8/NBK5 w - - 0 1",
    };
    for (const char* fen : fens) {
        SCOPED_TRACE(fen);
        EngineProcess engine;
        engine.send("setoption name Max CPUs value 1");
        engine.send("setoption name NalimovPath value " + support::freshDirectory("no_tables"));
        Game game = playOut(engine, fen, "go nodes 20000", FiftyMovePlies);
        EXPECT_TRUE(game.mate) << joined(game.moves);
    }
}

TEST(Endgames, EvaluatorsOnlyForTheirOwnMaterial) {
    // Material sums made of pawns once reached evaluators that read pieces not on the board.
    struct Case { const char* fen; bool specialised; };
    const Case cases[] = {
        {"4k3/ppppp3/8/8/8/8/PPPPPP2/4K3 w - - 0 1", false},  // the sums of rook and pawn against rook
        {"4k3/p7/8/8/8/8/1PPPPP2/4K3 w - - 0 1", false},      // of rook against pawn
        {"r3k3/8/8/8/8/8/PPPPP3/4K2R w - - 0 1", false},      // of queen against rook
        {"4k3/8/3n4/8/8/8/PPPPP3/4K3 w - - 0 1", false},      // of rook against knight
        {"r1k5/8/8/4P3/4K3/8/8/7R w - - 0 1", true},
        {"8/8/8/8/8/2k5/p7/4K2R b - - 0 1", true},
        {"8/8/4k3/8/8/3r4/8/Q3K3 b - - 0 1", true},
        {"8/8/4k3/3n4/8/8/8/R3K3 w - - 0 1", true},
        {"8/8/4k3/3b4/8/8/8/R3K3 w - - 0 1", true},
        {"8/8/8/4k3/8/8/8/KBN5 w - - 0 1", true},
    };
    EngineProcess engine;
    engine.send("setoption name NalimovPath value " + support::freshDirectory("no_tables"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fen);
        engine.send(std::string("position fen ") + c.fen);
        engine.send("eval");
        bool specialised = false;
        for (const std::string& line : engine.readUntil("Evaluation: "))
            specialised |= line == "Scored by a specialised endgame evaluator";
        EXPECT_EQ(specialised, c.specialised);
    }
}

}  // namespace
}  // namespace brinz
