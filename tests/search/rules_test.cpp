// Each pruning, reduction and extension rule at work in a position that shows it: a hidden
// parameter switches the rule off, and a fixed-depth search on one thread from empty
// tables shows what the rule changes: the work done, or what the search finds.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "board/move_text.h"
#include "board/position.h"
#include "eval/eval_cache.h"
#include "eval/pawns.h"
#include "options/options.h"
#include "search/hash.h"
#include "search/root.h"
#include "search/search.h"
#include "support/engine_setup.h"
#include "support/search_driver.h"

namespace brinz {
namespace {

struct Outcome {
    uint64_t nodes;
    std::string best;
    int score;  // of the best move in the last iteration
};

// `fen` searched to `depth` with the engine parameter `name` set to `value`, which is
// put back to `usual` afterwards.
Outcome searchWith(const char* fen, int depth, const char* name, const char* value, const char* usual) {
    support::initialiseTables();
    auto set = [name](const char* v) { handleSetOption((std::string(name) + " value " + v).c_str()); };
    set(value);
    const uint64_t nodes = support::searchFromEmptyTables(fen, depth);
    set(usual);
    Outcome outcome{nodes, "", -INFINITE_SCORE};
    char text[MoveTextSize];
    outcome.best = MoveToText(bestMove, text, RootPosition);
    for (int k = 0; k < rootMoveCount; ++k)
        if (RootMoves[k].move == bestMove) outcome.score = RootMoves[k].score;
    return outcome;
}

// Nodes of the sample searched to depth 7 with `name` at `value`.
uint64_t sampleNodes(const char* name, const char* value, const char* usual) {
    uint64_t total = 0;
    for (const char* fen : support::SearchSample) total += searchWith(fen, 7, name, value, usual).nodes;
    return total;
}

TEST(SearchRules, PruningAndReductionsCutTheTreeAndThreatsGrowIt) {
    const uint64_t usual = sampleNodes("NULLMOVE", "true", "true");
    // The static null move prunes near the leaves, where the evaluation stands far above beta.
    EXPECT_GT(sampleNodes("NULLMOVE", "false", "true"), usual);
    // Futility skips quiet moves that cannot reach alpha (a third of the tree or more);
    // reductions search late quiet moves shallower (a sixth or more).
    EXPECT_GT(2 * sampleNodes("FUTILITY_PRUNING", "OFF", "ALL"), 3 * usual);
    EXPECT_GT(6 * sampleNodes("LATE_MOVE_REDUCTION", "OFF", "ALL"), 7 * usual);
    // A reduced move whose null-move refutation follows from it is searched again in full.
    EXPECT_LT(sampleNodes("THREAT_DEPTH", "0", "5"), usual);
}

TEST(SearchRules, AReducedMoveThatTurnsOutBetterIsSearchedAgainInFull) {
    // Qg6 mates. With reductions on it is still found: a reduced move that comes out
    // above alpha is searched again at full depth and with the full window.
    const Outcome found = searchWith("2rr3k/pp3pp1/1nnqbN1p/3pN3/2pP4/2P3Q1/PPB4P/R4RK1 w - - 0 1", 6,
                                     "LATE_MOVE_REDUCTION", "ALL", "ALL");
    EXPECT_EQ(found.best, "g3g6");
    EXPECT_GE(found.score, MATE_BOUND);
}

TEST(SearchRules, CheckExtensionsReachAMateBeyondTheNominalDepth) {
    // Qxh7+ mates in six; five plies see it only when the checks are extended.
    const char* fen = "2b3k1/4rrpp/p2p4/2pP2RQ/1pP1Pp1N/1P3P1P/1q6/6RK w - - 0 1";
    const Outcome extended = searchWith(fen, 5, "CHECK_EXTENSION", "60", "60");
    const Outcome flat = searchWith(fen, 5, "CHECK_EXTENSION", "0", "60");
    EXPECT_EQ(extended.best, "h5h7");
    EXPECT_GE(extended.score, MATE_BOUND);
    EXPECT_LT(flat.score, MATE_BOUND);
}

TEST(SearchRules, TheNullMoveIsVerifiedWhereZugzwangLurks) {
    // Little material, and only a waiting move wins: passing would hold here, so a null
    // move trusted without its verification could hide Rf1.
    const Outcome found = searchWith("8/8/p1p5/1p5p/1P5p/8/PPP2K1p/4R1rk w - - 0 1", 12, "NULLMOVE", "true", "true");
    EXPECT_EQ(found.best, "e1f1");
}

}  // namespace
}  // namespace brinz
