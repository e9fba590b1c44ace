#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "board/attacks.h"
#include "support/engine_process.h"
#include "support/engine_setup.h"
#include "support/tablebase_files.h"

namespace brinz {
namespace {

using support::EngineProcess;

const char* const Fens[] = {
    "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
    "r1bq1rk1/pp2bppp/2n1pn2/2pp4/3P4/2PBPN2/PP1N1PPP/R1BQ1RK1 w - - 0 8",
    "8/5pk1/6p1/7p/7P/6P1/5PK1/8 w - - 0 40",
    "2rr3k/pp3pp1/1nnqbN1p/3pN3/2pP4/2P3Q1/PPB4P/R4RK1 w - - 0 1",
};

using support::legalMoves;

bool isLegal(const char* fen, const std::string& move) {
    for (const std::string& m : legalMoves(fen))
        if (m == move) return true;
    return false;
}

std::string bestMoveOf(const std::string& line) {
    std::string rest = line.substr(9);
    return rest.substr(0, rest.find(' '));
}

int count(const std::vector<std::string>& lines, const std::string& prefix) {
    int n = 0;
    for (const std::string& l : lines) n += l.rfind(prefix, 0) == 0;
    return n;
}

void useThreads(EngineProcess& engine, int threads) {
    engine.send("setoption name Max CPUs value " + std::to_string(threads));
}

TEST(ThreadedProtocol, ThreadedGoAnswersLegalMoves) {
    EngineProcess engine;
    for (int threads : {2, 4, 8})
        for (const char* fen : {Fens[1], Fens[2]}) {
            SCOPED_TRACE(std::string(fen) + " with " + std::to_string(threads) + " threads");
            useThreads(engine, threads);
            engine.send(std::string("position fen ") + fen);
            engine.send("go depth 6");
            std::vector<std::string> lines = engine.readUntil("bestmove", 120000);
            ASSERT_FALSE(lines.empty());
            EXPECT_TRUE(isLegal(fen, bestMoveOf(lines.back()))) << lines.back();
        }
}

// "quit" while several threads search ends every one of them: a clean exit, status 0,
// and no answer.
TEST(ThreadedProtocol, QuitDuringAThreadedSearchEndsCleanly) {
    for (int threads : {2, 8}) {
        SCOPED_TRACE(threads);
        EngineProcess engine;
        useThreads(engine, threads);
        engine.send(std::string("position fen ") + Fens[2]);
        engine.send("go infinite");
        // Splitting starts with iteration 6; be well inside the threaded search.
        ASSERT_FALSE(engine.readUntil("info depth 7", 120000).empty());
        engine.send("quit");
        std::vector<std::string> rest = engine.drain(2000);
        EXPECT_EQ(engine.waitExit(20000), 0);
        EXPECT_EQ(count(rest, "bestmove"), 0);
    }
}

// Every node of a three-man pawn ending probes the tables, and nodes are slow. Thread 0
// must still look at the clock often enough, helpers or not, to answer before its three
// seconds are gone (its hard limit is 375 ms).
TEST(ThreadedProtocol, ATablebaseEndingAnswersBeforeTheClockRunsOut) {
    support::initialiseTables();
    const support::TableSet& tables = support::threeManTables();
    if (tables.compressed.empty()) GTEST_SKIP() << tables.reason;
    const char* fen = "8/8/8/8/8/4k3/4P3/4K3 w - - 0 1";  // drawn: no mate score ends it early
    for (int threads : {1, 2}) {
        SCOPED_TRACE(threads);
        EngineProcess engine;
        useThreads(engine, threads);
        engine.send("setoption name NalimovPath value " + tables.compressed);
        engine.send(std::string("position fen ") + fen);
        engine.send("isready");
        ASSERT_FALSE(engine.readUntil("readyok", 60000).empty());
        auto start = std::chrono::steady_clock::now();
        engine.send("go wtime 3000 btime 3000");
        std::vector<std::string> lines = engine.readUntil("bestmove", 60000);
        auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
        ASSERT_FALSE(lines.empty());
        EXPECT_TRUE(isLegal(fen, bestMoveOf(lines.back()))) << lines.back();
        EXPECT_LT(took.count(), 3000) << "the whole clock is gone";
    }
}

// Many short searches with "Max CPUs" going round 1..8, limits of every kind, "stop"
// at random moments and finally "quit" at a random moment: never a hang or a crash,
// exactly one answer per "go", none after "quit".
TEST(ThreadedProtocol, ShortSearchesWithStopsAndQuitsAtRandomMoments) {
    std::mt19937 random(20240607);
    auto below = [&random](int n) { return int(random() % uint32_t(n)); };
    const int sessions = 4, searchesPerSession = 40;
    for (int session = 0; session < sessions; ++session) {
        EngineProcess engine;
        // Splits from four plies left, so that these short searches split too.
        engine.send("setoption name MINIMUM_TREE_SPLIT_DEPTH value 4");
        for (int k = 0; k < searchesPerSession; ++k) {
            // Every count in turn, five searches each (a new count empties the pawn tables).
            int threads = 1 + (session + k / 5) % 8;
            const char* fen = Fens[below(5)];
            SCOPED_TRACE("session " + std::to_string(session) + " search " + std::to_string(k) + ": " +
                         std::to_string(threads) + " threads, " + fen);
            useThreads(engine, threads);
            engine.send(std::string("position fen ") + fen);
            switch (below(4)) {
                case 0: engine.send("go depth " + std::to_string(1 + below(5))); break;
                case 1: engine.send("go nodes " + std::to_string(1 + below(5000))); break;
                case 2: {
                    engine.send("go infinite");
                    std::string line;
                    for (int n = below(4); n > 0 && engine.readLine(line, 60000);) {
                        ASSERT_NE(line.rfind("bestmove", 0), 0u) << "answered an infinite search by itself";
                        --n;
                    }
                    engine.send("stop");
                    break;
                }
                default:
                    engine.send("go depth 30");
                    engine.send("stop");
            }
            std::vector<std::string> lines = engine.readUntil("bestmove", 60000);
            ASSERT_FALSE(lines.empty()) << "no answer";
            EXPECT_TRUE(isLegal(fen, bestMoveOf(lines.back()))) << lines.back();
            engine.send("isready");
            std::vector<std::string> after = engine.readUntil("readyok", 60000);
            ASSERT_FALSE(after.empty());
            EXPECT_EQ(count(after, "bestmove"), 0) << "a second answer";
        }
        useThreads(engine, 1 + below(8));
        engine.send(std::string("position fen ") + Fens[below(5)]);
        bool infinite = below(2);
        engine.send(infinite ? "go infinite" : "go depth 4");
        std::vector<std::string> seen;
        std::string line;
        for (int n = below(4); n > 0 && engine.readLine(line, 60000); --n) seen.push_back(line);
        engine.send("quit");
        for (const std::string& l : engine.drain(2000)) seen.push_back(l);
        EXPECT_EQ(engine.waitExit(20000), 0);
        // A depth-limited search may have answered before the quit arrived; nothing more.
        EXPECT_LE(count(seen, "bestmove"), infinite ? 0 : 1);
    }
}

// The system refuses every helper (a wrapper asks for 1 TiB stacks, which no thread can
// get): the engine must neither abort at start nor at the search, but search on the
// threads it has and say so.
TEST(ThreadedProtocol, HelpersTheSystemRefusesAreDoneWithout) {
#if defined(_WIN32) || defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "needs a POSIX shell and no sanitizer runtime (it reserves its own stacks)";
#else
    const std::string wrapper = testing::TempDir() + "brinz_without_threads.sh";
    {
        std::ofstream script(wrapper);
        script << "#!/bin/sh\nulimit -s 1073741824 || exit 99\nexec '" << BRINZ_BINARY << "'\n";
    }
    std::filesystem::permissions(wrapper, std::filesystem::perms::owner_all);
    EngineProcess engine("", wrapper);
    engine.send("uci");
    ASSERT_FALSE(engine.readUntil("uciok").empty()) << "the engine did not start under the wrapper";
    useThreads(engine, 8);
    engine.send(std::string("position fen ") + Fens[1]);
    engine.send("go depth 5");
    std::vector<std::string> lines = engine.readUntil("bestmove", 120000);
    ASSERT_FALSE(lines.empty());
    EXPECT_TRUE(isLegal(Fens[1], bestMoveOf(lines.back()))) << lines.back();
    if (count(lines, "info string only ") == 0) GTEST_SKIP() << "this system gave the helpers their stacks";
    EXPECT_EQ(count(lines, "info string only 1 of 8 search threads could be started"), 1);
    // A later search tries again, and answers again.
    engine.send("go depth 3");
    lines = engine.readUntil("bestmove", 120000);
    ASSERT_FALSE(lines.empty());
    EXPECT_TRUE(isLegal(Fens[1], bestMoveOf(lines.back()))) << lines.back();
    engine.send("quit");
    EXPECT_EQ(engine.waitExit(20000), 0);
    std::filesystem::remove(wrapper);
#endif
}

}  // namespace
}  // namespace brinz
