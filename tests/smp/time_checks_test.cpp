#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/clock.h"
#include "smp_fixture.h"
#include "uci/go.h"

namespace brinz {
namespace {

using testing_smp::UnthreadedTest;

std::atomic<int> polls{0}, checks{0};
void countPoll() { ++polls; }
void countCheck() { ++checks; }

// A helper that leaves `s` only after thread 0 has looked at the limits (20 s at most).
std::thread finishOnceLimitsChecked(SplitPoint& s) {
    return std::thread([&s] {
        for (int ms = 0; ms < 20000 && checks.load() == 0; ++ms) sleepMilliseconds(1);
        s.workers.store(0, std::memory_order_release);
    });
}

class TimeChecksTest : public UnthreadedTest {
protected:
    void SetUp() override {
        UnthreadedTest::SetUp();
        polls = 0;
        checks = 0;
    }
};

// Thread 0 alone reads the clock and the input. Waiting at its split point while a
// helper searches a long subtree, it must still look every few milliseconds, or a
// "stop" or the hard limit would wait for that helper.
TEST_F(TimeChecksTest, AnOwnerWaitingWithoutWorkStillPollsAndChecks) {
    testing_smp::prepareSearch();
    searchHooks.pollInput = countPoll;
    searchHooks.checkLimits = countCheck;
    SearchState.store(Searching);
    activeThreads.store(2);
    SplitPoint& s = searchThread(0).splitPoints[0];
    s.owner = 0;
    s.parent = nullptr;
    s.cutoff.store(0);
    for (auto& flag : s.slaves) flag.store(0);
    s.workers.store(1);  // a helper that finishes only once thread 0 has looked at the limits

    std::thread helper = finishOnceLimitsChecked(s);
    waitForWork(searchThread(0), &s);
    helper.join();
    EXPECT_GT(checks.load(), 0);
    EXPECT_GT(polls.load(), 0);
}

TEST_F(TimeChecksTest, AStoppingSearchStillChecksLimitsButReadsNoInput) {
    testing_smp::prepareSearch();
    searchHooks.pollInput = countPoll;
    searchHooks.checkLimits = countCheck;
    SearchState.store(Stopping);
    SplitPoint& s = searchThread(0).splitPoints[0];
    s.parent = nullptr;
    s.workers.store(1);
    std::thread helper = finishOnceLimitsChecked(s);
    waitForWork(searchThread(0), &s);
    helper.join();
    EXPECT_GT(checks.load(), 0);
    EXPECT_EQ(polls.load(), 0);
}

// The interval between two looks at the clock: never above 1000 nodes, and a node limit
// is met where it falls (a whole number of intervals), or within a few nodes past it.
TEST(PollIntervalTest, AtMostAThousandNodesAndOnTheNodeLimit) {
    struct Case {
        int64_t nodes;
        uint32_t interval;
    };
    const Case cases[] = {{0, 1000},    {1, 1},       {30, 30},       {999, 999},     {1000, 1000},
                          {1001, 501},  {1500, 750},  {5000, 1000},   {20000, 1000},  {123457, 996},
                          {2147483647, 1000}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.nodes);
        uint32_t interval = pollIntervalFor(c.nodes);
        EXPECT_EQ(interval, c.interval);
        ASSERT_GT(interval, 0u);
        if (c.nodes > 0) {
            int64_t checks = (c.nodes + interval - 1) / interval;
            EXPECT_LT(checks * interval - c.nodes, checks) << "stops within a node per check of the limit";
        }
    }
}

// Thread 0 checks the limits once per interval of its own nodes.
TEST_F(TimeChecksTest, ThreadZeroChecksEveryIntervalOfItsNodes) {
    testing_smp::useThreads(1);
    ASSERT_TRUE(SetPositionFromFen(RootPosition, "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1"));
    clearHash();
    SearchLimits limits;
    limits.depth = 5;
    SearchHooks hooks{};
    hooks.checkLimits = countCheck;
    runSearch(limits, nullptr, hooks);
    SearchState.store(Idle);
    EXPECT_EQ(searchClock.pollInterval, pollIntervalFor(0));
    uint64_t nodes = nodeCount.load();
    ASSERT_GT(nodes, 10000u);
    EXPECT_EQ(uint64_t(checks.load()), nodes / searchClock.pollInterval);
}

}  // namespace
}  // namespace brinz
