#include <gtest/gtest.h>

#include "options/options.h"
#include "search/hash.h"
#include "support/engine_setup.h"

namespace brinz {
namespace {

struct SizeCase {
    uint32_t megabytes;
    uint32_t clusters;
};

TEST(HashSize, ClusterCountIsTheLargestPowerOfTwoThatFits) {
    const SizeCase cases[] = {
        {0, 512},          {1, 1u << 14},     {4, 1u << 16},      {32, 1u << 19},   {64, 1u << 20},
        {100, 1u << 20},   {128, 1u << 21},   {1024, 1u << 24},
        // A 32-bit byte count would wrap here and give a tiny table.
        {4096, 1u << 26},  {4095, 1u << 25},
    };
    for (const SizeCase& c : cases) {
        SCOPED_TRACE(c.megabytes);
        EXPECT_EQ(hashClusterCountFor(c.megabytes), c.clusters);
    }
}

class HashTest : public testing::Test {
protected:
    void SetUp() override {
        support::initialiseTables();
        ASSERT_TRUE(resizeHash(1));
        clearHash();
        hashAge = 7;
        hashStores.store(0, Relaxed);
    }
    // A position whose key is chosen, so tests can fill one cluster.
    static Position withKey(uint64_t key) {
        Position pos;
        pos.key = key;
        return pos;
    }
    // Keys sharing cluster 5: equal low bits below the table size, different high halves.
    static Position inCluster(uint32_t n) { return withKey((uint64_t(n + 1) << 32) | 5); }

