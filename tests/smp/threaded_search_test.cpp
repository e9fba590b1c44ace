#include <gtest/gtest.h>

#include "board/make_move.h"
#include "board/move_text.h"
#include "platform/clock.h"
#include "smp_fixture.h"

namespace brinz {
namespace {

using testing_smp::ThreadedTest;

struct SearchCase {
    const char* name;
    const char* fen;
    int depth;
    int minScore, maxScore;  // the best move's score must lie here
    const char* move;        // the only good answer, or null
};

const SearchCase Cases[] = {
    {"Kiwipete", "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1", 5, -1024, 1024, nullptr},
    {"QuietMiddlegame", "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10", 5, -1024, 1024,
     nullptr},
    {"MateInTwo", "2rr3k/pp3pp1/1nnqbN1p/3pN3/2pP4/2P3Q1/PPB4P/R4RK1 w - - 0 1", 4, MATE_BOUND, MATE, "g3g6"},
    {"QueenUp", "3qk3/8/8/8/8/8/2QQ4/4K3 w - - 0 1", 5, 1500, MATE, nullptr},
};

int scoreOf(Move m) {
    for (int i = 0; i < rootMoveCount; ++i)
        if (RootMoves[i].move == m) return RootMoves[i].score;
    return -INFINITE_SCORE;
}

void checkSearch(const SearchCase& c, int threads) {
    SCOPED_TRACE(std::string(c.name) + " with " + std::to_string(threads) + " threads");
    testing_smp::searchToDepth(c.fen, c.depth, threads);
    char text[16];
    ASSERT_TRUE(testing_smp::isLegalRootMove(bestMove)) << MoveToText(bestMove, text, RootPosition);
    int score = scoreOf(bestMove);
    EXPECT_GE(score, c.minScore);
    EXPECT_LE(score, c.maxScore);
    if (c.move) {
        EXPECT_STREQ(MoveToText(bestMove, text, RootPosition), c.move);
    }
    for (int i = 0; i < MaxThreads; ++i)
        EXPECT_EQ(searchThread(i).activeSplits.load(), 0) << "split left open by " << i;
}

// Every split path (opening, helping as a waiting owner, nesting, cutoffs and aborts)
// runs here with 2, 4 and 8 threads; under ThreadSanitizer this is the race test too.
// Splits start from four plies left, so that these small depths nest them.
TEST_F(ThreadedTest, SearchesGiveLegalMovesAndSaneScores) {
    handleSetOption("MINIMUM_TREE_SPLIT_DEPTH value 4");
    uint64_t cutoffs = splitCounters.cutoffs.load();
    for (int threads : {2, 4, 8}) {
        uint64_t opened = splitCounters.opened.load();
        for (const SearchCase& c : Cases) checkSearch(c, threads);
        EXPECT_GT(splitCounters.opened.load(), opened) << threads << " threads never split";
    }
    handleSetOption("MINIMUM_TREE_SPLIT_DEPTH value 5");
    EXPECT_GT(splitCounters.cutoffs.load(), cutoffs);
}

// Thread 0's search of one node at ply 1, with a hash move that does not cut first: the
// rest of the list is split, and the mate found there is a cutoff at the split point.
class SplitNodeTest : public ThreadedTest {
protected:
    static constexpr const char* Fen = "6k1/5ppp/8/8/8/8/5PPP/R5K1 w - - 0 1";
    static constexpr int Ply = 1;
    static constexpr int Depth = 6 * ONE_PLY;

