#include <gtest/gtest.h>

#include <cstdint>

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

// The search's signature: the one-thread node total of a short fixed-depth search over a
// few positions, each from empty tables. Any change to the search or the evaluation that
// is meant to keep their behaviour keeps this number; one that means to change them
// updates it in the same commit, whose message states the new total as "Bench: N".
constexpr uint64_t ExpectedNodes = 135708;
constexpr int SearchDepth = 6;

const char* const Positions[] = {
    "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
    "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10",
    "5rk1/1ppb3p/p1pb4/6q1/3P1p1r/2P1R2P/PP1BQ1P1/5RKN w - - 0 1",
    "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
    "8/k7/3p4/p2P1p2/P2P1P2/8/8/K7 w - - 0 1",
};

uint64_t searchNodes(const char* fen) {
    EXPECT_TRUE(SetPositionFromFen(RootPosition, fen)) << fen;
    clearHash();
    ClearEvalCache();
    ClearPawnTables();
    SearchLimits limits;
    limits.depth = SearchDepth;
    support::searchRootPosition(limits, 1);
    return nodeCount.load();
}

TEST(NodeCount, FixedSearchKeepsItsNodeTotal) {
    support::initialiseTables();
    handleSetOption("Hash value 16");
    uint64_t total = 0;
    for (const char* fen : Positions) total += searchNodes(fen);
    EXPECT_EQ(total, ExpectedNodes)
        << "The fixed search's node total moved. If the change was not meant to alter the search "
           "or the evaluation, find what did. If it was, set ExpectedNodes in "
           "tests/search/node_count_test.cpp to "
        << total << " in that commit and state \"Bench: " << total << "\" in its message.";
}

}  // namespace
}  // namespace brinz
