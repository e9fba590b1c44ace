#include <gtest/gtest.h>

#include "uci/go.h"

namespace brinz {
namespace {

struct LimitCase {
    const char* name;
    int64_t time, increment, movesToGo;
    bool ponder;
    int64_t soft, hard;
};

const LimitCase LimitCases[] = {
    {"SuddenDeath", 60000, 0, 0, false, 1500, 7500},
    {"Increment", 60000, 1000, 0, false, 3000, 15000},
    // The last move before the control keeps a tenth and 50 ms, or half of a tiny clock.
    {"LastMoveBeforeControl", 60000, 0, 1, false, 53950, 53950},
    {"LastMoveShortOfTime", 800, 0, 1, false, 670, 670},
    {"LastMoveTinyClock", 60, 0, 1, false, 30, 30},
    {"FortyMoves", 60000, 0, 40, false, 1428, 6000},
    {"FiveMoves", 60000, 0, 5, false, 8571, 20000},
    {"PonderAddsAQuarter", 60000, 0, 0, true, 1875, 7500},
    {"PonderNeverPassesTheHardLimit", 800, 0, 1, true, 670, 670},
    {"NegativeMovesToGoIsNone", 60000, 0, -3, false, 1500, 7500},
    // The increment only arrives after the move: never plan past the clock.
    {"IncrementLargerThanTheClock", 800, 2000, 0, false, 600, 600},
    {"NoClock", 0, 0, 0, false, 0, 0},
    {"NegativeClockIsZero", -5000, 0, 0, false, 0, 0},
    {"ClockBeyond32BitsIsClamped", int64_t(1) << 40, 0, 0, false, 2147483647 / 40, 2147483647 / 8},
};

class TimeLimitTest : public testing::TestWithParam<LimitCase> {};

TEST_P(TimeLimitTest, FollowsTheTable) {
    const LimitCase& c = GetParam();
    TimeLimits limits = computeTimeLimits(c.time, c.increment, c.movesToGo, c.ponder);
    EXPECT_EQ(limits.softLimit, c.soft);
    EXPECT_EQ(limits.hardLimit, c.hard);
}

INSTANTIATE_TEST_SUITE_P(Go, TimeLimitTest, testing::ValuesIn(LimitCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Go, MoveOverheadComesOffBothBudgetsNeverBelowZero) {
    struct Case {
        int64_t soft, hard, overhead, wantSoft, wantHard;
    } cases[] = {
        {1500, 7500, 10, 1490, 7490},
        {1500, 7500, 0, 1500, 7500},
        {300, 2000, 500, 0, 1500},
        {100, 100, 5000, 0, 0},
        {1500, 7500, -20, 1500, 7500},
    };
    for (const Case& c : cases) {
        TimeLimits limits = withoutOverhead(TimeLimits{c.soft, c.hard}, c.overhead);
        EXPECT_EQ(limits.softLimit, c.wantSoft) << c.overhead;
        EXPECT_EQ(limits.hardLimit, c.wantHard) << c.overhead;
    }
}

TEST(GoLine, ReadsEveryKeywordAndLeavesGarbageAtZero) {
    GoParameters go = parseGoLine("wtime 300000 btime 290000 winc 2000 binc -5 movestogo 12 depth x nodes 5000 "
                                  "movetime 999999999999 mate 3 infinite ponder\n");
    EXPECT_EQ(go.wtime, 300000);
    EXPECT_EQ(go.btime, 290000);
    EXPECT_EQ(go.winc, 2000);
    EXPECT_EQ(go.binc, 0) << "negative clock values are clamped";
    EXPECT_EQ(go.movestogo, 12);
    EXPECT_EQ(go.depth, 0) << "garbage after a keyword leaves 0";
    EXPECT_EQ(go.nodes, 5000);
    EXPECT_EQ(go.movetime, 2147483647) << "beyond a 32-bit millisecond count";
    EXPECT_EQ(go.mate, 3);
    EXPECT_TRUE(go.infinite);
    EXPECT_TRUE(go.ponder);

    GoParameters bare = parseGoLine("depth");  // keyword at the very end: nothing is read past the text
    EXPECT_EQ(bare.depth, 0);
    EXPECT_FALSE(bare.infinite);
    EXPECT_EQ(parseGoLine("movestogo -4").movestogo, 0);
}

// A period of 40 moves in 10 s, each move spending its whole target: every move keeps at
// least half an even share, and the last one most of what is left.
TEST(TimeLimits, MovesToGoSpreadsThePeriodEvenly) {
    const int64_t period = 10000, moves = 40, evenShare = period / moves;
    int64_t left = period;
    for (int64_t m = moves; m >= 1; --m) {
        TimeLimits limits = computeTimeLimits(left, 0, m, false);
        EXPECT_GE(limits.softLimit, evenShare / 2) << m << " moves to go";
        EXPECT_LE(limits.softLimit, limits.hardLimit) << m << " moves to go";
        EXPECT_LT(limits.hardLimit, left) << m << " moves to go";
        if (m == 1) {
            EXPECT_GE(limits.softLimit, left * 3 / 4);
        }
        left -= limits.softLimit;
    }
}

}  // namespace
}  // namespace brinz
