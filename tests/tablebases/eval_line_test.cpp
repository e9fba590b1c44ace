#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/engine_process.h"
#include "support/tablebase_files.h"

namespace brinz {
namespace {

struct LineCase {
    const char* name;
    const char* fen;
    const char* line;  // the "Tablebase:" line, or "" for none
};

const LineCase LineCases[] = {
    {"MateInOne", "k7/8/1K6/8/8/8/7Q/8 w - - 0 1", "Tablebase: win in 1"},
    {"MatedNow", "k7/1Q6/1K6/8/8/8/8/8 b - - 0 1", "Tablebase: loss in 0"},
    {"LongestKpk", "8/8/8/8/8/8/P7/K6k w - - 0 1", "Tablebase: win in"},
    {"Draw", "8/8/3k4/8/8/2NK4/8/8 w - - 0 1", "Tablebase: draw"},
    {"BlackPawnWins", "8/8/8/8/3p4/3k4/8/3K4 b - - 0 1", "Tablebase: win in"},
    {"TooManyMen", "k7/1r6/1K6/8/8/8/7Q/8 w - - 0 1", ""},
    {"StartPosition", "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", ""},
};

// Every line the engine prints for "eval" up to "Evaluation:".
std::vector<std::string> evalLines(support::EngineProcess& engine, const char* fen) {
    engine.send(std::string("position fen ") + fen);
    engine.send("eval");
    return engine.readUntil("Evaluation:");
}

TEST(EvalTablebaseLine, ShowsTheStoredVerdictBeforeTheEvaluation) {
    const support::TableSet& tables = support::threeManTables();
    if (tables.plain.empty()) GTEST_SKIP() << tables.reason;
    support::EngineProcess engine;
    engine.send("setoption name NalimovPath value " + tables.compressed);
    for (const LineCase& c : LineCases) {
        SCOPED_TRACE(c.name);
        const std::vector<std::string> lines = evalLines(engine, c.fen);
        ASSERT_FALSE(lines.empty());
        const std::string expected = c.line;
        if (expected.empty()) {
            for (const std::string& line : lines) EXPECT_NE(line.rfind("Tablebase:", 0), 0u) << line;
            continue;
        }
        ASSERT_GE(lines.size(), 2u);
        EXPECT_EQ(lines[lines.size() - 2].substr(0, expected.size()), expected);
    }
}

TEST(EvalTablebaseLine, SaysNotFoundForAMaterialWithoutItsFile) {
    const support::TableSet& tables = support::threeManTables();
    if (tables.plain.empty()) GTEST_SKIP() << tables.reason;
    const std::string dir = support::freshDirectory("eval_line_kqk_only");
    for (const char* name : {"/kqk.nbw", "/kqk.nbb"}) std::filesystem::copy_file(tables.plain + name, dir + name);
    support::EngineProcess engine;
    engine.send("setoption name NalimovPath value " + dir);
    const std::vector<std::string> lines = evalLines(engine, "8/8/3k4/8/8/2NK4/8/8 w - - 0 1");
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2], "Tablebase: not found");
}

// NalimovPath was once cut at 127 characters: a folder past that point was never searched.
TEST(EvalTablebaseLine, FolderLateInALongPathIsSearched) {
    const support::TableSet& tables = support::threeManTables();
    if (tables.plain.empty()) GTEST_SKIP() << tables.reason;
    std::string path;
    for (int i = 0; i < 6; ++i) path += "/no/such/tablebase/folder/number/" + std::to_string(i) + ",";  // ";" starts a comment in brinz.cfg
    path += tables.compressed;
    ASSERT_GT(path.size() - tables.compressed.size(), 127u);
    const std::string dir = support::freshDirectory("eval_line_long_path");
    {
        std::ofstream cfg(dir + "/brinz.cfg");
        cfg << "NalimovPath = " << path << "\n";
    }
    for (bool fromFile : {false, true}) {
        SCOPED_TRACE(fromFile ? "brinz.cfg" : "setoption");
        support::EngineProcess engine(fromFile ? dir : "");
        if (!fromFile) engine.send("setoption name NalimovPath value " + path);
        const std::vector<std::string> lines = evalLines(engine, "k7/8/1K6/8/8/8/7Q/8 w - - 0 1");
        ASSERT_GE(lines.size(), 2u);
        EXPECT_EQ(lines[lines.size() - 2], "Tablebase: win in 1");
    }
}

}  // namespace
}  // namespace brinz
