// Walks legal 3- and 4-man positions through the index functions: every legal position has a
// stored index, distinct positions in the index frame never share one, the symmetries the
// frame folds give the same index, and the colour-reversed probe lands where the
// colour-swapped position does.

#include <gtest/gtest.h>

#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "support/tablebase_positions.h"
#include "tablebases/enumeration.h"
#include "tablebases/index.h"

namespace brinz {
namespace {

using support::TableMen;
using support::TbPosition;

// The whole walk of the biggest tables is too slow under the sanitizers; the bench walks all.
struct WalkCase {
    const char* table;
    int side;
    int stride;  // 1 walks every king pair; n every n-th, plus those numbered last
};

void PrintTo(const WalkCase& c, std::ostream* os) {
    *os << c.table << (c.side ? " black" : " white") << " to move, king pair stride " << c.stride;
}

int tableNumber(const char* name) {
    for (int t = 1; t < TableCount; ++t)
        if (std::strcmp(tableDescriptors[t].name, name) == 0) return t;
    return 0;
}

bool pawnsOnBothSides(const TableMen& men) { return men.count[0][0] > 0 && men.count[1][0] > 0; }

// The last king pairs numbered have the king to move on d4 (pawnless), d8, or d1 when the
// group is ranked upside down; keeping them keeps the largest indices in a sampled walk.
bool sampledPair(int k, int o, int stride) { return (k * 64 + o) % stride == 0 || k == 27 || k == 59 || k == 3; }

bool onMainDiagonal(int s) { return support::squareFile(s) == support::squareRank(s); }

class IndexWalkTest : public testing::TestWithParam<WalkCase> {};

TEST_P(IndexWalkTest, LegalPositionsIndexFaithfully) {
    buildEnumerationTables();
    const WalkCase& c = GetParam();
    int table = tableNumber(c.table);
    ASSERT_NE(table, 0);
    const TableDescriptor& d = tableDescriptors[table];
    TableMen men = support::tableMen(c.table);
    int side = c.side;
    uint64_t range = indexRange(table, side);
    std::vector<uint8_t> seen(range / 8 + 1);
    uint64_t visited = 0, failures = 0, largest = 0;
    std::string firstFailure;
    auto fail = [&](const char* what, uint64_t got, uint64_t expected) {
        if (failures++ == 0)
            firstFailure = std::string(what) + " at position " + std::to_string(visited) + ": " +
                           std::to_string(got) + " instead of " + std::to_string(expected);
    };

    support::forEachLegalPosition(
        men, side,
        [&](int k, int o) { return support::framedKings(men.pawns, k, o) && sampledPair(k, o, c.stride); },
        [&](const TbPosition& p) {
            ++visited;
            uint32_t index = support::tbIndex(table, side, p);
            if (index == TB_INDEX_NONE) return fail("legal position not stored", index, d.size[side]);
            if (seen[index / 8] >> (index % 8) & 1) return fail("index shared", index, 0);
            seen[index / 8] |= uint8_t(1 << (index % 8));
            if (index > largest) largest = index;

            // Colour reversal: the probe swaps the lists of the reversed twin and passes
            // invert; that must meet the colour-swapped, rank-mirrored position.
            uint32_t reversed = support::tbIndex(table, side, support::transformPosition(p, men, 2), 1);
            if (reversed != index) fail("colour-reversed probe", reversed, index);
            if ((d.flags & TB_SYMMETRIC) && side == 1) {
                TbPosition swapped = support::transformPosition(p, men, 2);
                std::swap(swapped.list[0], swapped.list[1]);
                uint32_t white = support::tbIndex(table, 0, swapped);
                if (white != index) fail("symmetric table, white file", white, index);
            }

            // Symmetry, one image per position in turn. Pawn tables fold the file mirror only.
            // Pawnless tables fold all eight, except that with both kings on the a1-h8
            // diagonal the frame applies no reflection: the four symmetries that keep ranks
            // as ranks (identity, file and rank mirror, half turn) give this index, and the
            // other four (diagonal reflections, quarter turns) give the index of the
            // position reflected in that diagonal.
            int symmetry = men.pawns ? 1 : int(visited % 8);
            uint32_t image = support::tbIndex(table, side, support::transformPosition(p, men, symmetry));
            uint32_t expected = index;
            int k = p.list[side].square[SLOT_KING], o = p.list[1 - side].square[SLOT_KING];
            if (!men.pawns && symmetry >= 4 && onMainDiagonal(k) && onMainDiagonal(o))
                expected = support::tbIndex(table, side, support::transformPosition(p, men, 4));
            if (image != expected) fail("symmetric image", image, expected);
        });

    EXPECT_EQ(failures, 0u) << firstFailure;
    ASSERT_GT(visited, 0u);
    // Trailing illegal positions are not stored, so the file ends right after the largest
    // legal index. With pawns on both sides the en-passant positions follow the rule's
    // range, whose own trailing illegal positions therefore stay.
    if (pawnsOnBothSides(men))
        EXPECT_LT(largest, range);
    else
        EXPECT_EQ(largest + 1, d.size[side]);
}

const WalkCase Cases[] = {
    {"kpk", 0, 1},  {"kpk", 1, 1},  {"knk", 0, 1},  {"knk", 1, 1},  {"kbk", 0, 1},  {"kbk", 1, 1},
    {"krk", 0, 1},  {"krk", 1, 1},  {"kqk", 0, 1},  {"kqk", 1, 1},  {"kppk", 0, 1}, {"kppk", 1, 1},
    {"kbnk", 0, 1}, {"kbnk", 1, 1}, {"knnk", 0, 1}, {"knnk", 1, 1}, {"kqkr", 0, 1}, {"kqkr", 1, 1},
    {"krkr", 0, 1}, {"krkr", 1, 1}, {"kqqk", 0, 1}, {"kpkp", 0, 3}, {"kpkp", 1, 3}, {"knkp", 0, 3},
    {"knkp", 1, 3}, {"knpk", 0, 3}, {"knpk", 1, 3},
};

// The other 4-man tables and sides, over a spread of king pairs.
const char* const SampledTables[] = {"knkn", "kbkp", "kbkn", "kbkb", "krkp", "krkn", "krkb", "kqkp",
                                     "kqkn", "kqkb", "kqkq", "kbpk", "kbbk", "krnk", "krbk", "krrk",
                                     "kqpk", "kqnk", "kqbk", "kqrk", "kqqk", "krpk"};

std::vector<WalkCase> sampledCases() {
    std::vector<WalkCase> cases;
    for (const char* table : SampledTables)
        for (int side = 0; side < 2; ++side) {
            bool listed = false;
            for (const WalkCase& c : Cases) listed |= std::strcmp(c.table, table) == 0 && c.side == side;
            if (!listed) cases.push_back({table, side, 23});
        }
    return cases;
}

std::string caseName(const testing::TestParamInfo<WalkCase>& info) {
    return std::string(info.param.table) + (info.param.side ? "_black" : "_white");
}

INSTANTIATE_TEST_SUITE_P(Chosen, IndexWalkTest, testing::ValuesIn(Cases), caseName);
INSTANTIATE_TEST_SUITE_P(Sampled, IndexWalkTest, testing::ValuesIn(sampledCases()), caseName);

}  // namespace
}  // namespace brinz
