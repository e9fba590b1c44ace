#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "eval/evaluate.h"
#include "eval/pawns.h"
#include "options/options.h"
#include "support/engine_setup.h"

namespace brinz {
namespace {

std::vector<uint8_t> PassedList(const PawnEntry& entry, int colour) {
    std::vector<uint8_t> list;
    for (int i = 0; i < 8 && entry.passed[colour][i]; ++i) list.push_back(entry.passed[colour][i]);
    return list;
}

void ExpectSameEntry(const PawnEntry& a, const PawnEntry& b) {
    EXPECT_EQ(a.keyLow, b.keyLow);
    EXPECT_EQ(a.keyHigh, b.keyHigh);
    for (int c = WHITE; c <= BLACK; ++c) {
        SCOPED_TRACE(c == WHITE ? "white" : "black");
        EXPECT_EQ(a.structureMg[c], b.structureMg[c]);
        EXPECT_EQ(a.structureEg[c], b.structureEg[c]);
        EXPECT_EQ(PassedList(a, c), PassedList(b, c));
        EXPECT_EQ(a.openFiles[c], b.openFiles[c]);
        EXPECT_EQ(a.kingsideStorm[c], b.kingsideStorm[c]);
        EXPECT_EQ(a.queensideStorm[c], b.queensideStorm[c]);
        EXPECT_EQ(a.danger[c], b.danger[c]);
    }
    EXPECT_EQ(a.centreType, b.centreType);
}

TEST(PawnEntry, StartPosition) {
    Position pos = support::positionFromFen(StartFen);
    PawnEntry entry;
    ComputePawnEntry(pos, entry);
    for (int c = WHITE; c <= BLACK; ++c) {
        SCOPED_TRACE(c == WHITE ? "white" : "black");
        // Every pawn has a neighbour and counts as protected; there are no weaknesses.
        EXPECT_EQ(entry.structureMg[c], 80);
        EXPECT_EQ(entry.structureEg[c], 80);
        EXPECT_TRUE(PassedList(entry, c).empty());
        EXPECT_EQ(entry.openFiles[c], 0);
        EXPECT_EQ(entry.danger[c], 0);
        // Second-rank pawns hold back; each facing pawn with a neighbour scales it:
        // d2 -3, e2 -9, f2 -15 * 1.25, g2 -18 * 1.75, h2 -18 * 1.5.
        EXPECT_EQ(entry.kingsideStorm[c], -3 - 9 - 18 - 31 - 27);
        // a2 -15 * 1.5, b2 -15 * 1.75, c2 -15 * 1.25, d2 -9, e2 -3.
        EXPECT_EQ(entry.queensideStorm[c], -22 - 25 - 18 - 9 - 3);
    }
    EXPECT_EQ(entry.centreType, CENTRE_FULL);
}

struct StructureCase {
    const char* name;
    const char* fen;
    int whiteMg, whiteEg, blackMg, blackEg;
    std::vector<uint8_t> whitePassed, blackPassed;
};

const StructureCase StructureCases[] = {
    // a2 passes the c-pawns and stands alone; c6 is doubled and isolated, c7 isolated:
    // three weaknesses cost 10 more.
    {"LoneRookPawn", "4k3/2p5/2p5/8/8/8/P7/4K3 w - - 0 1", -7, -7, -52, -52, {0x10}, {0x62, 0x52}},
    // Doubled and isolated pawns on one file are two weaknesses each: six in all.
    {"DoubledIsolated", "4k3/8/8/8/8/P6P/P6P/4K3 w - - 0 1", -102, -102, 0, 0, {0x27, 0x20, 0x17, 0x10}, {}},
    // d3 cannot advance under c5's eye and has no neighbour level or behind: backward.
    // e4 is protected by it.
    {"Backward", "4k3/8/8/2p5/4P3/3P4/8/4K3 w - - 0 1", -10, -10, -14, -14, {0x34}, {}},
    // a4 is a candidate (one enemy pawn ahead on the neighbouring file, b4 beside it).
    {"Candidate", "4k3/8/1p6/8/PP6/8/8/4K3 w - - 0 1", 30, 40, -10, -10, {}, {}},
};

class PawnStructureTest : public testing::TestWithParam<StructureCase> {};

TEST_P(PawnStructureTest, ScoresAndPassedPawns) {
    const StructureCase& c = GetParam();
    Position pos = support::positionFromFen(c.fen);
    PawnEntry entry;
    ComputePawnEntry(pos, entry);
    EXPECT_EQ(entry.structureMg[WHITE], c.whiteMg);
    EXPECT_EQ(entry.structureEg[WHITE], c.whiteEg);
    EXPECT_EQ(entry.structureMg[BLACK], c.blackMg);
    EXPECT_EQ(entry.structureEg[BLACK], c.blackEg);
    EXPECT_EQ(PassedList(entry, WHITE), c.whitePassed);
    EXPECT_EQ(PassedList(entry, BLACK), c.blackPassed);
}

INSTANTIATE_TEST_SUITE_P(Eval, PawnStructureTest, testing::ValuesIn(StructureCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PawnEntry, CentreTypes) {
    struct Case { const char* fen; int type; };
    const Case cases[] = {
        {"4k3/8/8/8/3P4/8/8/4K3 w - - 0 1", CENTRE_OPEN},
        {"4k3/8/8/4p3/3P4/8/8/4K3 w - - 0 1", CENTRE_TENSION},
        {"4k3/8/8/3p4/4P3/8/8/4K3 w - - 0 1", CENTRE_TENSION},
        {"4k3/8/8/4p3/4P3/8/8/4K3 w - - 0 1", CENTRE_LOCKED_FILE},
        {"4k3/8/4p3/8/3P4/8/8/4K3 w - - 0 1", CENTRE_HALF_OPEN},
        {"4k3/8/4p3/3p4/3P4/4P3/8/4K3 w - - 0 1", CENTRE_LOCKED_FILE},
        {"4k3/8/4p3/3pP3/3P4/8/8/4K3 w - - 0 1", CENTRE_CLOSED},
        {StartFen, CENTRE_FULL},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fen);
        PawnEntry entry;
        ComputePawnEntry(support::positionFromFen(c.fen), entry);
        EXPECT_EQ(entry.centreType, c.type);
    }
}

TEST(PawnEntry, DangerIsCappedAt24) {
    // c4..f4 with neighbours count twice (4 + 8 + 8 + 4), d5 with a pawn diagonally behind 6 more.
    PawnEntry entry;
    ComputePawnEntry(support::positionFromFen("4k3/8/8/3P4/2PPPP2/8/8/4K3 w - - 0 1"), entry);
    EXPECT_EQ(entry.danger[WHITE], 24);
    ComputePawnEntry(support::positionFromFen("4k3/8/8/8/2PPPP2/8/8/4K3 w - - 0 1"), entry);
    EXPECT_EQ(entry.danger[WHITE], 24);
    ComputePawnEntry(support::positionFromFen("4k3/8/8/8/3PP3/8/8/4K3 w - - 0 1"), entry);
    EXPECT_EQ(entry.danger[WHITE], 16);
}

std::vector<std::string> WacFens() {
    std::vector<std::string> fens;
    std::ifstream file(std::string(BRINZ_TEST_DATA) + "/wac.epd");
    for (std::string line; std::getline(file, line);) {
        size_t cut = line.find(" bm ");
        if (cut == std::string::npos) cut = line.find(" am ");
        if (!line.empty()) fens.push_back(line.substr(0, cut));
    }
    return fens;
}

TEST(PawnTable, HitGivesTheFreshEntry) {
    std::vector<std::string> fens = WacFens();
    if (fens.empty()) GTEST_SKIP() << "tests/data/wac.epd is missing";
    fens.push_back("4k3/8/8/8/8/8/8/4K3 w - - 0 1");
    std::unique_ptr<PawnTable> table = NewPawnTable();
    ASSERT_TRUE(table);
    for (int pass = 0; pass < 2; ++pass)
        for (const std::string& fen : fens) {
            SCOPED_TRACE(fen);
            Position pos = support::positionFromFen(fen.c_str());
            PawnEntry fresh, scratch;
            ComputePawnEntry(pos, fresh);
            ExpectSameEntry(ProbePawnTable(pos, table.get(), scratch), fresh);
            ExpectSameEntry(ProbePawnTable(pos, table.get(), scratch), fresh);
        }
}

// A cleared table must not offer its empty entries as the analysis of a pawnless board,
// whose key is 0: that board has every file open and the open-file storm bonuses.
TEST(PawnTable, EmptyTableDoesNotMatchPawnlessBoards) {
    Position pos = support::positionFromFen("4k3/8/8/3q4/8/8/8/R3K3 w - - 0 1");
    ASSERT_EQ(pos.pawnKey, 0u);
    std::unique_ptr<PawnTable> table = NewPawnTable();
    ASSERT_TRUE(table);
    for (const char* state : {"new table", "zero-filled, then cleared"}) {
        SCOPED_TRACE(state);
        PawnEntry scratch;
        const PawnEntry& entry = ProbePawnTable(pos, table.get(), scratch);
        EXPECT_NE(&entry, &scratch) << "the table keeps it";
        for (int c = WHITE; c <= BLACK; ++c) {
            EXPECT_EQ(entry.openFiles[c], 0xFF);
            EXPECT_EQ(entry.kingsideStorm[c], 80);
            EXPECT_EQ(entry.queensideStorm[c], 70);
        }
        // All zeros would pass for a pawnless board's analysis; clear() must not leave that.
        std::memset(static_cast<void*>(table->entry), 0, sizeof table->entry);
        table->clear();
    }
}

TEST(PawnTable, ThreadWithoutTableStillGetsItsEntry) {
    Position pos = support::positionFromFen(StartFen);
    PawnEntry scratch, fresh;
    ComputePawnEntry(pos, fresh);
    const PawnEntry& entry = ProbePawnTable(pos, nullptr, scratch);
    EXPECT_EQ(&entry, &scratch);
    ExpectSameEntry(entry, fresh);
}

// Passed pawns scored against the board, read from the extras of a full evaluation.
struct PassedCase {
    const char* name;
    const char* fen;
    int white;
};

const PassedCase PassedCases[] = {
    // Seventh rank, the queening square free and safe, no black queen: 256 + 200 or + 100.
    {"SeventhWhiteToMove", "8/P7/8/8/8/8/7r/K6k w - - 0 1", 456},
    {"SeventhBlackToMove", "8/P7/8/8/8/8/7r/K6k b - - 0 1", 356},
    // The queening square guarded by the rook: no bonus.
    {"SeventhGuarded", "7r/P7/8/8/8/8/8/K6k w - - 0 1", 256},
    // A rook pawn against a lone knight is worth half as much again; a b-pawn is not.
    {"RookPawnAgainstKnight", "7k/8/8/P7/8/8/8/4K1n1 w - - 0 1", 150},
    {"KnightPawnAgainstKnight", "7k/8/8/1P6/8/8/8/4K1n1 w - - 0 1", 100},
    // King and pawn against king: outside the square the pawn runs through (3 moves).
    {"OutsideTheSquare", "7k/8/8/P7/8/8/8/4K3 w - - 0 1", 100 + (20 - 3) * 64},
    {"OutsideTheSquareBlackToMove", "7k/8/8/P7/8/8/8/4K3 b - - 0 1", 100 + (20 - 3) * 64},
    {"EdgeOfTheSquare", "8/4k3/8/P7/8/8/8/4K3 w - - 0 1", 100 + (20 - 3) * 64},
    {"EdgeOfTheSquareBlackToMove", "8/4k3/8/P7/8/8/8/4K3 b - - 0 1", 100},
    {"InsideTheSquare", "8/3k4/8/P7/8/8/8/4K3 w - - 0 1", 100},
    // The defending king beside the pawn's file and in front of it takes a quarter.
    {"KingAlongside", "8/1k6/8/P7/8/8/8/4K3 w - - 0 1", 75},
    // A rook behind the pawn adds a quarter.
    {"RookBehind", "7k/8/8/P7/8/8/8/R3K2r w - - 0 1", 125},
};

class PassedPawnTest : public testing::TestWithParam<PassedCase> {};

TEST_P(PassedPawnTest, WhiteScore) {
    Position pos = support::positionFromFen(GetParam().fen);
    applyOptions(pos.side);
    // Scored directly: several of these endings have a specialised evaluator of their own.
    PawnEntry entry;
    ComputePawnEntry(pos, entry);
    int passed[2] = {0, 0}, kingProx[2] = {0, 0};
    ScorePassedPawns(pos, entry, passed, kingProx);
    EXPECT_EQ(passed[WHITE], GetParam().white);
    EXPECT_EQ(passed[BLACK], 0);
}

INSTANTIATE_TEST_SUITE_P(Eval, PassedPawnTest, testing::ValuesIn(PassedCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace brinz
