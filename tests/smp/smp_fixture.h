#pragma once

#include <gtest/gtest.h>

#include <string>

#include "board/attacks.h"
#include "board/generate.h"
#include "options/options.h"
#include "search/hash.h"
#include "search/root.h"
#include "search/search.h"
#include "smp/split.h"
#include "smp/threads.h"
#include "support/engine_setup.h"
#include "support/search_driver.h"

namespace brinz::testing_smp {

// Sets "Max CPUs" and applies the options as a search start does.
inline void useThreads(int count) {
    handleSetOption(("Max CPUs value " + std::to_string(count)).c_str());
    applyOptions(WHITE);
}

// A search driven directly, without the protocol: no input, no reports, fresh counters.
inline void prepareSearch() { support::prepareSearchState(); }

// Iterative deepening of `fen` to `depth` with `threads` threads, as "go depth" does.
inline void searchToDepth(const char* fen, int depth, int threads) {
    ASSERT_TRUE(SetPositionFromFen(RootPosition, fen)) << fen;
    clearHash();
    SearchLimits limits;
    limits.depth = depth;
    support::searchRootPosition(limits, threads);
}

// Thread `t` on `fen` with a clean stack whose plies all start their move lists at the
// thread's buffer, ready for search or split at any ply.
inline Position& placeThread(int t, const char* fen) {
    SearchThread& thread = searchThread(t);
    thread.position = support::positionFromFen(fen);
    for (PlyRecord& r : thread.stack) {
        r = PlyRecord{};
        r.currentMove = r.killer1 = r.killer2 = r.mateKiller = MOVE_NONE;
        r.moveListStart = thread.moveBuffer;
    }
    return thread.position;
}

inline bool isLegalRootMove(Move m) {
    MoveListEntry list[MaxMovesPerPly];
    Position& pos = RootPosition;
    MoveListEntry* end = pos.checkerCount ? GenerateEvasions(pos, list) : GenerateMoves(pos, list);
    for (MoveListEntry* e = list; e < end; ++e)
        if (e->move == m) return IsLegal(pos, m);
    return false;
}

// Threads 1..7 run for the whole suite, as in the engine, and end with it.
class ThreadedTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        support::initialiseTables();
        startThreads();
    }
    static void TearDownTestSuite() {
        stopThreads();
        useThreads(2);
    }
    void SetUp() override { support::initialiseTables(); }
    void TearDown() override { SearchState.store(Idle); }
};

// No helper runs: the records can be set by hand.
class UnthreadedTest : public testing::Test {
protected:
    void SetUp() override {
        stopThreads();
        support::initialiseTables();
        ASSERT_EQ(prepareSearchThreads(MaxThreads), MaxThreads);
        for (int i = 0; i < MaxThreads; ++i) {
            searchThread(i).idle.store(0);
            searchThread(i).abort.store(0);
            searchThread(i).hasWork.store(0);
            searchThread(i).activeSplits.store(0);
        }
    }
    void TearDown() override {
        for (int i = 0; i < MaxThreads; ++i) {
            searchThread(i).idle.store(0);
            searchThread(i).abort.store(0);
            searchThread(i).activeSplits.store(0);
        }
        activeThreads.store(1);
        SearchState.store(Idle);
    }
};

}  // namespace brinz::testing_smp
