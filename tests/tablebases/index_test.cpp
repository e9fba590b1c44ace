#include "tablebases/index.h"

#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <ostream>
#include <string>

#include "support/tablebase_positions.h"
#include "tablebases/enumeration.h"

namespace brinz {
namespace {

using support::TbPosition;

int S(const char* name) { return (name[0] - 'a') + 8 * (name[1] - '1'); }

// "Kb1 Qd7 Nc3": men of one side; like men fill their slots in the order given.
SquareList sideList(const char* men) {
    SquareList list;
    std::memset(&list, 0xFF, sizeof(list));  // unset slots must not be read
    int next[6] = {SLOT_PAWN, SLOT_KNIGHT, SLOT_BISHOP, SLOT_ROOK, SLOT_QUEEN, SLOT_KING};
    for (const char* c = men; *c; ++c) {
        if (*c == ' ') continue;
        int type = std::strchr("PNBRQK", *c) - "PNBRQK";
        list.square[next[type]++] = S(c + 1);
        c += 2;
    }
    return list;
}

TbPosition position(const char* first, const char* second) { return {{sideList(first), sideList(second)}}; }

int tableNumber(const char* name) {
    for (int t = 1; t < TableCount; ++t)
        if (std::strcmp(tableDescriptors[t].name, name) == 0) return t;
    return 0;
}

// The pieces the worked formulas are made of.
constexpr int PL = PAIRS_PAWNLESS, PW = PAIRS_PAWN;
constexpr int p0 = KIND_OTHER_PAWN, P = KIND_PAWN, N = KIND_KNIGHT, B = KIND_BISHOP, R = KIND_ROOK, Q = KIND_QUEEN;

uint64_t pairOf(int numbering, int k, int o) { return uint64_t(KingPairIndex[numbering][k][o]); }
uint64_t offsetOf(int numbering, int key, int k, int o) { return groupOffsets(numbering, key)[pairOf(numbering, k, o)]; }
uint64_t rankOf(int kind, int king, int s) { return uint64_t(placementRank(kind, king, s)); }
bool kept(int kind, int king, int s) { return placementRank(kind, king, s) != 255; }
// r of a group man: its rank, less 1 when the king to move k is kept and below it.
uint64_t r(int kind, int k, int o, int s) { return rankOf(kind, o, s) - (kept(kind, o, k) && k < s); }
uint64_t n(int kind, int k, int o) { return uint64_t(placementCount(kind, o) - kept(kind, o, k)); }
uint64_t below(int s, std::initializer_list<int> men) {
    uint64_t count = 0;
    for (int m : men) count += m < s;
    return count;
}
uint64_t two(uint64_t a, uint64_t b) {
    uint64_t hi = a > b ? a : b, lo = a > b ? b : a;
    return hi * (hi - 1) / 2 + lo;
}
uint64_t three(uint64_t a, uint64_t b, uint64_t c) {
    if (a < b) std::swap(a, b);
    if (b < c) std::swap(b, c);
    if (a < b) std::swap(a, b);
    return a * (a - 1) * (a - 2) / 6 + b * (b - 1) / 2 + c;
}

struct WorkedCase {
    const char* name;
    const char* table;
    int side;
    const char *first, *second;  // men of the side named first in the signature, and of the other
    uint64_t (*expected)();
};

// Positions already in the index frame unless the name says otherwise.
const WorkedCase WorkedCases[] = {
    {"kqk_white_index_zero", "kqk", 0, "Ka1 Qe1", "Kc1", [] { return uint64_t(0); }},
    {"kqk_white", "kqk", 0, "Kb1 Qd7", "Ke5",
     [] { return offsetOf(PL, groupKey(Q), S("b1"), S("e5")) + rankOf(Q, S("e5"), S("d7")) - (S("b1") < S("d7")); }},
    {"kqk_black", "kqk", 1, "Kf6 Qb7", "Kc2",
     [] { return pairOf(PL, S("c2"), S("f6")) * 62 + S("b7") - below(S("b7"), {S("c2"), S("f6")}); }},
    {"kqk_kings_on_diagonal_not_reflected", "kqk", 0, "Kb2 Qc1", "Ke5",
     [] { return offsetOf(PL, groupKey(Q), S("b2"), S("e5")) + rankOf(Q, S("e5"), S("c1")); }},
    {"kqk_king_on_g7_framed_to_b2", "kqk", 0, "Kg7 Qe2", "Kc5",  // every square ^ 63: b2, d7, f4
     [] { return offsetOf(PL, groupKey(Q), S("b2"), S("f4")) + rankOf(Q, S("f4"), S("d7")) - 1; }},
    {"kqk_king_on_a3_reflected_to_c1", "kqk", 0, "Ka3 Qh4", "Kf6",  // file and rank exchanged: c1, d8, f6
     [] { return offsetOf(PL, groupKey(Q), S("c1"), S("f6")) + rankOf(Q, S("f6"), S("d8")) - 1; }},
    {"kqkr_white", "kqkr", 0, "Kc1 Qe3", "Kg6 Rh7",
     [] {
         int wk = S("c1"), q = S("e3"), bk = S("g6"), rook = S("h7");
         return (offsetOf(PL, groupKey(Q), wk, bk) + rankOf(Q, bk, q) - (wk < q)) * 61 + rook -
                below(rook, {bk, q, wk});
     }},
    {"kqkr_black", "kqkr", 1, "Kg7 Qc6", "Kd2 Rf1",
     [] {
         int wk = S("g7"), q = S("c6"), bk = S("d2"), rook = S("f1");
         return (offsetOf(PL, groupKey(R), bk, wk) + rankOf(R, wk, rook) - (bk < rook)) * 61 + q -
                below(q, {rook, bk, wk});
     }},
    {"knnk_white", "knnk", 0, "Kd3 Na1 Nh1", "Kg8",
     [] {
         int wk = S("d3"), bk = S("g8");
         return offsetOf(PL, groupKey(N, N), wk, bk) + two(r(N, wk, bk, S("a1")), r(N, wk, bk, S("h1")));
     }},
    {"knnk_black", "knnk", 1, "Ke4 Nc5 Ng2", "Kb1",
     [] {
         int wk = S("e4"), bk = S("b1"), a = S("c5"), b = S("g2");
         return pairOf(PL, bk, wk) * 1891 + two(a - below(a, {bk, wk}), b - below(b, {bk, wk}));
     }},
    {"kbnk_white", "kbnk", 0, "Kc1 Ba6 Nh2", "Kf5",
     [] {
         int wk = S("c1"), bk = S("f5");
         return offsetOf(PL, groupKey(B, N), wk, bk) + r(B, wk, bk, S("a6")) * n(N, wk, bk) + r(N, wk, bk, S("h2"));
     }},
    {"kbnk_black", "kbnk", 1, "Kh6 Be7 Nb5", "Kd2",
     [] {
         int wk = S("h6"), b = S("e7"), knight = S("b5"), bk = S("d2");
         return (pairOf(PL, bk, wk) * 62 + b - below(b, {bk, wk})) * 61 + knight - below(knight, {bk, b, wk});
     }},
    {"kpk_white", "kpk", 0, "Kc2 Pe4", "Kf7",
     [] { return offsetOf(PW, groupKey(P), S("c2"), S("f7")) + r(P, S("c2"), S("f7"), S("e4")); }},
    {"kpk_black_group_upside_down", "kpk", 1, "Kg5 Pd4", "Kb7",
     [] {
         int bk = S("b7") ^ 56, wk = S("g5") ^ 56, pawn = S("d4") ^ 56;  // b2, g4, d5
         return offsetOf(PW, groupKey(p0), bk, wk) + rankOf(p0, wk, pawn) - (kept(p0, wk, bk) && bk < pawn);
     }},
    {"kpk_king_on_f3_mirrored_to_c3", "kpk", 0, "Kf3 Pg4", "Kb6",  // files mirrored: c3, b4, g6
     [] { return offsetOf(PW, groupKey(P), S("c3"), S("g6")) + r(P, S("c3"), S("g6"), S("b4")); }},
    {"kpkp_white", "kpkp", 0, "Ka3 Pc5", "Kh8 Pf6",
     [] {
         int wk = S("a3"), wp = S("c5"), bk = S("h8"), bp = S("f6");
         return (offsetOf(PW, groupKey(P), wk, bk) + r(P, wk, bk, wp)) * 47 + bp - 8 - (wp < bp);
     }},
    {"kpkp_black", "kpkp", 1, "Kf2 Pg5", "Kc7 Pb4",
     [] {
         int wk = S("f2"), wp = S("g5"), bk = S("c7"), bp = S("b4");
         int k = bk ^ 56, o = wk ^ 56;
         return (offsetOf(PW, groupKey(P), k, o) + r(P, k, o, bp ^ 56)) * 47 + wp - 8 - (bp < wp);
     }},
    {"knkp_white", "knkp", 0, "Kb2 Ng1", "Ke6 Pd3",
     [] {
         int wk = S("b2"), bk = S("e6");
         return (offsetOf(PW, groupKey(N), wk, bk) + r(N, wk, bk, S("g1"))) * 48 + S("d3") - 8;
     }},
    {"kppk_white", "kppk", 0, "Kd1 Pc4 Ph5", "Ka6",
     [] {
         int wk = S("d1"), bk = S("a6");
         return offsetOf(PW, groupKey(P, P), wk, bk) + two(r(P, wk, bk, S("c4")), r(P, wk, bk, S("h5")));
     }},
    {"kppkn_black", "kppkn", 1, "Kh2 Pa3 Pe6", "Kc5 Nf8",
     [] {
         int wk = S("h2"), bk = S("c5"), hi = S("e6"), lo = S("a3");
         return (offsetOf(PW, groupKey(N), bk, wk) + r(N, bk, wk, S("f8"))) * 1128 + (hi - 8) * (hi - 9) / 2 +
                lo - 8;
     }},
    {"kbnnkn_white", "kbnnkn", 0, "Kb1 Ba4 Nc6 Ng3", "Kf6 Nd8",
     [] {
         int wk = S("b1"), bk = S("f6"), b = S("a4"), n1 = S("c6"), n2 = S("g3"), bn = S("d8");
         return (offsetOf(PL, groupKey(B, N, N), wk, bk) + two(r(N, wk, bk, n1), r(N, wk, bk, n2)) * n(B, wk, bk) +
                 r(B, wk, bk, b)) * 59 +
                bn - below(bn, {bk, n1, n2, b, wk});
     }},
    {"kbnnkn_black", "kbnnkn", 1, "Kg5 Be2 Na7 Nh8", "Kc1 Nb3",
     [] {
         int wk = S("g5"), b = S("e2"), n1 = S("a7"), n2 = S("h8"), bk = S("c1"), bn = S("b3");
         return ((offsetOf(PL, groupKey(N), bk, wk) + r(N, bk, wk, bn)) * 61 + b - below(b, {bn, bk, wk})) * 1770 +
                two(n1 - below(n1, {bn, bk, b, wk}), n2 - below(n2, {bn, bk, b, wk}));
     }},
    {"knnnk_white", "knnnk", 0, "Kc2 Na1 Nd5 Nh3", "Kg7",
     [] {
         int wk = S("c2"), bk = S("g7");
         return offsetOf(PL, groupKey(N, N, N), wk, bk) +
                three(r(N, wk, bk, S("a1")), r(N, wk, bk, S("d5")), r(N, wk, bk, S("h3")));
     }},
    {"krbnk_white", "krbnk", 0, "Kd2 Rh1 Bf3 Nc4", "Ka7",
     [] {
         int wk = S("d2"), bk = S("a7");
         return offsetOf(PL, groupKey(R, B, N), wk, bk) +
                (r(R, wk, bk, S("h1")) * n(B, wk, bk) + r(B, wk, bk, S("f3"))) * n(N, wk, bk) + r(N, wk, bk, S("c4"));
     }},
    {"kqqnk_white", "kqqnk", 0, "Kb1 Qa5 Qh2 Nc3", "Ke7",
     [] {
         int wk = S("b1"), bk = S("e7");
         return offsetOf(PL, groupKey(Q, Q, N), wk, bk) +
                two(r(Q, wk, bk, S("a5")), r(Q, wk, bk, S("h2"))) * n(N, wk, bk) + r(N, wk, bk, S("c3"));
     }},
    {"kqqqkq_black", "kqqqkq", 1, "Kf7 Qb8 Qe1 Qh4", "Kc2 Qa6",
     [] {
         int wk = S("f7"), bk = S("c2"), bq = S("a6"), q1 = S("b8"), q2 = S("e1"), q3 = S("h4");
         return (offsetOf(PL, groupKey(Q), bk, wk) + r(Q, bk, wk, bq)) * 35990 +
                three(q1 - below(q1, {bk, bq, wk}), q2 - below(q2, {bk, bq, wk}), q3 - below(q3, {bk, bq, wk}));
     }},
};

void PrintTo(const WorkedCase& c, std::ostream* os) { *os << c.name; }

class WorkedMemberTest : public testing::TestWithParam<WorkedCase> {};

TEST_P(WorkedMemberTest, FollowsTheFormula) {
    buildEnumerationTables();
    const WorkedCase& c = GetParam();
    int table = tableNumber(c.table);
    ASSERT_NE(table, 0);
    TbPosition p = position(c.first, c.second);
    EXPECT_EQ(support::tbIndex(table, c.side, p), c.expected());
}

INSTANTIATE_TEST_SUITE_P(Tablebases, WorkedMemberTest, testing::ValuesIn(WorkedCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(TableDescriptors, NumbersNamesAndFlags) {
    EXPECT_STREQ(tableDescriptors[0].name, "kk");
    for (int t = 0; t < TableCount; ++t) {
        const TableDescriptor& d = tableDescriptors[t];
        SCOPED_TRACE(d.name);
        EXPECT_EQ(d.number, t);
        ASSERT_EQ(d.name[0], 'k');
        EXPECT_EQ(d.name[7], 0);
        const char* second = std::strchr(d.name + 1, 'k');
        ASSERT_NE(second, nullptr);
        // Pawns tell the colours apart, so kpkp keeps two files.
        bool oneFile = std::string(d.name + 1, second) == std::string(second + 1) && !std::strchr(d.name, 'p');
        EXPECT_EQ((d.flags & TB_SYMMETRIC) != 0, oneFile);
        if (d.flags & TB_SYMMETRIC) {
            EXPECT_EQ(d.size[1], d.size[0]);
        }
        EXPECT_NE(d.indexFunction[0], nullptr);
        EXPECT_NE(d.indexFunction[1], nullptr);
        for (int u = 1; u < t; ++u) EXPECT_STRNE(tableDescriptors[u].name, d.name);
    }
    const char* const sixteenBit[] = {"krnknn", "krnkbb", "krbknn", "kqnkrr"};
    int count = 0;
    for (const TableDescriptor& d : tableDescriptors) count += (d.flags & TB_16BIT) != 0;
    EXPECT_EQ(count, 4);
    for (const char* name : sixteenBit) EXPECT_TRUE(tableDescriptors[tableNumber(name)].flags & TB_16BIT) << name;
}

// The stored sizes are those of the rule, less trailing illegal positions (the walks over
// legal positions pin them exactly for 3 and 4 men), plus the en-passant positions that
// follow in tables with pawns on both sides.
TEST(TableDescriptors, SizesFollowTheRule) {
    buildEnumerationTables();
    for (int t = 1; t < TableCount; ++t) {
        const TableDescriptor& d = tableDescriptors[t];
        const char* second = std::strchr(d.name + 1, 'k');
        bool pawnsOnBothSides = std::strchr(d.name, 'p') < second && std::strchr(second, 'p');
        for (int side = 0; side < 2; ++side) {
            SCOPED_TRACE(std::string(d.name) + (side ? " black" : " white"));
            uint64_t range = indexRange(t, side);
            EXPECT_LT(range, uint64_t(1) << 32);
            if (pawnsOnBothSides)
                EXPECT_GT(d.size[side], range);
            else
                EXPECT_LE(d.size[side], range);
        }
    }
    int kpkp = tableNumber("kpkp");
    EXPECT_EQ(indexRange(kpkp, 0), 3838208u);
    EXPECT_EQ(tableDescriptors[kpkp].size[0] - indexRange(kpkp, 0), 1806u * 14);
    EXPECT_EQ(indexRange(tableNumber("krk"), 0), 27036u);
    EXPECT_EQ(tableDescriptors[tableNumber("krk")].size[0], 27030u);
}

struct BadCase {
    const char* name;
    const char* table;
    int side;
    const char *first, *second;
};

// Positions no file stores; the answer must not depend on reading past any table.
const BadCase BadCases[] = {
    {"kings_touching", "kqk", 0, "Kb1 Qd7", "Kc2"},
    {"kings_on_one_square", "kqk", 1, "Kc2 Qd7", "Kc2"},
    {"man_on_a_king", "kqk", 0, "Kb1 Qe5", "Ke5"},
    {"like_men_on_one_square", "knnk", 0, "Kb1 Nd4 Nd4", "Kg7"},
    {"rest_men_on_one_square", "kbnnkn", 1, "Kg5 Be2 Na7 Na7", "Kc1 Nb3"},
    {"queen_touching_the_king_not_to_move", "kqk", 0, "Kb1 Qe6", "Ke5"},
    {"knight_checking_the_king_not_to_move", "kbnk", 0, "Kc1 Ba6 Nd3", "Kf4"},
    {"pawn_checking_the_king_not_to_move", "kpk", 0, "Kc2 Pe4", "Kf5"},
    {"pawn_on_the_last_rank", "kpk", 0, "Kc2 Pe8", "Kf5"},
    {"pawn_on_the_first_rank", "kpkp", 1, "Kc2 Pe4", "Kf6 Pa1"},
    {"square_past_h8", "kqk", 0, "Kb1 Qd7", "Ke5"},
    {"negative_square", "kqk", 1, "Kb1 Qd7", "Ke5"},
    {"trailing_illegal_position", "krk", 0, "Kd4 Rf8", "Kh8"},
    {"placeholder_table", "kk", 0, "Kb1", "Ke5"},
};

void PrintTo(const BadCase& c, std::ostream* os) { *os << c.name; }

class BadInputTest : public testing::TestWithParam<BadCase> {};

TEST_P(BadInputTest, AnswersNoIndex) {
    buildEnumerationTables();
    const BadCase& c = GetParam();
    int table = std::strcmp(c.table, "kk") == 0 ? 0 : tableNumber(c.table);
    TbPosition p = position(c.first, c.second);
    if (std::strcmp(c.name, "square_past_h8") == 0) p.list[0].square[SLOT_QUEEN] = 64;
    if (std::strcmp(c.name, "negative_square") == 0) p.list[1].square[SLOT_KING] = -1;
    EXPECT_EQ(support::tbIndex(table, c.side, p), TB_INDEX_NONE);
}

INSTANTIATE_TEST_SUITE_P(Tablebases, BadInputTest, testing::ValuesIn(BadCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace brinz
