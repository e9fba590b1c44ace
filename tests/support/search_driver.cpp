#include "support/search_driver.h"

#include <cstdio>

#include <gtest/gtest.h>

#include "eval/eval_cache.h"
#include "eval/pawns.h"
#include "options/options.h"
#include "search/hash.h"
#include "search/root.h"
#include "search/search.h"
#include "smp/threads.h"
#include "support/engine_setup.h"

namespace brinz::support {

void prepareSearchState() {
    initialiseTables();
    prepareSearchThreads(1);
    applyOptions(WHITE);
    clearHash();
    searchHooks = SearchHooks{};
    searchClock = SearchClock{};
    searchClock.pollInterval = uint32_t(PollIntervalNodes);
    searchClock.noTimeLimit = true;
    resetRootResults();
    resetSearchCounters();
}

void searchRootPosition(const SearchLimits& limits, int threads, const Move* searchMoves) {
    initialiseTables();
    // Without a std::string: a test may count the allocations of a whole search.
    char line[32];
    std::snprintf(line, sizeof line, "Max CPUs value %d", threads);
    handleSetOption(line);
    SearchHooks hooks{};
    hooks.checkLimits = checkLimits;
    runSearch(limits, searchMoves, hooks);
    SearchState.store(Idle);
}

uint64_t searchFromEmptyTables(const char* fen, int depth) {
    initialiseTables();
    EXPECT_TRUE(SetPositionFromFen(RootPosition, fen)) << fen;
    clearHash();
    ClearEvalCache();
    clearPawnTables();
    SearchLimits limits;
    limits.depth = depth;
    searchRootPosition(limits, 1);
    return nodeCount.load();
}

}  // namespace brinz::support