    Position& setUpNode(int threads, const char* fen = Fen) {
        testing_smp::useThreads(threads);
        testing_smp::prepareSearch();
        SearchState.store(Searching);
        wakeThreads();
        Position& pos = testing_smp::placeThread(0, fen);
        // A quiet first move, so the node has searched one move when it offers the rest.
        storeHash(pos, TextToMove(pos, "g1f1"), -INFINITE_SCORE + 1, 0, BOUND_UPPER, false, 0);
        return pos;
    }
    int searchNode(Position& pos, int alpha, int beta) {
        return search(pos, searchThread(0).stack, Ply, alpha, beta, Depth, true, searchThread(0));
    }
};

TEST_F(SplitNodeTest, ACutoffAtTheSplitStoresALowerBound) {
    Position& pos = setUpNode(2);
    uint64_t opened = splitCounters.opened.load(), cutoffs = splitCounters.cutoffs.load();
    const int beta = 2000;
    int v = searchNode(pos, beta - 1, beta);
    Move mate = TextToMove(pos, "a1a8");
    EXPECT_EQ(v, MATE - 2);
    EXPECT_GT(splitCounters.opened.load(), opened);
    EXPECT_GT(splitCounters.cutoffs.load(), cutoffs);

    int alpha = -INFINITE_SCORE, high = INFINITE_SCORE;
    Move move = 0;
    bool mateThreat = false, nullAllowed = true;
    ASSERT_TRUE(probeHash(pos, alpha, high, Depth, move, mateThreat, nullAllowed, Ply));
    EXPECT_GE(alpha, beta) << "a lower bound at least beta";
    EXPECT_EQ(high, INFINITE_SCORE) << "and no upper bound";
    EXPECT_EQ(move, mate & HashMoveMask);
    EXPECT_EQ(searchThread(0).stack[Ply].killer1, mate);
    EXPECT_EQ(searchThread(0).stack[Ply].mateKiller, mate);
}

TEST_F(SplitNodeTest, TheEighthNestedSplitIsMadeAndTheNinthRefused) {
    // Seven levels held open by hand (nobody works there); they are not above this node.
    struct Case {
        int open;
        bool splits;
    };
    for (Case c : {Case{MaxSplitsPerThread - 1, true}, Case{MaxSplitsPerThread, false}}) {
        SCOPED_TRACE(c.open);
        for (int level = 0; level < MaxSplitsPerThread; ++level) {
            for (auto& flag : searchThread(0).splitPoints[level].slaves) flag.store(0);
            searchThread(0).splitPoints[level].ply = -1;
        }
        Position& pos = setUpNode(2);
        searchThread(0).activeSplits.store(c.open);
        uint64_t refused = splitCounters.nestingRefused.load();
        EXPECT_EQ(searchNode(pos, 1999, 2000), MATE - 2) << "split or not, the node finds the mate";
        EXPECT_EQ(searchThread(0).activeSplits.load(), c.open);
        EXPECT_EQ(searchThread(0).splitPoints[MaxSplitsPerThread - 1].ply == Ply, c.splits);
        if (!c.splits) {
            EXPECT_GT(splitCounters.nestingRefused.load(), refused);
        }
        searchThread(0).activeSplits.store(0);
    }
}

std::atomic<int> holdPolls{0};
std::atomic<bool> helperSlept{false};
uint32_t sleepsBefore = 0;
// The input poll of a search that holds its answer: once helper 1 has gone to sleep (or
// after a long while), "stop".
void stopOnceHelperSleeps() {
    if (searchThread(1).sleeps.load() > sleepsBefore) helperSlept = true;
    if (helperSlept || ++holdPolls > 2000) SearchState.store(Stopping);
}

// "go infinite" that has finished its depth holds the answer until "stop": nothing is
// left to share, so the helpers must sleep rather than spin meanwhile.
TEST_F(ThreadedTest, HelpersSleepWhileTheAnswerIsHeld) {
    ASSERT_TRUE(SetPositionFromFen(RootPosition, Cases[0].fen));
    testing_smp::useThreads(2);
    clearHash();
    SearchLimits limits;
    limits.infinite = true;
    limits.depth = 3;
    SearchHooks hooks{};
    hooks.pollInput = stopOnceHelperSleeps;
    holdPolls = 0;
    helperSlept = false;
    sleepsBefore = searchThread(1).sleeps.load();
    runSearch(limits, nullptr, hooks);
    SearchState.store(Idle);
    EXPECT_TRUE(helperSlept.load());
}

// Its own suite starts the helpers afresh, so none has been woken yet: with "Max CPUs" 1
// they must not even leave their event wait.
class SingleCpuTest : public ThreadedTest {};

// Waits (boundedly) for helper i to have left its event wait more than `count` times.
bool wokenSince(int i, uint32_t count) {
    for (int ms = 0; ms < 10000 && searchThread(i).wakeUps.load() <= count; ++ms) sleepMilliseconds(1);
    return searchThread(i).wakeUps.load() > count;
}

TEST_F(SingleCpuTest, MaxCpusOneLeavesEveryHelperAsleep) {
    uint32_t before[MaxThreads];
    for (int i = 1; i < MaxThreads; ++i) before[i] = searchThread(i).wakeUps.load();
    uint64_t opened = splitCounters.opened.load();
    handleSetOption("MINIMUM_TREE_SPLIT_DEPTH value 4");
    testing_smp::searchToDepth(Cases[0].fen, 5, 1);
    EXPECT_EQ(splitCounters.opened.load(), opened);
    for (int i = 1; i < MaxThreads; ++i) EXPECT_EQ(searchThread(i).wakeUps.load(), before[i]) << "helper " << i;

    // With three, every helper is woken once; those at or above three go back to sleep.
    testing_smp::searchToDepth(Cases[0].fen, 5, 3);
    handleSetOption("MINIMUM_TREE_SPLIT_DEPTH value 5");
    EXPECT_GT(splitCounters.opened.load(), opened);
    for (int i = 1; i < MaxThreads; ++i) EXPECT_TRUE(wokenSince(i, before[i])) << "helper " << i;
}

}  // namespace
}  // namespace brinz
