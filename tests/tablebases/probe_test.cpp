#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "board/attacks.h"
#include "board/position.h"
#include "support/engine_setup.h"
#include "support/tablebase_files.h"
#include "tablebases/block_cache.h"
#include "tablebases/probe.h"
#include "tablebases/registry.h"

namespace brinz {
namespace {

using support::freshDirectory;
using support::writeBytes;

// Exhaustive walks are thinned out where every probe costs ten times more.
#if defined(NDEBUG) && !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
constexpr int Thinning = 1;
constexpr size_t ThreadPositions = 400;
#else
constexpr int Thinning = 29;
constexpr size_t ThreadPositions = 160;
#endif

// A position from piece codes and 0x88 squares, without going through a FEN.
void placeMen(Position& pos, const std::vector<int>& codes, const std::vector<int>& squares, int side) {
    for (int sq = 0; sq < 120; ++sq)
        if (OnBoard(sq)) pos.board[sq] = EMPTY;
    for (size_t i = 0; i < codes.size(); ++i) pos.board[squares[i]] = uint8_t(codes[i]);
    RebuildPieceLists(pos);
    CountPieces(pos);
    pos.side = side;
    pos.xside = side ^ 1;
    pos.epSquare = 0;
    pos.castleLost = 15;
    pos.lastMove = MOVE_NONE;
    FindCheckers(pos);
}

// The same position with the colours exchanged and the board turned over.
void placeTwin(Position& twin, const std::vector<int>& codes, const std::vector<int>& squares, int side) {
    std::vector<int> twinCodes, twinSquares;
    for (size_t i = 0; i < codes.size(); ++i) {
        twinCodes.push_back(codes[i] ^ 8);
        twinSquares.push_back(squares[i] ^ 0x70);
    }
    placeMen(twin, twinCodes, twinSquares, side ^ 1);
}

bool legal(const Position& pos) { return !IsAttacked(pos, pos.kingSquare(pos.xside), pos.side); }

// Every legal placement of kings and the man `code`, by side to move, thinned out as above.
template <typename Visit>
void forEachThreeManPosition(int code, Visit&& visit) {
    Position pos;
    int count = 0;
    const bool pawn = TypeOf(code) == PAWN;
    for (int side = WHITE; side <= BLACK; ++side)
        for (int wk = 0; wk < 120; ++wk)
            for (int bk = 0; bk < 120; ++bk)
                for (int man = pawn ? 16 : 0; man < (pawn ? 104 : 120); ++man) {
                    if (!OnBoard(wk) || !OnBoard(bk) || !OnBoard(man) || wk == bk || man == wk || man == bk) continue;
                    if (++count % Thinning) continue;
                    const std::vector<int> codes = {WHITE_KING, BLACK_KING, code}, squares = {wk, bk, man};
                    placeMen(pos, codes, squares, side);
                    if (legal(pos)) visit(pos, codes, squares, side);
                }
}

class Probe : public testing::Test {
protected:
    void SetUp() override {
        support::initialiseTables();
        if (support::threeManTables().plain.empty()) GTEST_SKIP() << support::threeManTables().reason;
    }
    void TearDown() override { initTablebases(1, nullptr); }
};

TEST_F(Probe, ThreeManTablesAgreePlainCompressedAndColourReversed) {
    const int codes[] = {WHITE_PAWN, WHITE_KNIGHT, WHITE_BISHOP, WHITE_ROOK, WHITE_QUEEN};
    for (int code : codes) {
        SCOPED_TRACE(code);
        std::vector<int> plain;
        ASSERT_EQ(initTablebases(1, support::threeManTables().plain.c_str()), 3);
        Position twin;
        int missing = 0, twinsDiffer = 0;
        forEachThreeManPosition(code, [&](const Position& pos, const auto& codes, const auto& squares, int side) {
            const int value = lookupTableValue(pos);
            plain.push_back(value);
            missing += value == TableValueNone;
            placeTwin(twin, codes, squares, side);
            twinsDiffer += lookupTableValue(twin) != value;
        });
        EXPECT_EQ(missing, 0);
        EXPECT_EQ(twinsDiffer, 0);

        ASSERT_EQ(initTablebases(1, support::threeManTables().compressed.c_str()), 3);
        size_t next = 0;
        int differ = 0;
        forEachThreeManPosition(code, [&](const Position& pos, const auto&, const auto&, int) {
            differ += lookupTableValue(pos) != plain[next++];
        });
        EXPECT_EQ(differ, 0);
    }
}

TEST_F(Probe, FourManTablesAgreePlainCompressedAndColourReversed) {
    const support::TableSet& fourMan = support::fourManTables();
    if (fourMan.plain.empty()) GTEST_SKIP() << fourMan.reason;
    const std::vector<int> materials[] = {{WHITE_KING, BLACK_KING, WHITE_QUEEN, BLACK_ROOK},
                                          {WHITE_KING, BLACK_KING, WHITE_PAWN, BLACK_PAWN}};
    for (const std::vector<int>& codes : materials) {
        SCOPED_TRACE(codes[2]);
        std::mt19937 random(11);
        struct Sample {
            std::vector<int> squares;
            int side, value;
        };
        std::vector<Sample> samples;
        ASSERT_EQ(initTablebases(1, fourMan.plain.c_str()), 4);
        Position pos, twin;
        int missing = 0, twinsDiffer = 0;
        while (samples.size() < 3000) {
            std::vector<int> squares;
            for (size_t i = 0; i < codes.size(); ++i) squares.push_back(SquareFrom64(int(random() % 64)));
            bool clash = false;
            for (size_t i = 0; i < codes.size(); ++i) {
                for (size_t j = 0; j < i; ++j) clash |= squares[i] == squares[j];
                clash |= TypeOf(codes[i]) == PAWN && (RankOf(squares[i]) == 0 || RankOf(squares[i]) == 7);
            }
            if (clash) continue;
            const int side = int(random() % 2);
            placeMen(pos, codes, squares, side);
            if (!legal(pos)) continue;
            const int value = lookupTableValue(pos);
            missing += value == TableValueNone;
            placeTwin(twin, codes, squares, side);
            twinsDiffer += lookupTableValue(twin) != value;
            samples.push_back({squares, side, value});
        }
        EXPECT_EQ(missing, 0);
        EXPECT_EQ(twinsDiffer, 0);
        ASSERT_EQ(initTablebases(1, fourMan.compressed.c_str()), 4);
        int differ = 0;
        for (const Sample& sample : samples) {
            placeMen(pos, codes, sample.squares, sample.side);
            differ += lookupTableValue(pos) != sample.value;
        }
        EXPECT_EQ(differ, 0);
    }
}

TEST_F(Probe, ScoresCountPliesFromTheRoot) {
    ASSERT_EQ(initTablebases(1, support::threeManTables().plain.c_str()), 3);
    struct Case {
        const char* name;
        const char* fen;
        int ply;
        int score;
    } cases[] = {
        {"mate in 1", "k7/8/1K6/8/8/8/7Q/8 w - - 0 1", 0, 29999},
        {"mate in 1 deeper", "k7/8/1K6/8/8/8/7Q/8 w - - 0 1", 5, 29994},
        {"mated now", "k7/1Q6/1K6/8/8/8/8/8 b - - 0 1", 0, -30000},
        {"mated now deeper", "k7/1Q6/1K6/8/8/8/8/8 b - - 0 1", 3, -29997},
        {"mated in 1", "k7/2K5/8/8/8/8/8/1Q6 b - - 0 1", 2, -29996},
        {"draw", "8/8/3k4/8/8/2NK4/8/8 w - - 0 1", 7, 0},
        {"stalemate", "k7/P7/1K6/8/8/8/8/8 b - - 0 1", 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Position pos = support::positionFromFen(c.fen);
        int score = 12345;
        EXPECT_TRUE(probeTablebase(pos, c.ply, score));
        EXPECT_EQ(score, c.score);
    }
}

TEST(ProbeScore, MateDistanceSurvivesEveryPlyAndLongValuesStayBelowMates) {
    for (int ply = 0; ply < 64; ++ply) {
        for (int n = 1; n <= 126; ++n) {
            EXPECT_EQ(tableValueToScore(32767 - n, ply), 30000 - (ply + 2 * n - 1));
            EXPECT_EQ(tableValueToScore(-32766 + n, ply), -30000 + (ply + 2 * n));
        }
        EXPECT_EQ(tableValueToScore(-32766, ply), -30000 + ply);
        // What a damaged block may hold: a "win" or "loss" too long to be one, or mate in 0.
        for (int value : {1, 2, 5000, -1, -2, -5000, 32767})
            EXPECT_FALSE(plausibleTableValue(value, ply)) << value << " at ply " << ply;
        for (int value : {32766, 32767 - 300, 32640, -32766, -32766 + 300, -32640, 0})
            EXPECT_TRUE(plausibleTableValue(value, ply)) << value << " at ply " << ply;
        EXPECT_EQ(tableValueToScore(0, ply), 0);
        EXPECT_LT(tableValueToScore(TableValueWonLong, ply), 29800);
        EXPECT_GT(tableValueToScore(-TableValueWonLong, ply), -29800);
        EXPECT_GT(tableValueToScore(TableValueWonLong, ply), 0);
    }
}

TEST_F(Probe, CountsOnlyProbesWithinReach) {
    struct Case {
        const char* name;
        const char* path;  // "3" for the 3-man tables
        const char* fen;
        bool counted, hit;
    } cases[] = {
        {"nothing registered", "", "k7/8/1K6/8/8/8/7Q/8 w - - 0 1", false, false},
        {"seven men", "3", "k7/pp6/1K6/8/8/8/PP6/1Q6 w - - 0 1", false, false},
        {"four men, three-man tables", "3", "k7/p7/1K6/8/8/8/8/1Q6 w - - 0 1", false, false},
        {"found", "3", "k7/8/1K6/8/8/8/7Q/8 w - - 0 1", true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = *c.path ? support::threeManTables().plain : "";
        initTablebases(1, path.c_str());
        Position pos = support::positionFromFen(c.fen);
        Nalimov.probeCount = 5;
        Nalimov.tbHits = 5;
        resetTablebaseCounters();
        int score = 0;
        EXPECT_EQ(probeTablebase(pos, 0, score), c.hit);
        EXPECT_EQ(Nalimov.probeCount.load(), c.counted ? 1u : 0u);
        EXPECT_EQ(Nalimov.tbHits.load(), c.hit ? 1u : 0u);
    }
}

TEST_F(Probe, MaterialWithoutItsFileIsCountedButNotFound) {
    const std::string dir = freshDirectory("probe_only_kqk");
    for (const char* name : {"/kqk.nbw", "/kqk.nbb"})
        std::filesystem::copy_file(support::threeManTables().plain + name, dir + name);
    ASSERT_EQ(initTablebases(1, dir.c_str()), 3);
    resetTablebaseCounters();
    int score = 0;
    Position knk = support::positionFromFen("8/8/3k4/8/8/2NK4/8/8 w - - 0 1");
    EXPECT_FALSE(probeTablebase(knk, 0, score));
    EXPECT_EQ(Nalimov.probeCount.load(), 1u);
    EXPECT_EQ(Nalimov.tbHits.load(), 0u);
}

TEST_F(Probe, ReadFailureTurnsOffOnlyThatSide) {
    const std::string dir = freshDirectory("probe_failure");
    for (const char* name : {"/kqk.nbw", "/kqk.nbb"})
        std::filesystem::copy_file(support::threeManTables().plain + name, dir + name);
    ASSERT_EQ(initTablebases(1, dir.c_str()), 3);
    std::filesystem::remove(dir + "/kqk.nbb");
    Position black = support::positionFromFen("k7/8/1K6/8/8/8/7Q/8 b - - 0 1");
    Position white = support::positionFromFen("k7/8/1K6/8/8/8/7Q/8 w - - 0 1");
    int score = 0;
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        EXPECT_FALSE(probeTablebase(black, 0, score));
        EXPECT_TRUE(probeTablebase(white, 0, score));
        EXPECT_EQ(score, 29999);
    }
    EXPECT_EQ(tableFiles[findTable("kqk")][1].registered.load(), 0);
}

TEST(ProbeValues, BytesWidenToTheValueScale) {
    // kqk.nbw holding every byte value in turn, kppkp.nbb (sparse, all zero) and a 16-bit
    // krnknn.nbw of a few entries.
    const std::string dir = freshDirectory("probe_values");
    std::vector<uint8_t> bytes(tableDescriptors[5].size[0]);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = uint8_t(i);
    writeBytes(dir + "/kqk.nbw", bytes);
    writeBytes(dir + "/kppkp.nbb", {});
    std::filesystem::resize_file(dir + "/kppkp.nbb", tableDescriptors[36].size[1]);
    writeBytes(dir + "/krnknn.nbw", {0x34, 0x12, 0xFF, 0xFF, 0x02, 0x80, 0xFF, 0x7F, 0x05});
    ASSERT_EQ(initTablebases(1, dir.c_str()), 6);

    struct Case {
        int table, side;
        uint32_t index;
        int value;
    } cases[] = {
        {5, 0, 0, 0},         {5, 0, 1, 32641},     {5, 0, 126, 32766},  {5, 0, 127, TableValueNone},
        {5, 0, 128, 32640},   {5, 0, 129, -32640},  {5, 0, 130, -32766}, {5, 0, 255, -32641},
        {5, 0, 256 + 64, 32704}, {5, 0, 25628, 32640 + (25628 & 255)},
        {5, 0, 25629, TableValueNone},  // past the table
        {36, 1, 56802428, -32639}, {36, 1, 71071628, -32639}, {36, 1, 56802429, 0}, {36, 0, 56802428, TableValueNone},
        {151, 0, 0, 0x1234},  {151, 0, 1, -1},      {151, 0, 2, -32766}, {151, 0, 3, TableValueNone},
        {151, 0, 4, TableValueNone},  // half an entry at the end of the file
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.table) + " " + std::to_string(c.index));
        EXPECT_EQ(readTableValue(c.table, c.side, c.index), c.value);
    }
    initTablebases(1, nullptr);
}

TEST_F(Probe, ThreadsProbingAtOnceAgreeWithOneThread) {
    // Compressed files and a cache of a few blocks: every thread keeps loading, decoding and
    // evicting while the others read.
    ASSERT_EQ(initTablebases(1, support::threeManTables().compressed.c_str()), 3);
    std::vector<uint8_t> memory(5 * CacheBlockBytes);
    layoutCache(memory.data(), memory.size());
    std::vector<Position> positions;
    std::vector<int> expected;
    std::mt19937 random(7);
    const int codes[] = {WHITE_PAWN, WHITE_ROOK, WHITE_QUEEN, BLACK_BISHOP, BLACK_PAWN};
    while (positions.size() < ThreadPositions) {
        const int code = codes[random() % 5];
        const std::vector<int> men = {WHITE_KING, BLACK_KING, code};
        std::vector<int> squares;
        for (int i = 0; i < 3; ++i) squares.push_back(SquareFrom64(int(random() % 64)));
        if (squares[0] == squares[1] || squares[2] == squares[0] || squares[2] == squares[1]) continue;
        if (TypeOf(code) == PAWN && (RankOf(squares[2]) == 0 || RankOf(squares[2]) == 7)) continue;
        Position pos;
        placeMen(pos, men, squares, int(random() % 2));
        if (!legal(pos)) continue;
        int score = 0;
        if (!probeTablebase(pos, 0, score)) continue;
        positions.push_back(pos);
        expected.push_back(score);
    }
    constexpr int Threads = 8, Rounds = 2;
    std::vector<int> wrong(Threads, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < Threads; ++t)
        threads.emplace_back([&, t] {
            for (int round = 0; round < Rounds; ++round)
                for (size_t i = 0; i < positions.size(); ++i) {
                    const size_t k = (i * 7 + size_t(t) * 53) % positions.size();
                    int score = 0;
                    wrong[t] += !probeTablebase(positions[k], 0, score) || score != expected[k];
                }
        });
    for (std::thread& thread : threads) thread.join();
    for (int t = 0; t < Threads; ++t) EXPECT_EQ(wrong[t], 0) << "thread " << t;
}

}  // namespace
}  // namespace brinz
