#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "eval/eval_cache.h"
#include "eval/evaluate.h"
#include "options/options.h"
#include "support/engine_setup.h"

namespace brinz {
namespace {

constexpr const char* Middlegame = "r1bq1rk1/pp2bppp/2n1pn2/2pp4/3P4/2PBPN2/PP1N1PPP/R1BQ1RK1 w - - 0 8";

class EvalCacheTest : public testing::Test {
protected:
    void SetUp() override {
        support::initialiseTables();
        applyOptions(WHITE);
    }
    void TearDown() override {
        handleSetOption("STATIC_EVAL_CACHE value true");
        handleSetOption("STATIC_EVAL_CACHE_SIZE value 4");
        applyOptions(WHITE);
    }
};

TEST_F(EvalCacheTest, SizeOptionGivesPowerOfTwoEntries) {
    struct Case { const char* value; uint32_t entries; };
    const Case cases[] = {{"4", 262144}, {"1", 65536}, {"0", 65536}, {"3", 131072}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        handleSetOption((std::string("STATIC_EVAL_CACHE_SIZE value ") + c.value).c_str());
        applyOptions(WHITE);
        EXPECT_EQ(evalCache.count, c.entries);
        EXPECT_NE(evalCache.entries, nullptr);
    }
    // The rule itself, below the option's range and far above it.
    EXPECT_EQ(EvalCacheEntries(0), 65536u);
    EXPECT_EQ(EvalCacheEntries(-5), 65536u);
    EXPECT_EQ(EvalCacheEntries(5), 262144u);
    const uint32_t huge = EvalCacheEntries(1 << 30);
    EXPECT_EQ(huge & (huge - 1), 0u);
    EXPECT_GE(huge, 8388608u);
}

TEST_F(EvalCacheTest, HitReturnsTheStoredScoreAndExtras) {
    Position pos = support::positionFromFen(Middlegame);
    EvalExtras full{}, cached{};
    uint8_t flag = 1;
    int score = Evaluate(pos, full, support::testPawnTable(), flag);
    int hit = 0;
    ASSERT_TRUE(ProbeEvalCache(pos, hit, cached));
    EXPECT_EQ(hit, score);
    EXPECT_EQ(cached.kingSafety[WHITE], full.kingSafety[WHITE]);
    EXPECT_EQ(cached.kingSafety[BLACK], full.kingSafety[BLACK]);
    EXPECT_EQ(cached.passedPawns[WHITE], full.passedPawns[WHITE]);
    EXPECT_EQ(cached.passedPawns[BLACK], full.passedPawns[BLACK]);
    // Negative scores and extras beyond 16 bits come back sign-extended and bounded.
    StoreEvalCache(pos, -1234, EvalExtras{{-40000, -7}, {5, 70000}});
    ASSERT_TRUE(ProbeEvalCache(pos, hit, cached));
    EXPECT_EQ(hit, -1234);
    EXPECT_EQ(cached.kingSafety[WHITE], -32768);
    EXPECT_EQ(cached.kingSafety[BLACK], -7);
    EXPECT_EQ(cached.passedPawns[BLACK], 32767);
    // A score that does not fit is not kept: the entry still holds the earlier one.
    StoreEvalCache(pos, 40000, full);
    ASSERT_TRUE(ProbeEvalCache(pos, hit, cached));
    EXPECT_EQ(hit, -1234);
    EXPECT_EQ(Evaluate(pos, cached, support::testPawnTable(), flag), -1234);
    EXPECT_EQ(flag, 0);
}

TEST_F(EvalCacheTest, ComparesTheLow48KeyBits) {
    Position pos = support::positionFromFen(Middlegame);
    StoreEvalCache(pos, 444, EvalExtras{});
    struct Case { const char* name; uint64_t flip; bool hit; };
    const Case cases[] = {
        {"bits 48..63 are not kept", uint64_t(0xFFFF) << 48, true},
        {"bit 47", uint64_t(1) << 47, false},
        {"bit 32", uint64_t(1) << 32, false},
        {"bit 31, same entry in a small table", uint64_t(1) << 31, false},
        {"bit 0, another entry", 1, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Position other = pos;
        other.key ^= c.flip;
        int score = 0;
        EvalExtras extras{};
        EXPECT_EQ(ProbeEvalCache(other, score, extras), c.hit);
        if (c.hit) {
            EXPECT_EQ(score, 444);
        }
    }
}

TEST_F(EvalCacheTest, OffStoresNothing) {
    handleSetOption("STATIC_EVAL_CACHE value false");
    applyOptions(WHITE);
    EXPECT_EQ(evalCache.count, 0u);
    EXPECT_EQ(evalCache.entries, nullptr);
    Position pos = support::positionFromFen(Middlegame);
    EvalExtras extras{};
    uint8_t flag = 0;
    const int score = Evaluate(pos, extras, support::testPawnTable(), flag);
    EXPECT_EQ(Evaluate(pos, extras, support::testPawnTable(), flag), score);
    int cached = 0;
    EXPECT_FALSE(ProbeEvalCache(pos, cached, extras));
    StoreEvalCache(pos, 8, extras);
    EXPECT_FALSE(ProbeEvalCache(pos, cached, extras));
}

TEST_F(EvalCacheTest, KeptAcrossSearchesUntilTheWeightsChange) {
    Position pos = support::positionFromFen(Middlegame);
    EvalExtras extras{};
    uint8_t flag = 0;
    const int asWhite = Evaluate(pos, extras, support::testPawnTable(), flag);
    int cached = 0;
    applyOptions(WHITE);
    EXPECT_TRUE(ProbeEvalCache(pos, cached, extras)) << "same size and weights: kept";
    // Playing Black swaps the king-safety weights: scores stored for White's weights go.
    applyOptions(BLACK);
    EXPECT_FALSE(ProbeEvalCache(pos, cached, extras));
    EvalBreakdown terms;
    PawnTable* pawns = support::testPawnTable();
    EXPECT_EQ(Evaluate(pos, extras, pawns, flag), EvaluateTerms(pos, extras, pawns, flag, terms));
    applyOptions(WHITE);
    EXPECT_EQ(Evaluate(pos, extras, support::testPawnTable(), flag), asWhite);
}

TEST_F(EvalCacheTest, RacingStoresAndProbesStaySound) {
    // Two positions share an entry; threads store and probe them at once. A hit must carry a
    // score one of them stored (their key parts differ, so a torn entry is never accepted
    // for the wrong position unless it holds that position's key parts).
    Position a = support::positionFromFen(Middlegame), b = a;
    b.key ^= uint64_t(1) << 40;
    std::atomic<int> wrong{0};
    auto worker = [&](const Position& own, int ownScore) {
        for (int i = 0; i < 20000; ++i) {
            StoreEvalCache(own, ownScore, EvalExtras{});
            int score = 0;
            EvalExtras extras{};
            if (ProbeEvalCache(own, score, extras) && score != ownScore) ++wrong;
        }
    };
    std::thread first(worker, std::cref(a), 100), second(worker, std::cref(b), 200);
    first.join();
    second.join();
    EXPECT_EQ(wrong.load(), 0);
}

}  // namespace
}  // namespace brinz
