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

struct WalkCase {
    const char* table;
    int side;
    bool sampled;  // only a spread of king pairs, plus the last ones numbered
};

void PrintTo(const WalkCase& c, std::ostream* os) { *os << c.table << (c.side ? " black" : " white") << " to move"; }

int tableNumber(const char* name) {
    for (int t = 1; t < TableCount; ++t)
        if (std::strcmp(tableDescriptors[t].name, name) == 0) return t;
    return 0;
}

bool pawnsOnBothSides(const TableMen& men) { return men.count[0][0] > 0 && men.count[1][0] > 0; }

// The last king pairs numbered have the king to move on d4 (pawnless), d8, or d1 when the
// group is ranked upside down; keeping them keeps the largest indices in a sampled walk.
bool sampledPair(int k, int o) { return (k * 64 + o) % 23 == 0 || k == 27 || k == 59 || k == 3; }

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
        [&](int k, int o) { return support::framedKings(men.pawns, k, o) && (!c.sampled || sampledPair(k, o)); },
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
    // legal index; with pawns on both sides the en-passant positions follow the rule's range.
    if (pawnsOnBothSides(men))
        EXPECT_EQ(largest + 1, range);
    else
        EXPECT_EQ(largest + 1, d.size[side]);
}

const WalkCase Cases[] = {
    {"kpk", 0, false},   {"kpk", 1, false},   {"knk", 0, false},   {"knk", 1, false},   {"kbk", 0, false},
    {"kbk", 1, false},   {"krk", 0, false},   {"krk", 1, false},   {"kqk", 0, false},   {"kqk", 1, false},
    {"kpkp", 0, false},  {"kpkp", 1, false},  {"knkp", 0, false},  {"knkp", 1, false},  {"kppk", 0, false},
    {"kppk", 1, false},  {"knpk", 0, false},  {"knpk", 1, false},  {"kbnk", 0, false},  {"kbnk", 1, false},
    {"knnk", 0, false},  {"knnk", 1, false},  {"kqkr", 0, false},  {"kqkr", 1, false},  {"krkr", 0, false},
    {"krkr", 1, false},  {"kqqk", 0, false},  {"krpk", 0, false},
};

// The other 4-man tables, each side over a spread of king pairs.
const char* const SampledTables[] = {"knkn", "kbkp", "kbkn", "kbkb", "krkp", "krkn", "krkb", "kqkp",
                                     "kqkn", "kqkb", "kqkq", "kbpk", "kbbk", "krnk", "krbk", "krrk",
                                     "kqpk", "kqnk", "kqbk", "kqrk", "kqqk", "krpk"};

std::vector<WalkCase> sampledCases() {
    std::vector<WalkCase> cases;
    for (const char* table : SampledTables)
        for (int side = 0; side < 2; ++side) {
            bool walkedInFull = false;
            for (const WalkCase& c : Cases) walkedInFull |= std::strcmp(c.table, table) == 0 && c.side == side;
            if (!walkedInFull) cases.push_back({table, side, true});
        }
    return cases;
}

std::string caseName(const testing::TestParamInfo<WalkCase>& info) {
    return std::string(info.param.table) + (info.param.side ? "_black" : "_white");
}

INSTANTIATE_TEST_SUITE_P(Whole, IndexWalkTest, testing::ValuesIn(Cases), caseName);
INSTANTIATE_TEST_SUITE_P(Sampled, IndexWalkTest, testing::ValuesIn(sampledCases()), caseName);

}  // namespace
}  // namespace brinz