    struct Probe {
        bool found;
        int alpha, beta;
        Move move;
        bool mateThreat, nullAllowed;
    };
    static Probe probe(const Position& pos, int alpha, int beta, int depth) {
        Probe p{false, alpha, beta, 0, false, true};
        p.found = probeHash(pos, p.alpha, p.beta, depth, p.move, p.mateThreat, p.nullAllowed, 0);
        return p;
    }
};

TEST_F(HashTest, ResizingToTheSameCountKeepsEntriesAndChangingItLosesThem) {
    Position pos = withKey(0x123456789ABCDEFull);
    storeHash(pos, 0x1234, 50, 120, BOUND_EXACT, false, 0);
    ASSERT_TRUE(resizeHash(1));
    EXPECT_TRUE(probe(pos, -100, 100, 0).found);
    ASSERT_TRUE(resizeHash(2));
    EXPECT_FALSE(probe(pos, -100, 100, 0).found);
}

TEST_F(HashTest, ProbeNarrowsOnlyWithEnoughDepthButAlwaysHintsTheMove) {
    struct Case {
        const char* name;
        int bound, score, storedDepth, askedDepth;
        int alpha, beta;  // expected after the probe of window (-100, 100)
        bool nullAllowed;
    };
    const Case cases[] = {
        {"ExactInsideWindowClosesIt", BOUND_EXACT, 40, 120, 120, 40, 40, false},
        {"LowerBoundRaisesAlpha", BOUND_LOWER, 40, 120, 60, 40, 100, true},
        {"UpperBoundLowersBeta", BOUND_UPPER, 40, 120, 60, -100, 40, false},
        {"TooShallowNarrowsNothing", BOUND_EXACT, 40, 120, 180, -100, 100, false},
        {"ShallowUpperBoundStillForbidsNullMove", BOUND_UPPER, 40, 120, 180, -100, 100, false},
        {"UpperBoundAboveBetaAllowsNullMove", BOUND_UPPER, 200, 120, 60, -100, 100, true},
        {"LowerBoundBelowAlphaChangesNothing", BOUND_LOWER, -200, 120, 60, -100, 100, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        clearHash();
        Position pos = withKey(0xFEDCBA9876543210ull);
        storeHash(pos, 0x2A5F3, c.score, c.storedDepth, c.bound, true, 0);
        Probe p = probe(pos, -100, 100, c.askedDepth);
        EXPECT_TRUE(p.found);
        EXPECT_EQ(p.alpha, c.alpha);
        EXPECT_EQ(p.beta, c.beta);
        EXPECT_EQ(p.move, 0x2A5F3u & HashMoveMask);
        EXPECT_TRUE(p.mateThreat);
        EXPECT_EQ(p.nullAllowed, c.nullAllowed);
    }
}

TEST_F(HashTest, MissLeavesTheWindowAndClearsTheHints) {
    Probe p{false, -5, 5, 77, true, true};
    p.found = probeHash(withKey(99), p.alpha, p.beta, 0, p.move, p.mateThreat, p.nullAllowed, 0);
    EXPECT_FALSE(p.found);
    EXPECT_EQ(p.alpha, -5);
    EXPECT_EQ(p.beta, 5);
    EXPECT_EQ(p.move, 0u);
    EXPECT_FALSE(p.mateThreat);
    EXPECT_TRUE(p.nullAllowed);
}

TEST_F(HashTest, SecondStoreOfAKeyUpdatesInPlaceAndKeepsTheMoveWhenGivenNone) {
    Position pos = inCluster(0);
    storeHash(pos, 0x0ABC, 10, 300, BOUND_LOWER, false, 0);
    storeHash(pos, MOVE_NONE, -20, 60, BOUND_UPPER, false, 0);  // shallower, still replaces
    storeHash(pos, 0, -30, 60, BOUND_UPPER, false, 0);
    EXPECT_EQ(hashStores.load(), 1u) << "updates in place do not count as new slots";
    Probe p = probe(pos, -100, 100, 60);
    EXPECT_EQ(p.beta, -30);
    EXPECT_EQ(p.move, 0x0ABCu);
    // The three other slots are still free: three new keys fit without evicting it.
    for (uint32_t n = 1; n <= 3; ++n) storeHash(inCluster(n), 0, 0, 600, BOUND_EXACT, false, 0);
    EXPECT_TRUE(probe(pos, -100, 100, 0).found);
}

TEST_F(HashTest, ReplacesAnOlderSearchFirstThenTheShallowest) {
    // Four entries of the current search: the shallowest goes.
    const int depths[4] = {300, 120, 180, 240};
    for (uint32_t n = 0; n < 4; ++n) storeHash(inCluster(n), 0, 0, depths[n], BOUND_EXACT, false, 0);
    storeHash(inCluster(10), 0, 0, 60, BOUND_EXACT, false, 0);
    EXPECT_FALSE(probe(inCluster(1), -100, 100, 0).found);
    for (uint32_t n : {0u, 2u, 3u, 10u}) EXPECT_TRUE(probe(inCluster(n), -100, 100, 0).found) << n;

    // One entry of an earlier search is replaced whatever its depth.
    clearHash();
    hashAge = 8;
    storeHash(inCluster(0), 0, 0, 900, BOUND_EXACT, false, 0);
    hashAge = 9;
    for (uint32_t n = 1; n < 4; ++n) storeHash(inCluster(n), 0, 0, 60, BOUND_EXACT, false, 0);
    storeHash(inCluster(10), 0, 0, 60, BOUND_EXACT, false, 0);
    EXPECT_FALSE(probe(inCluster(0), -100, 100, 0).found);
    for (uint32_t n : {1u, 2u, 3u, 10u}) EXPECT_TRUE(probe(inCluster(n), -100, 100, 0).found) << n;
}

TEST_F(HashTest, MateScoresComeBackUnchangedAndHugeDepthsDoNotWrap) {
    Position pos = withKey(0xABCDEF);
    storeHash(pos, 0, 29995, 40000, BOUND_LOWER, false, 0);
    Probe p = probe(pos, -100, 100, 30000);
    EXPECT_EQ(p.alpha, 29995) << "an endless-analysis depth must stay deep, not wrap negative";
}

TEST_F(HashTest, MateScoresKeepTheirDistanceFromTheNodeWhateverThePlyOfTheProbe) {
    struct Case {
        int score, storePly, probePly, expected;
    };
    const Case cases[] = {
        {MATE - 10, 7, 2, MATE - 5},     // mate three plies below the node, seen from ply 2
        {MATE - 10, 7, 12, MATE - 15},
        {-(MATE - 9), 5, 1, -(MATE - 5)},  // mated four plies below the node
        {MATE_BOUND - 1, 7, 2, MATE_BOUND - 1},  // an ordinary score moves with no ply
        {-INFINITE_SCORE, 7, 2, -INFINITE_SCORE},
    };
    for (const Case& c : cases) {
        Position pos = withKey(0xBEEF00 + uint64_t(c.storePly));
        storeHash(pos, 0, c.score, 600, BOUND_EXACT, false, c.storePly);
        Probe p{false, -INFINITE_SCORE, INFINITE_SCORE, 0, false, true};
        p.found = probeHash(pos, p.alpha, p.beta, 60, p.move, p.mateThreat, p.nullAllowed, c.probePly);
        ASSERT_TRUE(p.found);
        EXPECT_EQ(p.alpha, c.expected) << c.score;
        EXPECT_EQ(p.beta, c.expected) << c.score;
    }
}

TEST_F(HashTest, FillEstimateCountsThisSearchsStores) {
    EXPECT_EQ(hashFullPermill(), 0);
    hashStores.store(4 * clusterCount, Relaxed);
    EXPECT_EQ(hashFullPermill(), 632);
}

}  // namespace
}  // namespace brinz

namespace brinz {
namespace {

TEST(HashOptions, ClearHashButtonEmptiesTheTableAtTheNextSearchStartAndReleases) {
    support::initialiseTables();
    handleSetOption("Hash value 4");
    applyOptions(WHITE);
    EXPECT_EQ(clusterCount, 1u << 16);
    Position pos;
    pos.key = 0x5555;
    storeHash(pos, 0, 10, 60, BOUND_EXACT, false, 0);
    handleSetOption("Clear Hash\n");
    applyOptions(WHITE);
    int alpha = -100, beta = 100;
    Move move;
    bool mateThreat, nullAllowed = true;
    EXPECT_FALSE(probeHash(pos, alpha, beta, 0, move, mateThreat, nullAllowed, 0));
    EXPECT_STREQ(optionText("Clear Hash"), "false");
    handleSetOption("Hash value 64");
}

}  // namespace
}  // namespace brinz
