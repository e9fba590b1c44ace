#include "tablebases/enumeration.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace brinz {
namespace {

int sq(const char* name) { return (name[0] - 'a') + 8 * (name[1] - '1'); }

TEST(KingPairIndex, NumbersEveryPairOnce) {
    for (int numbering : {PAIRS_PAWN, PAIRS_PAWNLESS}) {
        SCOPED_TRACE(numbering == PAIRS_PAWN ? "pawn numbering" : "pawnless numbering");
        std::vector<int> uses(KingPairCount[numbering]);
        int numbered = 0;
        for (int k = 0; k < 64; ++k)
            for (int o = 0; o < 64; ++o) {
                int pair = KingPairIndex[numbering][k][o];
                if (pair == NO_KING_PAIR) continue;
                ASSERT_GE(pair, 0);
                ASSERT_LT(pair, KingPairCount[numbering]);
                ++uses[pair];
                ++numbered;
            }
        EXPECT_EQ(numbered, KingPairCount[numbering]);
        for (int n : uses) EXPECT_EQ(n, 1);
    }
}

TEST(KingPairIndex, PinnedPairs) {
    struct Pin {
        int numbering;
        const char *k, *o;
        int pair;
    };
    const Pin pins[] = {
        {PAIRS_PAWNLESS, "a1", "c1", 0},    {PAIRS_PAWNLESS, "d4", "h8", 461},
        {PAIRS_PAWNLESS, "a1", "d1", 1},    {PAIRS_PAWNLESS, "b1", "d1", 33},  // a1 numbers 33 squares
        {PAIRS_PAWN, "a1", "c1", 0},        {PAIRS_PAWN, "d8", "h8", 1805},
        {PAIRS_PAWNLESS, "a1", "b1", NO_KING_PAIR},  // touching
        {PAIRS_PAWNLESS, "b2", "a8", NO_KING_PAIR},  // king on the diagonal, other above it
        {PAIRS_PAWNLESS, "b2", "h8", 33 + 58 + 58 + 58 + 29},  // the last of b2's 30
        {PAIRS_PAWNLESS, "e1", "a8", NO_KING_PAIR},  // outside the triangle
        {PAIRS_PAWN, "e1", "a8", NO_KING_PAIR},      // outside files a-d
    };
    for (const Pin& p : pins) {
        SCOPED_TRACE(std::string(p.k) + "-" + p.o);
        EXPECT_EQ(KingPairIndex[p.numbering][sq(p.k)][sq(p.o)], p.pair);
    }
}

TEST(PlacementTables, PinnedCountsAndRanks) {
    buildEnumerationTables();
    struct Count {
        int kind;
        const char* king;
        int count;
    };
    const Count counts[] = {
        {KIND_PAWN, "e8", 46},        // d7 and f7 check
        {KIND_PAWN, "a8", 47},        // b7 checks; h6 is no neighbour across the edge
        {KIND_PAWN, "a5", 46},        // its own square and b4
        {KIND_PAWN, "e1", 48},        // no pawn square below it
        {KIND_OTHER_PAWN, "e5", 47},  // on a pawn square
        {KIND_OTHER_PAWN, "e1", 48},
        {KIND_KNIGHT, "a1", 61},      {KIND_KNIGHT, "e4", 55},
        {KIND_BISHOP, "a1", 62},      {KIND_BISHOP, "e4", 59},
        {KIND_ROOK, "a1", 61},        {KIND_ROOK, "e4", 59},
        {KIND_QUEEN, "a1", 60},       {KIND_QUEEN, "e4", 55},
    };
    for (const Count& c : counts) {
        SCOPED_TRACE(std::string("kind ") + std::to_string(c.kind) + " king " + c.king);
        EXPECT_EQ(placementCount(c.kind, sq(c.king)), c.count);
    }
    struct Rank {
        int kind;
        const char *king, *square;
        int rank;
    };
    const Rank ranks[] = {
        {KIND_QUEEN, "c1", "a1", 0},      {KIND_QUEEN, "c1", "b1", 255}, {KIND_QUEEN, "c1", "e1", 1},
        {KIND_QUEEN, "c1", "c1", 255},    {KIND_PAWN, "e8", "d7", 255},  {KIND_PAWN, "a8", "h6", 39},
        {KIND_PAWN, "e1", "a2", 0},       {KIND_PAWN, "e1", "h7", 47},   {KIND_PAWN, "e1", "h8", 255},
        {KIND_OTHER_PAWN, "a2", "b2", 0}, {KIND_KNIGHT, "a1", "b3", 255}, {KIND_KNIGHT, "a1", "h8", 60},
    };
    for (const Rank& r : ranks) {
        SCOPED_TRACE(std::string("kind ") + std::to_string(r.kind) + " king " + r.king + " square " + r.square);
        EXPECT_EQ(placementRank(r.kind, sq(r.king), sq(r.square)), r.rank);
    }
}

TEST(PlacementTables, GroupTotalsAndOffsets) {
    buildEnumerationTables();
    EXPECT_EQ(groupTotal(PAIRS_PAWNLESS, groupKey(KIND_QUEEN)), 25635u);
    EXPECT_EQ(groupTotal(PAIRS_PAWNLESS, groupKey(KIND_KNIGHT)), 26282u);  // the knk size
    // Pair 0 is a1 (to move) with c1: a queen has 64 squares less c1, its five neighbours and a1.
    EXPECT_EQ(groupOffsets(PAIRS_PAWNLESS, groupKey(KIND_QUEEN))[0], 0u);
    EXPECT_EQ(groupOffsets(PAIRS_PAWNLESS, groupKey(KIND_QUEEN))[1], 57u);
    EXPECT_EQ(groupOffsets(PAIRS_PAWNLESS, groupKey(KIND_KNIGHT, KIND_KNIGHT))[1], 58u * 57 / 2);
    // The key does not depend on the order the kinds are given in.
    EXPECT_EQ(groupKey(KIND_KNIGHT, KIND_QUEEN, KIND_QUEEN), groupKey(KIND_QUEEN, KIND_QUEEN, KIND_KNIGHT));
    // Groups of the other side's pawns exist only with the pawn numbering.
    EXPECT_NE(groupOffsets(PAIRS_PAWN, groupKey(KIND_OTHER_PAWN, KIND_OTHER_PAWN, KIND_OTHER_PAWN)), nullptr);
    EXPECT_EQ(groupOffsets(PAIRS_PAWNLESS, groupKey(KIND_PAWN)), nullptr);
}

TEST(PlacementTables, BuiltOnlyOnce) {
    buildEnumerationTables();
    const uint8_t* rank = Enumeration.rank[KIND_QUEEN];
    std::size_t bytes = Enumeration.bytes;
    buildEnumerationTables();
    EXPECT_EQ(Enumeration.rank[KIND_QUEEN], rank);
    EXPECT_EQ(Enumeration.bytes, bytes);
}

}  // namespace
}  // namespace brinz
