#include <gtest/gtest.h>

#include "board/make_move.h"
#include "board/move_text.h"
#include "options/options.h"
#include "search/hash.h"
#include "search/root.h"
#include "search/search.h"
#include "support/engine_setup.h"
#include "support/search_driver.h"

namespace brinz {
namespace {

// Drives the search directly, without the protocol: no input, no reports.
class SearchTest : public testing::Test {
protected:
    void SetUp() override {
        support::prepareSearchState();
        SearchState.store(Searching);
    }
    void TearDown() override { SearchState.store(Idle); }

    // Thread 0's position and a clean stack, for calling search at any ply.
    Position& setUp(const char* fen) {
        SearchThread& thread = searchThread(0);
        thread.position = support::positionFromFen(fen);
        for (PlyRecord& r : thread.stack) {
            r = PlyRecord{};
            r.currentMove = r.killer1 = r.killer2 = r.mateKiller = MOVE_NONE;
        }
        for (int p = 0; p < StackSize; ++p) thread.stack[p].moveListStart = thread.moveBuffer;
        return thread.position;
    }
    static Move play(Position& pos, const char* text) {
        Move m = TextToMove(pos, text);
        EXPECT_NE(m, MOVE_NULL) << text;
        UndoRecord undo;
        MakeMove(pos, undo, m);
        return m;
    }
};

TEST_F(SearchTest, DrawRules) {
    struct Case {
        const char* name;
        const char* fen;
        bool draw;
    };
    const Case cases[] = {
        {"FiftyMovesReached", "4k3/8/8/8/8/8/4P3/4K2R w - - 100 80", true},
        {"FiftyMovesButInCheck", "4k3/8/8/8/8/8/4r3/R3K3 w - - 100 80", false},
        {"PastFiftyEvenInCheck", "4k3/8/8/8/8/8/4r3/R3K3 w - - 101 80", true},
        {"BareKings", "4k3/8/8/8/8/8/8/4K3 w - - 0 1", true},
        {"LoneBishop", "4k3/8/8/8/8/8/8/2B1K3 w - - 0 1", true},
        {"LoneKnight", "4k3/8/8/8/8/8/8/1N2K3 b - - 0 1", true},
        {"TwoKnightsPlay", "4k3/8/8/8/8/8/8/1NN1K3 w - - 0 1", false},
        {"BishopEachSide", "4k3/8/8/5b2/8/8/8/2B1K3 w - - 0 1", false},
        {"LonePawn", "4k3/8/8/8/8/8/4P3/4K3 w - - 0 1", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(isDraw(support::positionFromFen(c.fen)), c.draw);
    }
}

TEST_F(SearchTest, RepetitionReachesBackOverTheWholeReversibleStretch) {
    // Four plies of knight shuffling return to the first position of the history.
    const char* shuffle[] = {"g1f3", "g8f6", "f3g1", "f6g8"};
    Position pos = support::positionFromFen("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1");
    for (const char* m : shuffle) play(pos, m);
    EXPECT_EQ(pos.fifty, 4);
    EXPECT_TRUE(isDraw(pos)) << "the start position repeats, four plies back";
    // After a pawn move the history goes on, but only back to the position the pawn move made.
    Position afterPawns = support::positionFromFen("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1");
    play(afterPawns, "e2e4");
    play(afterPawns, "e7e5");
    for (const char* m : shuffle) play(afterPawns, m);
    EXPECT_TRUE(isDraw(afterPawns)) << "the position right after e7e5 repeats";
    // Three plies of shuffling reach no earlier position with the same side to move.
    Position notYet = support::positionFromFen("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1");
    for (int i = 0; i < 3; ++i) play(notYet, shuffle[i]);
    EXPECT_FALSE(isDraw(notYet));
    // A FEN's half-move clock reaches no further back than the moves actually known.
    Position fromFen = support::positionFromFen("4k3/8/8/8/8/8/8/R3K3 w - - 30 40");
    for (const char* m : {"a1a2", "e8d8", "a2a1", "d8e8"}) play(fromFen, m);
    EXPECT_TRUE(isDraw(fromFen));
    play(fromFen, "a1b1");
    EXPECT_FALSE(isDraw(fromFen));
}

TEST_F(SearchTest, MateDistanceCutsBeforeAnyWork) {
    Position& pos = setUp("r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 2 3");
    const int ply = 5;
    int alpha = MATE - 1 - ply + 1;
    int v = search(pos, searchThread(0).stack, ply, alpha, alpha + 1, 600, true, searchThread(0));
    EXPECT_EQ(v, alpha);
    EXPECT_EQ(nodeCount.load(), 1u);
    EXPECT_EQ(searchThread(0).stack[ply].evalDone, 0) << "not even evaluated";
}

// Every legal move pruned by futility: the node knows only that nothing reaches alpha.
TEST_F(SearchTest, NodeWithEveryMovePrunedStoresAlphaNotMinusInfinity) {
    Position& pos = setUp("r2qk3/8/8/8/8/8/P7/7K w - - 0 1");
    const int alpha = 2000, depth = 90;
    int v = search(pos, searchThread(0).stack, 3, alpha, alpha + 1, depth, false, searchThread(0));
    EXPECT_EQ(v, alpha);
    int a = -INFINITE_SCORE, b = INFINITE_SCORE;
    Move move;
    bool mateThreat, nullAllowed = true;
    ASSERT_TRUE(probeHash(pos, a, b, 0, move, mateThreat, nullAllowed, 3));
    EXPECT_EQ(b, alpha) << "stored upper bound";
    EXPECT_EQ(a, -INFINITE_SCORE);
}

TEST_F(SearchTest, MatingMoveScoresByPlyAndBecomesTheMateKiller) {
    Position& pos = setUp("6k1/5ppp/8/8/8/8/5PPP/R5K1 w - - 0 1");
    const int ply = 3;
    int v = search(pos, searchThread(0).stack, ply, -INFINITE_SCORE, INFINITE_SCORE, 120, true, searchThread(0));
    EXPECT_EQ(v, MATE - 1 - ply);
    char text[MoveTextSize];
    EXPECT_STREQ(MoveToText(searchThread(0).stack[ply].pv[ply], text, pos), "a1a8");
}

// Internal deepening: a PV node with no move from the table first searches two plies less
// (with the same window, null move not allowed). When that finds a mate beyond the
// window, the node takes it as its answer and searches nothing more: one node of its own
// on top of exactly the shallower search's tree.
TEST_F(SearchTest, InternalDeepeningThatFindsAMateDecidesTheNode) {
    const char* fen = "6k1/5ppp/8/8/8/8/5PPP/R5K1 w - - 0 1";  // Ra8 mates
    const int ply = 3, alpha = MATE_BOUND - 200, beta = MATE_BOUND - 100, depth = 5 * ONE_PLY;
    SearchThread& thread = searchThread(0);

    Position& shallowPos = setUp(fen);
    const int shallow = search(shallowPos, thread.stack, ply, alpha, beta, depth - 2 * ONE_PLY, false, thread);
    const uint64_t shallowNodes = nodeCount.load();
    ASSERT_GE(shallow, MATE_BOUND);

    support::prepareSearchState();
    SearchState.store(Searching);
    Position& pos = setUp(fen);
    const int v = search(pos, thread.stack, ply, alpha, beta, depth, false, thread);
    EXPECT_EQ(v, shallow);
    EXPECT_EQ(nodeCount.load(), shallowNodes + 1);
}

TEST_F(SearchTest, NodeLimitStopsAtTheFirstCheckPastIt) {
    SetPositionFromFen(RootPosition, "r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 2 3");
    searchClock.nodesLimit = 5000;
    searchClock.pollInterval = 5000;
    searchHooks.checkLimits = checkLimits;
    rootSearch(nullptr);
    EXPECT_EQ(SearchState.load(), Stopping);
    // The node that saw the limit unwinds its ancestors, each counted once more at most.
    EXPECT_GE(nodeCount.load(), 5000u);
    EXPECT_LT(nodeCount.load(), 5000u + 2 * MaxPly);
    EXPECT_NE(bestMove, MOVE_NULL);
}

TEST_F(SearchTest, EndlessAnalysisOfANodelessRootStopsDeepening) {
    for (const char* fen : {"8/8/8/4k3/8/8/8/4K3 w - - 0 1", "7k/5Q2/6K1/8/8/8/8/8 b - - 0 1"}) {
        SCOPED_TRACE(fen);
        SetUp();
        SetPositionFromFen(RootPosition, fen);
        rootSearch(nullptr);  // no input hook: returns instead of waiting for "stop"
        EXPECT_LE(iterationNumber, MaxIterations);
    }
}

}  // namespace
}  // namespace brinz
