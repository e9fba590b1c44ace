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
constexpr uint64_t ExpectedNodes = 147365;
constexpr int SearchDepth = 6;

TEST(NodeCount, FixedSearchKeepsItsNodeTotal) {
    support::initialiseTables();
    handleSetOption("Hash value 16");
    uint64_t total = 0;
    for (const char* fen : support::SearchSample) total += support::searchFromEmptyTables(fen, SearchDepth);
    EXPECT_EQ(total, ExpectedNodes)
        << "The fixed search's node total moved. If the change was not meant to alter the search "
           "or the evaluation, find what did. If it was, set ExpectedNodes in "
           "tests/search/node_count_test.cpp to "
        << total << " in that commit and state \"Bench: " << total << "\" in its message.";
}

}  // namespace
}  // namespace brinz
