#include <gtest/gtest.h>

#include "options/options.h"
#include "search/hash.h"
#include "search/root.h"
#include "search/search.h"
#include "support/engine_setup.h"
#include "support/search_driver.h"
#include "support/tablebase_files.h"
#include "tablebases/registry.h"

namespace brinz {
namespace {

// Searches RootPosition `fen` to `depth` iterations on thread 0, without the protocol.
void searchTo(const char* fen, int depth) {
    RootPosition = support::positionFromFen(fen);
    clearHash();
    SearchLimits limits;
    limits.depth = depth;
    support::searchRootPosition(limits, 1);
}

TEST(TablebaseHits, CountedDuringASearchAndZeroedAtTheNext) {
    support::initialiseTables();
    if (support::threeManTables().plain.empty()) GTEST_SKIP() << support::threeManTables().reason;
    applyOptions(WHITE);  // before the tables: applying the options rescans the path option
    ASSERT_EQ(initTablebases(1, support::threeManTables().plain.c_str()), 3);

    searchTo("8/8/8/8/8/2k5/1R6/K7 w - - 0 1", 4);
    const uint64_t hits = Nalimov.tbHits.load();
    EXPECT_GT(hits, 0u);
    EXPECT_GE(Nalimov.probeCount.load(), hits);

    searchTo("r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 2 3", 3);
    EXPECT_EQ(Nalimov.tbHits.load(), 0u);
    EXPECT_EQ(Nalimov.probeCount.load(), 0u);
    initTablebases(1, "");
}

}  // namespace
}  // namespace brinz
