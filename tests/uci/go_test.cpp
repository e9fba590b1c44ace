#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "board/attacks.h"
#include "support/engine_process.h"
#include "support/engine_setup.h"

namespace brinz {
namespace {

using support::EngineProcess;

// The move of a "bestmove" line ("bestmove e2e4 ponder e7e5 ").
std::string bestMoveOf(const std::vector<std::string>& lines) {
    if (lines.empty() || lines.back().rfind("bestmove ", 0) != 0) return "<no bestmove>";
    std::string rest = lines.back().substr(9);
    return rest.substr(0, rest.find(' '));
}

using support::legalMoves;

bool contains(const std::vector<std::string>& moves, const std::string& m) {
    for (const std::string& x : moves)
        if (x == m) return true;
    return false;
}

// Lines that start with `prefix`.
std::vector<std::string> linesWith(const std::vector<std::string>& lines, const std::string& prefix) {
    std::vector<std::string> found;
    for (const std::string& l : lines)
        if (l.rfind(prefix, 0) == 0) found.push_back(l);
    return found;
}

std::vector<std::string> search(EngineProcess& engine, const std::string& fen, const std::string& go,
                                int timeoutMs = 20000) {
    engine.send("position fen " + fen);
    engine.send(go);
    return engine.readUntil("bestmove", timeoutMs);
}

struct MateCase {
    const char* name;
    const char* fen;
    const char* move;
    int mateIn;
};

const MateCase MateCases[] = {
    {"BackRankInOne", "6k1/5ppp/8/8/8/8/5PPP/R5K1 w - - 0 1", "a1a8", 1},
    {"QueenSacrificeInTwo", "2rr3k/pp3pp1/1nnqbN1p/3pN3/2pP4/2P3Q1/PPB4P/R4RK1 w - - 0 1", "g3g6", 2},
    {"BlackMatesInTwo", "5k2/6pp/p1qN4/1p1p4/3P4/2PKP2Q/PP3r2/3R4 b - - 0 1", "c6c4", 2},
    {"PawnCheckInThree", "8/6pp/3q1p2/3n1k2/1P6/3NQ2P/5PP1/6K1 w - - 0 1", "g2g4", 3},
    {"RookSacrificeInFour", "r3r2k/2R3pp/pp1q1p2/8/3P3R/7P/PP3PP1/3Q2K1 w - - 0 1", "h4h7", 4},
};

class MateTest : public testing::TestWithParam<MateCase> {};

TEST_P(MateTest, FindsTheMateWithItsDistance) {
    const MateCase& c = GetParam();
    EngineProcess engine;
    std::vector<std::string> lines = search(engine, c.fen, "go depth " + std::to_string(2 * c.mateIn + 1));
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(bestMoveOf(lines), c.move);
    std::vector<std::string> pv = linesWith(lines, "info depth ");
    std::string expected = "score mate " + std::to_string(c.mateIn) + " ";
    ASSERT_FALSE(pv.empty());
    EXPECT_NE(pv.back().find(expected), std::string::npos) << pv.back();
}

INSTANTIATE_TEST_SUITE_P(Go, MateTest, testing::ValuesIn(MateCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Go, NoLegalMoveAnswersNullMoveUnderEveryLimit) {
    const char* const fens[] = {
        "7k/5Q2/6K1/8/8/8/8/8 b - - 0 1",  // stalemate
        "7k/6Q1/6K1/8/8/8/8/8 b - - 0 1",  // checkmate
    };
    for (const char* fen : fens)
        for (const char* go : {"go wtime 10000 btime 10000", "go depth 4", "go nodes 1000", "go movetime 50"}) {
            SCOPED_TRACE(std::string(fen) + " / " + go);
            EngineProcess engine;
            std::vector<std::string> lines = search(engine, fen, go);
            ASSERT_FALSE(lines.empty());
            EXPECT_EQ(lines.back(), "bestmove 0000 ");
        }
}

TEST(Go, DepthLimitCompletesExactlyThoseIterations) {
    struct Case {
        int depth, lastIteration;
    };
    for (Case c : {Case{1, 2}, Case{2, 2}, Case{5, 5}}) {
        SCOPED_TRACE(c.depth);
        EngineProcess engine;
        std::vector<std::string> lines = search(engine, "r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 2 3",
                                                "go depth " + std::to_string(c.depth));
        std::vector<std::string> starts;
        for (const std::string& l : linesWith(lines, "info depth "))
            if (l.find("score") == std::string::npos) starts.push_back(l);
        ASSERT_FALSE(starts.empty());
        EXPECT_EQ(starts.front(), "info depth 2");
        EXPECT_EQ(starts.back(), "info depth " + std::to_string(c.lastIteration));
        EXPECT_EQ(int(starts.size()), c.lastIteration - 1);
    }
}

// A stop before the first root move is searched still answers the first legal root move.
TEST(Go, EarlyStopsStillAnswerALegalMove) {
    const char* fen = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";
    std::vector<std::string> legal = legalMoves(fen);
    for (const char* go : {"go nodes 1", "go nodes 30", "go wtime 400 movestogo 1", "go", "go mate 5 nodes 2"}) {
        SCOPED_TRACE(go);
        EngineProcess engine;
        std::vector<std::string> lines = search(engine, fen, go);
        EXPECT_TRUE(contains(legal, bestMoveOf(lines))) << bestMoveOf(lines);
    }
}

TEST(Go, SearchMovesRestrictTheRootToLegalMovesOnce) {
    struct Case {
        const char* name;
        const char* fen;
        const char* go;
        std::vector<std::string> allowed;
    };
    const Case cases[] = {
        {"TwoQuietMoves", "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
         "go depth 4 searchmoves a2a3 h2h4", {"a2a3", "h2h4"}},
        {"RepeatedMoveCountsOnce", "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
         "go wtime 100000 btime 100000 searchmoves g1f3 g1f3 g1f3", {"g1f3"}},
        // No named move is legal: every move is searched; "bestmove 0000" was once answered.
        {"OnlyANonEvasion", "4k3/4r3/8/8/8/8/P7/4K3 w - - 0 1", "go depth 3 searchmoves a2a3",
         legalMoves("4k3/4r3/8/8/8/8/P7/4K3 w - - 0 1")},
        {"OnlyAnImpossibleMove", "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
         "go depth 3 searchmoves e2e5", legalMoves("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1")},
        {"IllegalMoveDropped", "4k3/4r3/8/8/8/8/P7/4K3 w - - 0 1", "go depth 3 searchmoves a2a3 e1d1", {"e1d1"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EngineProcess engine;
        std::vector<std::string> lines = search(engine, c.fen, c.go);
        EXPECT_TRUE(contains(c.allowed, bestMoveOf(lines))) << bestMoveOf(lines);
        for (const std::string& pv : linesWith(lines, "info depth ")) {
            size_t at = pv.find(" pv ");
            if (at != std::string::npos) {
                std::string first = pv.substr(at + 4, pv.find(' ', at + 4) - at - 4);
                EXPECT_TRUE(contains(c.allowed, first)) << pv;
            }
        }
    }
}

TEST(Go, SingleLegalMoveUnderAClockStopsAfterIterationFive) {
    EngineProcess engine;
    std::vector<std::string> lines = search(engine, "k7/8/8/8/8/8/1r6/K7 w - - 0 1", "go wtime 100000 btime 100000");
    EXPECT_EQ(bestMoveOf(lines), "a1b2");
    std::vector<std::string> starts = linesWith(lines, "info depth 5");
    EXPECT_FALSE(starts.empty());
    EXPECT_TRUE(linesWith(lines, "info depth 6").empty());
}

TEST(Go, TimedGamesAnswerInTimeWithLegalMoves) {
    struct Case {
        const char* fen;
        const char* go;
        int hardLimitMs;
    };
    const Case cases[] = {
        {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", "go wtime 4000 btime 4000 winc 100 binc 100", 1000},
        {"r1bqkb1r/pppp1ppp/2n2n2/4p2Q/2B1P3/8/PPPP1PPP/RNB1K1NR w KQkq - 4 4", "go wtime 3000 btime 3000", 375},
        {"r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R b KQkq - 0 1", "go wtime 2000 btime 2000 movestogo 10", 666},
        {"8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1", "go wtime 500 btime 500 winc 2000 binc 2000", 375},
        {"6k1/5ppp/8/8/8/8/5PPP/R5K1 w - - 0 1", "go wtime 1000 btime 1000 movestogo 1", 500},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.go);
        EngineProcess engine;
        engine.send("isready");
        engine.readUntil("readyok");
        auto start = std::chrono::steady_clock::now();
        std::vector<std::string> lines = search(engine, c.fen, c.go);
        auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
        EXPECT_TRUE(contains(legalMoves(c.fen), bestMoveOf(lines))) << bestMoveOf(lines);
        // Generous slack for sanitizer builds and a busy machine; the point is "not the whole clock".
        EXPECT_LT(took.count(), c.hardLimitMs * 3 + 1500);
    }
}

TEST(Go, InfiniteAnalysisWaitsForStopAndAnswersIsReady) {
    struct Case {
        const char* name;
        const char* fen;
        const char* answer;  // empty: any legal move
    };
    const Case cases[] = {
        {"Stalemate", "7k/5Q2/6K1/8/8/8/8/8 b - - 0 1", "0000"},
        {"BareKings", "8/8/8/4k3/8/8/8/4K3 w - - 0 1", ""},
        {"SingleLegalMove", "k7/8/8/8/8/8/1r6/K7 w - - 0 1", "a1b2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EngineProcess engine;
        engine.send(std::string("position fen ") + c.fen);
        engine.send("go infinite");
        engine.send("isready");
        std::vector<std::string> ready = engine.readUntil("readyok", 5000);
        ASSERT_FALSE(ready.empty()) << "isready during a search is answered at once";
        EXPECT_TRUE(linesWith(ready, "bestmove").empty());
        std::vector<std::string> more = engine.drain(300);
        EXPECT_TRUE(linesWith(more, "bestmove").empty()) << "no answer before stop";
        engine.send("stop");
        std::vector<std::string> lines = engine.readUntil("bestmove", 5000);
        if (*c.answer) EXPECT_EQ(bestMoveOf(lines), c.answer);
        else EXPECT_TRUE(contains(legalMoves(c.fen), bestMoveOf(lines))) << bestMoveOf(lines);
    }
}

TEST(Go, PonderingEndsAtPonderhitOrStop) {
    const char* fen = "r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 2 3";
    struct Case {
        const char* go;
        const char* release;
    };
    for (Case c : {Case{"go ponder movetime 200", "ponderhit"}, Case{"go ponder depth 2", "ponderhit"},
                   Case{"go ponder nodes 3000", "ponderhit"}, Case{"go ponder wtime 1000 btime 1000", "ponderhit"},
                   Case{"go ponder wtime 100000 btime 100000", "stop"}}) {
        SCOPED_TRACE(c.go);
        EngineProcess engine;
        engine.send(std::string("position fen ") + fen);
        engine.send(c.go);
        std::vector<std::string> early = engine.drain(400);
        EXPECT_TRUE(linesWith(early, "bestmove").empty()) << "no answer while pondering";
        engine.send(c.release);
        std::vector<std::string> lines = engine.readUntil("bestmove", 10000);
        EXPECT_TRUE(contains(legalMoves(fen), bestMoveOf(lines))) << bestMoveOf(lines);
    }
}

TEST(Go, GoMateStopsOnceTheMateIsFound) {
    EngineProcess engine;
    std::vector<std::string> lines =
        search(engine, "2rr3k/pp3pp1/1nnqbN1p/3pN3/2pP4/2P3Q1/PPB4P/R4RK1 w - - 0 1", "go mate 2");
    EXPECT_EQ(bestMoveOf(lines), "g3g6");
}

}  // namespace
}  // namespace brinz
