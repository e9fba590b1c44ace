#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "support/engine_process.h"

namespace brinz {
namespace {

using support::EngineProcess;

const std::vector<std::string> UciAnswer = {
    "id name Brinz 11 MT",
    "id author Quelmar",
    "option name NalimovPath type string default c:\\tb ",
    "option name NalimovCache type spin default 4 min 1 max 128",
    "option name Hash type spin default 64 min 4 max 1024",
    "option name Clear Hash type button ",
    "option name Ponder type check default false ",
    "option name Max CPUs type spin default 2 min 1 max 8",
    "option name MultiPV type spin default 1 min 1 max 32",
    "uciok",
};

TEST(CommandLoop, AnswersUciInAnyLetterCase) {
    for (const char* word : {"uci", "UCI", "Uci", "uciok"}) {
        SCOPED_TRACE(word);
        EngineProcess engine;
        engine.send(word);
        EXPECT_EQ(engine.readUntil("uciok"), UciAnswer);
    }
}

TEST(CommandLoop, IgnoresUnknownAndAnswersIsReady) {
    EngineProcess engine;
    engine.send("ucinewgame");
    engine.send("");
    engine.send("hello world");
    engine.send("   uci");  // leading blanks: not a command
    engine.send("isready");
    EXPECT_EQ(engine.readUntil("readyok"), std::vector<std::string>{"readyok"});
}

TEST(CommandLoop, QuitAndEndOfInputExitCleanly) {
    {
        EngineProcess engine;
        engine.send("quit");
        EXPECT_EQ(engine.waitExit(), 0);
        EXPECT_TRUE(engine.drain(50).empty());
    }
    {
        EngineProcess engine;
        engine.send("QUITTING");
        EXPECT_EQ(engine.waitExit(), 0);
    }
    {
        EngineProcess engine;
        engine.closeInput();
        EXPECT_EQ(engine.waitExit(), 0);
        EXPECT_TRUE(engine.drain(50).empty());
    }
}

TEST(CommandLoop, ReportsBadFenAndBadTokens) {
    EngineProcess engine;
    engine.send("position fen 4k3/8/8/8/8/8/8/4K3 x - - 0 1");
    engine.send("position fen");
    std::string longToken(40, 'z');
    engine.send("position startpos moves " + longToken + " e2e4q");
    engine.send("position startpos moves e2e4q");
    engine.send("isready");
    std::vector<std::string> expected = {"Error FEN", "Error FEN", "Movimiento ilegal: " + longToken,
                                         "Movimiento ilegal: e2e4q", "readyok"};
    EXPECT_EQ(engine.readUntil("readyok"), expected);
}

// A long line was once cut at 4095 characters and its tail run as a command of its own.
TEST(CommandLoop, LongLinesAreOneCommandAndOverlongOnesAreDropped) {
    EngineProcess engine;
    engine.send("position" + std::string(5000, ' ') + "isready");
    engine.send("position startpos moves e2e4");
    // Over the limit: dropped whole, so neither the position nor the trailing isready runs.
    engine.send("position startpos moves" + std::string(1 << 20, ' ') + "isready");
    std::vector<std::string> expected = {"info string input line longer than 1048576 bytes dropped"};
    EngineProcess fresh;
    for (const std::string& line : support::commandOutput(fresh, {"position startpos moves e2e4", "perft 1"}))
        expected.push_back(line);
    EXPECT_EQ(support::commandOutput(engine, {"perft 1"}), expected);
}

TEST(CommandLoop, SetOptionIsSilent) {
    EngineProcess engine;
    engine.send("setoption name Hash value 128");
    engine.send("setoption name NoSuchThing value 1");
    engine.send("setoption name " + std::string(5000, 'x'));
    engine.send("isready");
    EXPECT_EQ(engine.readUntil("readyok"), std::vector<std::string>{"readyok"});
}

// "MultiPV value 2abc" once set 2 and "abc" the minimum, 1: each is refused, and the
// earlier value 3 still shows three lines per iteration.
TEST(CommandLoop, SpinValuesThatAreNotWholeNumbersAreIgnored) {
    EngineProcess engine;
    std::vector<std::string> said = support::commandOutput(
        engine, {"setoption name MultiPV value 3", "setoption name MultiPV value 2abc",
                 "setoption name MultiPV value abc", "setoption name MultiPV value 1e3"});
    EXPECT_EQ(said, (std::vector<std::string>{"info string MultiPV: value 2abc is not a whole number; ignored",
                                              "info string MultiPV: value abc is not a whole number; ignored",
                                              "info string MultiPV: value 1e3 is not a whole number; ignored"}));
    engine.send("position startpos");
    engine.send("go depth 2");
    std::vector<std::string> lines = engine.readUntil("bestmove");
    bool third = false;
    for (const std::string& line : lines) third |= line.rfind("info multipv 3 ", 0) == 0;
    EXPECT_TRUE(third);
}

TEST(CommandLoop, ParameterFileSetsOptionsButNotAdvertisedDefaults) {
    std::string dir = testing::TempDir() + "brinz_cfg_test";
    std::string mk = "mkdir -p '" + dir + "'";
    ASSERT_EQ(std::system(mk.c_str()), 0);
    {
        std::ofstream cfg(dir + "/brinz.cfg");
        cfg << "; test settings\nHash = 128\nUnknownKey = 5\nEndcConfigFile\n";
    }
    EngineProcess engine(dir);
    engine.send("uci");
    EXPECT_EQ(engine.readUntil("uciok"), UciAnswer);
    engine.send("quit");
    EXPECT_EQ(engine.waitExit(), 0);
    std::remove((dir + "/brinz.cfg").c_str());
}

}  // namespace
}  // namespace brinz
