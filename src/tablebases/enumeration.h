#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <utility>

// Placement tables behind every tablebase index: where a man of a given kind may stand
// relative to the king not to move, how the legal king pairs are numbered, and where each
// king pair's block of positions starts for every group of men of the side to move.
// Squares here are 0..63, file + 8 * rank (a1 = 0, h1 = 7, a8 = 56, h8 = 63).

namespace brinz {

// Kind of a placed man. Pawns of the side to move and of the other side differ because
// only the former can give check to the king not to move.
enum PieceKind : int {
    KIND_OTHER_PAWN = 0,  // pawn of the side not to move, in the frame where the side to move plays up
    KIND_PAWN = 1,        // pawn of the side to move
    KIND_KNIGHT = 2,
    KIND_BISHOP = 3,
    KIND_ROOK = 4,
    KIND_QUEEN = 5,
};
inline constexpr int KindCount = 6;
inline constexpr int KIND_NONE = 6;  // fills the unused places of a group key

// The two king-pair numberings: the pawn one keeps the side to move's king on files a-d,
// the pawnless one on the a1-d1-d4 triangle.
enum PairNumbering : int { PAIRS_PAWN = 0, PAIRS_PAWNLESS = 1 };
inline constexpr int KingPairCount[2] = {1806, 462};
inline constexpr int16_t NO_KING_PAIR = 4000;

namespace detail {

constexpr bool kingsTouch(int a, int b) {
    int df = (a & 7) - (b & 7), dr = (a >> 3) - (b >> 3);
    return df >= -1 && df <= 1 && dr >= -1 && dr <= 1;
}

constexpr std::array<std::array<std::array<int16_t, 64>, 64>, 2> makeKingPairIndex() {
    std::array<std::array<std::array<int16_t, 64>, 64>, 2> table{};
    for (auto& numbering : table)
        for (auto& row : numbering) row.fill(NO_KING_PAIR);
    int16_t next = 0;
    for (int k = 0; k < 64; ++k) {
        if ((k & 7) > 3) continue;
        for (int o = 0; o < 64; ++o)
            if (!kingsTouch(k, o)) table[PAIRS_PAWN][k][o] = next++;
    }
    constexpr int Triangle[10] = {0, 1, 2, 3, 9, 10, 11, 18, 19, 27};  // a1 b1 c1 d1 b2 c2 d2 c3 d3 d4
    next = 0;
    for (int k : Triangle) {
        bool onDiagonal = (k & 7) == (k >> 3);
        for (int o = 0; o < 64; ++o) {
            if (kingsTouch(k, o)) continue;
            if (onDiagonal && (o & 7) < (o >> 3)) continue;
            table[PAIRS_PAWNLESS][k][o] = next++;
        }
    }
    return table;
}

}  // namespace detail

// KingPairIndex[numbering][k][o]: number of the pair with the side to move's king on k and
// the other king on o, or NO_KING_PAIR when the pair is not numbered (touching kings, or k
// outside the numbering's region).
inline constexpr auto KingPairIndex = detail::makeKingPairIndex();
static_assert(KingPairIndex[PAIRS_PAWN][59][63] == 1805 && KingPairIndex[PAIRS_PAWNLESS][27][63] == 461);

// A group is a multiset of up to three kinds, keyed with its kinds in falling order and
// KIND_NONE in the unused places.
inline constexpr int GroupKeyCount = 7 * 7 * 7;
constexpr int groupKey(int a, int b = KIND_NONE, int c = KIND_NONE) {
    // Sort so that KIND_NONE goes last and the present kinds fall.
    auto before = [](int x, int y) { return y == KIND_NONE ? x != KIND_NONE : (x != KIND_NONE && x > y); };
    if (before(b, a)) std::swap(a, b);
    if (before(c, b)) std::swap(b, c);
    if (before(b, a)) std::swap(a, b);
    return a + 7 * b + 49 * c;
}

// Number of placements of a group whose kinds have `usable` squares each (the n(k) of a
// king pair): the product over its kinds of usable choose multiplicity.
constexpr uint64_t groupPlacements(int key, const int usable[KindCount]) {
    int multiplicity[KindCount + 1] = {};
    ++multiplicity[key % 7];
    ++multiplicity[key / 7 % 7];
    ++multiplicity[key / 49];
    uint64_t product = 1;
    for (int kind = 0; kind < KindCount; ++kind) {
        uint64_t n = uint64_t(usable[kind] > 0 ? usable[kind] : 0);
        if (multiplicity[kind] == 1) product *= n;
        if (multiplicity[kind] == 2) product *= n * (n - 1) / 2;
        if (multiplicity[kind] == 3) product *= n * (n - 1) * (n - 2) / 6;
    }
    return product;
}

// Tables built by buildEnumerationTables; read-only afterwards, so readers need no lock.
struct EnumerationTables {
    uint8_t* rank[KindCount];   // [king * 64 + square]: number of the square among the kept ones, or 255
    uint8_t* count[KindCount];  // [king]: how many squares are kept
    uint32_t* offset[2][GroupKeyCount];  // [numbering][group][pair]: positions before the pair's block
    uint32_t total[2][GroupKeyCount];    // [numbering][group]: positions of all pairs
    std::size_t bytes;                   // allocated for all of the above
    bool built;
};
extern EnumerationTables Enumeration;

// Builds every table above through tbAllocate (which ends the process when memory runs out).
// Later calls do nothing. Runs before any index is computed, with no probe running.
void buildEnumerationTables();

// rank[kind][king][square]: squares of the kind's range in rising order, skipping the king's
// own square and those from which the man would give contact (or knight, or pawn) check to
// it, numbered from 0; 255 for every square not kept.
inline int placementRank(int kind, int king, int square) { return Enumeration.rank[kind][king * 64 + square]; }
inline int placementCount(int kind, int king) { return Enumeration.count[kind][king]; }

// Offsets by pair number of a group, null for a group that is not built.
inline const uint32_t* groupOffsets(int numbering, int key) { return Enumeration.offset[numbering][key]; }
inline uint32_t groupTotal(int numbering, int key) { return Enumeration.total[numbering][key]; }

}  // namespace brinz
