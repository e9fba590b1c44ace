#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "support/engine_setup.h"
#include "support/tablebase_files.h"
#include "tablebases/probe.h"
#include "tablebases/registry.h"

namespace brinz {
namespace {

namespace fs = std::filesystem;
using support::TableSet;

// The longest win in moves stored in a table file, and whether it holds anything but draws
// and unreachable entries.
struct FileSummary {
    int longestWin = 0;
    bool onlyDraws = true;
};

FileSummary summarise(const std::string& path) {
    FileSummary summary;
    for (uint8_t byte : support::readBytes(path)) {
        const int b = int8_t(byte);
        if (b != 0 && b != 127) summary.onlyDraws = false;
        if (b >= 1 && b <= 126) summary.longestWin = std::max(summary.longestWin, 127 - b);
    }
    return summary;
}

// Every file of the directory has its descriptor's size, and a symmetric table has no .nbb.
void expectDescriptorSizes(const std::string& dir) {
    int files = 0;
    for (const auto& entry : fs::directory_iterator(dir)) {
        const std::string name = entry.path().stem().string();
        const std::string extension = entry.path().extension().string();
        SCOPED_TRACE(entry.path().filename().string());
        const int table = findTable(name.c_str());
        ASSERT_NE(table, 0);
        ASSERT_TRUE(extension == ".nbw" || extension == ".nbb");
        const int side = extension == ".nbb";
        EXPECT_FALSE(side && (tableDescriptors[table].flags & TB_SYMMETRIC));
        EXPECT_EQ(fs::file_size(entry.path()), tableDescriptors[table].size[side]);
        ++files;
    }
    EXPECT_GT(files, 0);
}

struct LongestCase {
    const char* table;
    int longestWin;  // moves, over both sides to move
    bool onlyDraws;
};

void expectLongest(const std::string& dir, const LongestCase& c) {
    SCOPED_TRACE(c.table);
    FileSummary total;
    for (const char* extension : {".nbw", ".nbb"}) {
        const std::string path = dir + "/" + c.table + extension;
        if (!fs::exists(path)) continue;
        const FileSummary summary = summarise(path);
        total.longestWin = std::max(total.longestWin, summary.longestWin);
        total.onlyDraws = total.onlyDraws && summary.onlyDraws;
    }
    EXPECT_EQ(total.longestWin, c.longestWin);
    EXPECT_EQ(total.onlyDraws, c.onlyDraws);
}

struct VerdictCase {
    const char* name;
    const char* fen;
    const char* verdict;  // what the "eval" line shows, or its first word
};

void expectVerdicts(const std::string& dir, const std::vector<VerdictCase>& cases) {
    support::initialiseTables();
    ASSERT_GE(initTablebases(1, dir.c_str()), 3);
    for (const VerdictCase& c : cases) {
        SCOPED_TRACE(c.name);
        Position pos = support::positionFromFen(c.fen);
        char text[24];
        const std::string verdict = describeTableValue(lookupTableValue(pos), text);
        EXPECT_EQ(verdict.substr(0, std::string(c.verdict).size()), c.verdict);
    }
    initTablebases(1, nullptr);
}

const TableSet& threeMan() { return support::threeManTables(); }

TEST(Tbgen, ThreeManFilesHaveTheDescriptorSizes) {
    if (threeMan().plain.empty()) GTEST_SKIP() << threeMan().reason;
    expectDescriptorSizes(threeMan().plain);
    for (const char* name : {"kpk", "knk", "kbk", "krk", "kqk"})
        for (const char* extension : {".nbw", ".nbb"}) EXPECT_TRUE(fs::exists(threeMan().plain + "/" + name + extension));
}

TEST(Tbgen, ThreeManTablesShowTheKnownLongestWins) {
    if (threeMan().plain.empty()) GTEST_SKIP() << threeMan().reason;
    const LongestCase cases[] = {
        {"kqk", 10, false}, {"krk", 16, false}, {"kpk", 28, false}, {"knk", 0, true}, {"kbk", 0, true},
    };
    for (const LongestCase& c : cases) expectLongest(threeMan().plain, c);
}

TEST(Tbgen, KpkKnowsItsWinsAndDraws) {
    if (threeMan().plain.empty()) GTEST_SKIP() << threeMan().reason;
    expectVerdicts(threeMan().plain, {
        // The king on the sixth rank in front of its pawn wins whoever moves.
        {"king in front, white to move", "3k4/8/3K4/3P4/8/8/8/8 w - - 0 1", "win in"},
        {"king in front, black to move", "3k4/8/3K4/3P4/8/8/8/8 b - - 0 1", "loss in"},
        // One rank lower the opposition decides.
        {"opposition held", "8/3k4/8/3K4/3P4/8/8/8 w - - 0 1", "draw"},
        {"opposition lost", "8/3k4/8/3K4/3P4/8/8/8 b - - 0 1", "loss in"},
        {"rook pawn, king in the corner", "1k6/8/K7/P7/8/8/8/8 w - - 0 1", "draw"},
        {"stalemate", "k7/P7/1K6/8/8/8/8/8 b - - 0 1", "draw"},
        {"outside the square", "k7/8/8/8/8/8/6P1/6K1 b - - 0 1", "loss in"},
        {"black pawn, colours reversed", "8/8/8/8/3p4/3k4/8/3K4 b - - 0 1", "win in"},
        {"mated now", "k7/1Q6/1K6/8/8/8/8/8 b - - 0 1", "loss in 0"},
        {"mate in one", "k7/8/1K6/8/8/8/7Q/8 w - - 0 1", "win in 1"},
        {"no table for this material", "k7/8/1K6/8/8/8/7Q/7q w - - 0 1", "not found"},
    });
}

TEST(Tbgen, FourManTablesShowTheKnownFacts) {
    const TableSet& fourMan = support::fourManTables();
    if (fourMan.plain.empty()) GTEST_SKIP() << fourMan.reason;
    expectDescriptorSizes(fourMan.plain);
    // kqkr and kpkp lead to every pawnless table of one piece a side and every piece against a
    // pawn; the symmetric ones among them store white to move only.
    for (const char* name : {"kqkq", "krkr", "kbkb", "knkn"}) {
        EXPECT_TRUE(fs::exists(fourMan.plain + "/" + name + ".nbw")) << name;
        EXPECT_FALSE(fs::exists(fourMan.plain + "/" + name + ".nbb")) << name;
    }
    for (const char* name : {"kqkp", "krkp", "kbkp", "knkp", "kqkr", "kpkp"})
        EXPECT_TRUE(fs::exists(fourMan.plain + "/" + name + ".nbb")) << name;
    const LongestCase cases[] = {
        {"kqkr", 35, false}, {"krkn", 40, false}, {"kqkn", 21, false}, {"kqkb", 17, false}, {"kqkq", 13, false},
    };
    for (const LongestCase& c : cases) expectLongest(fourMan.plain, c);
    expectVerdicts(fourMan.plain, {
        {"promotion mates", "k7/2P5/1K6/8/8/8/7p/8 w - - 0 1", "win in 1"},
        {"queen against rook, mated", "k7/1Q6/1K6/8/8/8/8/r7 b - - 0 1", "loss in 0"},
        {"queen against rook", "8/8/8/5k2/8/8/2r5/K2Q4 w - - 0 1", "win in"},
    });
}

TEST(Tbgen, CommandLineErrorsAreReported) {
    const std::string dir = support::freshDirectory("tbgen_usage");
    struct Case {
        const char* name;
        std::string arguments;
        int status;
    } cases[] = {
        {"no signature", "", 2},
        {"help", "-h", 0},
        {"unknown signature", "-o '" + dir + "' kqqqqk", 2},
        {"five men", "-o '" + dir + "' kqrkr", 2},
        {"a file for a directory", "-o '" + dir + "/file' kqk", 2},
        {"-o without a directory", "-o", 2},
    };
    support::writeBytes(dir + "/file", {});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(support::runTool("tbgen", c.arguments + " 2>/dev/null"), c.status);
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
}

// An output folder that did not exist yet was once refused as "not a directory".
TEST(Tbgen, OutputDirectoryIsMadeWhenMissing) {
    const std::string dir = support::freshDirectory("tbgen_new_output") + "/new/deeper";
    ASSERT_EQ(support::runTool("tbgen", "-o '" + dir + "' kqk"), 0);
    EXPECT_EQ(fs::file_size(dir + "/kqk.nbw"), 25629u);
    EXPECT_TRUE(fs::exists(dir + "/kqk.nbb"));
}

}  // namespace
}  // namespace brinz
