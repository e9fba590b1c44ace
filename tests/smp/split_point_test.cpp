#include <gtest/gtest.h>

#include <thread>

#include "board/move_text.h"
#include "search/ordering.h"
#include "smp_fixture.h"

namespace brinz {
namespace {

using testing_smp::UnthreadedTest;

class HelpfulMasterTest : public UnthreadedTest {};

// Who may help thread `asker` when it wants to split. An idle thread that owns split
// points is waiting at its newest one: it may help only where that keeps it inside its
// own subtree, unless just two threads take part.
TEST_F(HelpfulMasterTest, IdleThreadAvailableFollowsTheRules) {
    struct Newest {
        int owner, level, slave;  // searchThread(owner).splitPoints[level].slaves[slave] is set
    };
    struct Case {
        const char* name;
        int threads, asker;
        std::initializer_list<int> idle;
        int openSplits[MaxThreads];
        std::initializer_list<Newest> slaves;
        bool available;
    };
    const Case cases[] = {
        {"IdleThreadOwningNothing", 4, 0, {2}, {}, {}, true},
        {"OnlyTheAskerIsIdle", 4, 1, {1}, {}, {}, false},
        {"IdleThreadNotTakingPart", 2, 0, {3}, {}, {}, false},
        {"TwoThreadsOwnerHelpsAnyone", 2, 1, {0}, {1}, {}, true},
        {"FourThreadsOwnerHelpsItsSlave", 4, 2, {1}, {0, 1}, {{1, 0, 2}}, true},
        {"FourThreadsOwnerIgnoresAStranger", 4, 2, {1}, {0, 1}, {{1, 0, 3}}, false},
        {"FourThreadsOnlyTheNewestSplitCounts", 4, 2, {1}, {0, 2}, {{1, 0, 2}}, false},
        {"FourThreadsSlaveAtTheNewestSplit", 4, 2, {1}, {0, 2}, {{1, 1, 2}}, true},
        {"FourThreadsOneFreeAmongBusyOwners", 4, 2, {1, 3}, {0, 1, 0, 0}, {}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        activeThreads.store(c.threads);
        for (int i = 0; i < MaxThreads; ++i) {
            searchThread(i).idle.store(0);
            searchThread(i).activeSplits.store(c.openSplits[i]);
            for (int k = 0; k < MaxSplitsPerThread; ++k)
                for (auto& flag : searchThread(i).splitPoints[k].slaves) flag.store(0);
        }
        for (int i : c.idle) searchThread(i).idle.store(1);
        for (const Newest& n : c.slaves) searchThread(n.owner).splitPoints[n.level].slaves[n.slave].store(1);
        EXPECT_EQ(idleThreadAvailable(c.asker), c.available);
    }
}

// Thread 0 waits, idle, at its split point where thread 1 works for it or not; thread 1
// (this test's thread) searches a node whose moves all fail low and offers the rest of
// them after the first. With two threads taking part thread 0 always joins; with four,
// only when thread 1 works at its newest split point.
TEST_F(HelpfulMasterTest, AWaitingOwnerJoinsOnlyWhereTheRulesAllow) {
    struct Case {
        const char* name;
        int threads;
        bool slaveOfOwner;
        bool joins;
    };
    const Case cases[] = {
        {"TwoThreadsSlave", 2, true, true},
        {"TwoThreadsStranger", 2, false, true},
        {"FourThreadsSlave", 4, true, true},
        {"FourThreadsStranger", 4, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testing_smp::useThreads(c.threads);
        testing_smp::prepareSearch();
        SearchState.store(Searching);
        activeThreads.store(c.threads);

        SplitPoint& owned = searchThread(0).splitPoints[0];
        owned.owner = 0;
        owned.parent = nullptr;
        owned.cutoff.store(0);
        for (auto& flag : owned.slaves) flag.store(0);
        owned.slaves[1].store(c.slaveOfOwner);
        owned.workers.store(1);
        searchThread(0).activeSplits.store(1);
        searchThread(0).idle.store(1);
        std::thread owner([&owned] { waitForWork(searchThread(0), &owned); });

        SearchThread& me = searchThread(1);
        testing_smp::placeThread(1, "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10");
        searchThread(1).workingAt = c.slaveOfOwner ? &owned : nullptr;
        uint64_t opened = splitCounters.opened.load(), helpful = splitCounters.helpfulJoins.load();
        int v = search(me.position, me.stack, 2, 2000, 2001, 5 * ONE_PLY, false, me);
        searchThread(1).workingAt = nullptr;
        owned.workers.store(0, std::memory_order_release);
        owner.join();

        EXPECT_LE(v, 2000) << "every move fails low";
        EXPECT_EQ(splitCounters.opened.load() > opened, c.joins);
        EXPECT_EQ(splitCounters.helpfulJoins.load() > helpful, c.joins);
        EXPECT_EQ(searchThread(1).activeSplits.load(), 0);
    }
}

class NestingTest : public UnthreadedTest {};

TEST_F(NestingTest, ANinthNestedSplitIsRefused) {
    activeThreads.store(2);
    searchThread(1).idle.store(1);
    searchThread(0).activeSplits.store(MaxSplitsPerThread);
    uint64_t refused = splitCounters.nestingRefused.load();
    Position& pos = searchThread(0).position;
    int alpha = 0, beta = 1, best = -INFINITE_SCORE, moves = 1;
    MoveListEntry list[4] = {};
    SearchThread& owner = searchThread(0);
    EXPECT_FALSE(split(pos, owner.stack, 1, alpha, beta, false, best, 600, moves, list, list + 4, owner));
    EXPECT_EQ(searchThread(0).activeSplits.load(), MaxSplitsPerThread);
    EXPECT_EQ(searchThread(1).hasWork.load(), 0) << "nobody was given work";
    EXPECT_EQ(searchThread(1).idle.load(), 1);
    EXPECT_EQ(splitCounters.nestingRefused.load(), refused + 1);
}

TEST_F(NestingTest, AnAbortedOwnerDoesNotSplit) {
    // Its last result may be a void 0 from an aborted search: it must unwind, not share it.
    activeThreads.store(2);
    searchThread(1).idle.store(1);
    searchThread(0).abort.store(1);
    int alpha = 0, beta = 1, best = -INFINITE_SCORE, moves = 1;
    MoveListEntry list[4] = {};
    EXPECT_FALSE(split(searchThread(0).position, searchThread(0).stack, 1, alpha, beta, false, best, 600, moves,
                       list, list + 4, searchThread(0)));
    EXPECT_EQ(searchThread(0).activeSplits.load(), 0);
    EXPECT_EQ(searchThread(1).hasWork.load(), 0);
}

// When the owner's split closes, its abort flag must say whether the work it goes back to
// was cut off above, whatever the flag held meanwhile (an abort meant for a split point it
// helped at, or none). Cleared blindly, an abort from above would let the half-searched
// node pass for a finished one and be stored.
TEST_F(NestingTest, AfterItsSplitTheOwnerIsAbortedExactlyWhenWorkAboveWasCutOff) {
    struct Case {
        const char* name;
        bool cutAbove, strayAbort;
    };
    const Case cases[] = {
        {"NothingCut", false, false},
        {"StrayAbortWhileWaiting", false, true},
        {"CutAbove", true, false},
        {"CutAboveAndStrayAbort", true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testing_smp::useThreads(2);
        testing_smp::prepareSearch();
        SearchState.store(Searching);
        activeThreads.store(2);
        searchThread(1).idle.store(1);

        SplitPoint& above = searchThread(2).splitPoints[0];  // the split point thread 0 works at
        above.parent = nullptr;
        above.cutoff.store(c.cutAbove);
        searchThread(0).workingAt = &above;

        SearchThread& me = searchThread(0);
        testing_smp::placeThread(0, "4k3/pp3ppp/8/8/8/8/PP3PPP/4K3 w - - 0 1");
        MoveListEntry* list = me.moveBuffer;
        MoveListEntry* end = GenerateMoves(me.position, list);
        for (MoveListEntry* e = list; e < end; ++e) e->score = 0;
        me.stack[2].moveListStart = end;

        // Thread 1 starts once thread 0 has searched every move and waits; it may leave an
        // abort behind on thread 0, as a split point it helped at would.
        std::thread helper([&c] {
            SearchThread& r = searchThread(1);
            while (!r.hasWork.load(std::memory_order_acquire) || !searchThread(0).idle.load())
                std::this_thread::yield();
            r.hasWork.store(0);
            if (c.strayAbort) searchThread(0).abort.store(1);
            searchSplitPoint(*r.splitPoint.load(), searchThread(1));
            r.idle.store(1);
        });
        int alpha = -INFINITE_SCORE, beta = INFINITE_SCORE, best = -INFINITE_SCORE, moves = 1;
        EXPECT_TRUE(split(me.position, me.stack, 1, alpha, beta, true, best, 2 * ONE_PLY, moves, list, end, me));
        helper.join();
        searchThread(0).workingAt = nullptr;
        EXPECT_EQ(searchThread(0).abort.load(), c.cutAbove ? 1 : 0);
        EXPECT_EQ(searchThread(0).splitPoints[0].movesTaken, 1 + int(end - list)) << "every move was searched";
        searchThread(0).abort.store(0);
    }
}

// A split point at ply 1 of a back-rank mate, worked by the owner (thread 0) and slaves 1
// and 2, set up by hand. The mating move comes first in the shared list; whoever takes it
// fails high, and every other worker there must be told to stop.
class SplitCutoffTest : public UnthreadedTest, public testing::WithParamInterface<int> {
protected:
    static constexpr int Ply = 1;
    static constexpr const char* Fen = "6k1/5ppp/8/8/8/8/5PPP/R5K1 w - - 0 1";

    void SetUp() override {
        UnthreadedTest::SetUp();
        testing_smp::useThreads(3);
        testing_smp::prepareSearch();
        activeThreads.store(3);
        SearchState.store(Searching);
        for (PlyRecord& r : ownerStack) {
            r = PlyRecord{};
            r.currentMove = r.killer1 = r.killer2 = r.mateKiller = MOVE_NONE;
        }
        Position pos = support::positionFromFen(Fen);
        mate = TextToMove(pos, "a1a8");
        ASSERT_NE(mate, MOVE_NULL);
        end = GenerateMoves(pos, list);
        for (MoveListEntry* e = list; e < end; ++e) e->score = e->move == mate ? 100 : 0;

        SplitPoint& s = point();
        s.ply = Ply;
        s.depth = 5 * ONE_PLY;
        s.alpha.store(0);
        s.beta.store(1);
        s.best.store(-INFINITE_SCORE);
        s.pvNode = false;
        s.owner = 0;
        s.ownerStack = ownerStack;
        s.cursor = list;
        s.end = end;
        s.movesTaken = 1;
        s.parent = nullptr;
        s.cutoff.store(0);
        for (int i = 0; i < MaxThreads; ++i) s.slaves[i].store(i == 1 || i == 2);
        s.workers.store(3);
        for (int i = 0; i < 3; ++i) {
            s.positions[i] = pos;
            for (int p = 0; p <= Ply; ++p) s.stacks[i][p] = ownerStack[p];
        }
    }
    static SplitPoint& point() { return searchThread(0).splitPoints[0]; }

    PlyRecord ownerStack[StackSize];
    MoveListEntry list[MaxMovesPerPly];
    MoveListEntry* end = nullptr;
    Move mate = MOVE_NULL;
};

TEST_P(SplitCutoffTest, AbortsEveryOtherWorkerAndRecordsTheCutoffOnce) {
    const int cutter = GetParam();
    SplitPoint& s = point();
    searchSplitPoint(s, searchThread(cutter));

    EXPECT_EQ(s.cutoff.load(), 1);
    EXPECT_EQ(s.best.load(), MATE - 2);
    EXPECT_GE(s.alpha.load(), s.beta.load());
    for (int i = 0; i < 3; ++i) EXPECT_EQ(searchThread(i).abort.load(), i == cutter ? 0 : 1) << "thread " << i;
    EXPECT_LT(s.cursor, s.end) << "the moves after the cutoff are left unsearched";
    EXPECT_EQ(s.workers.load(), 2);
    EXPECT_EQ(s.slaves[cutter].load(), 0);
    // The result goes to the owner's records: line, killer and mate killer.
    EXPECT_EQ(ownerStack[Ply].pv[Ply], mate);
    EXPECT_EQ(ownerStack[Ply].killer1, mate);
    EXPECT_EQ(ownerStack[Ply].mateKiller, mate);
    EXPECT_EQ(History[historyIndex(WHITE, mate)].load(), uint32_t(s.depth)) << "credited once";
}

INSTANTIATE_TEST_SUITE_P(Smp, SplitCutoffTest, testing::Values(0, 1),
                         [](const auto& info) { return info.param == 0 ? "ByTheOwner" : "ByASlave"; });

TEST_F(SplitCutoffTest, AnAbortedWorkerRecordsNothing) {
    SplitPoint& s = point();
    searchThread(1).abort.store(1);
    searchSplitPoint(s, searchThread(1));
    EXPECT_EQ(s.best.load(), -INFINITE_SCORE);
    EXPECT_EQ(s.cursor, list) << "no move taken";
    EXPECT_EQ(s.workers.load(), 2);
    EXPECT_EQ(ownerStack[Ply].killer1, MOVE_NONE);
}

// A split point's worker lays the lists of every ply below the split in its own buffer.
// With the most mobile position known at every ply, from the shallowest split down to
// the deepest ply that generates, no list may run past the end of its buffer: the bound
// the search asserts before every generation.
TEST(MoveBufferTest, HoldsAFullListAtEveryPlyBelowAnySplit) {
    support::initialiseTables();
    ASSERT_EQ(prepareSearchThreads(MaxThreads), MaxThreads);
    Position pos = support::positionFromFen("R6R/3Q4/1Q4Q1/4Q3/2Q4Q/Q4Q2/pp1Q4/kBNN1KB1 w - - 0 1");
    MoveListEntry probe[MaxMovesPerPly];
    ASSERT_EQ(GenerateMoves(pos, probe) - probe, 218);

    struct Buffer {
        const char* name;
        MoveListEntry* begin;
        int firstPly;
    };
    const Buffer buffers[] = {
        {"ThreadFromTheRoot", searchThread(7).moveBuffer, 0},
        {"SplitAtPlyOne", searchThread(7).splitPoints[0].moveBuffers[7], 2},
        {"NestedSplitAtPlyTwo", searchThread(7).splitPoints[1].moveBuffers[0], 3},
    };
    for (const Buffer& b : buffers) {
        SCOPED_TRACE(b.name);
        MoveListEntry* limit = b.begin + MoveBufferSize;
        MoveListEntry* start = b.begin;
        for (int ply = b.firstPly; ply < MaxPly; ++ply) {
            ASSERT_LE(start + MaxMovesPerPly, limit) << "no room for the list of ply " << ply;
            start = GenerateMoves(pos, start);
        }
    }
}

}  // namespace
}  // namespace brinz
