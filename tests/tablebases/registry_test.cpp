#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

#include "options/options.h"
#include "support/engine_process.h"
#include "support/engine_setup.h"
#include "support/tablebase_files.h"
#include "tablebases/block_cache.h"
#include "tablebases/registry.h"

namespace brinz {
namespace {

namespace fs = std::filesystem;
using support::freshDirectory;
using support::patternBytes;
using support::writeBytes;

constexpr int KQK = 5;
constexpr uint32_t KqkWhiteSize = 25629;

std::string registeredName(int table, int side) {
    const char* name = tableFiles[table][side].fileName;
    return tableFiles[table][side].registered.load() && name ? name : "";
}

// A valid compressed kqk.nbw, made once per process.
const std::vector<uint8_t>& compressedKqk() {
    static const std::vector<uint8_t> bytes = [] {
        const std::string dir = freshDirectory("registry_compressed_kqk");
        writeBytes(dir + "/kqk.nbw", patternBytes(KqkWhiteSize));
        if (!support::compressInto(dir + "/kqk.nbw", dir)) return std::vector<uint8_t>();
        return support::readBytes(dir + "/kqk.nbw.emd");
    }();
    return bytes;
}

TEST(Registry, EmptyPathRegistersNothingAndAllocatesNoCache) {
    for (const char* path : {"", static_cast<const char*>(nullptr)}) {
        SCOPED_TRACE(path ? "empty text" : "no text");
        EXPECT_EQ(initTablebases(4, path), 0);
        EXPECT_EQ(Nalimov.maxPieces, 0);
        EXPECT_EQ(Nalimov.cacheMemory, nullptr);
        EXPECT_EQ(cacheBlockCount(), 0);
    }
}

TEST(Registry, FirstDirectoryWinsWhateverTheSeparator) {
    const std::string a = freshDirectory("registry_first_a"), b = freshDirectory("registry_first_b");
    writeBytes(a + "/kqk.nbw", patternBytes(KqkWhiteSize));
    writeBytes(b + "/kqk.nbw", patternBytes(KqkWhiteSize));
    writeBytes(b + "/kqk.nbb", patternBytes(28644));
    const std::string missing = a + "/none";
    struct Case {
        std::string path, white, black;
    } cases[] = {
        {a + ";" + b, a + "/kqk.nbw", b + "/kqk.nbb"},
        {b + "," + a, b + "/kqk.nbw", b + "/kqk.nbb"},
        {missing + ";" + a + "/," + b + "/", a + "/kqk.nbw", b + "/kqk.nbb"},  // no second "/"
        {a + "\\;" + b, b + "/kqk.nbw", b + "/kqk.nbb"},  // "a\" + "kqk.nbw" names no file here
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(initTablebases(1, c.path.c_str()), 3);
        EXPECT_EQ(registeredName(KQK, 0), c.white);
        EXPECT_EQ(registeredName(KQK, 1), c.black);
    }
}

TEST(Registry, LongestDirectoriesAreSafe) {
    // The longest directory taken leaves room for the longest name inside it; a longer one
    // is skipped whole.
    for (size_t length : {1015u, 1016u, 5000u}) {
        SCOPED_TRACE(length);
        const std::string path = std::string(length - 1, 'd') + "/;" + std::string(length, 'e');
        EXPECT_EQ(initTablebases(1, path.c_str()), 0);
    }
}

TEST(Registry, NameFormsAreTriedInOrder) {
    ASSERT_FALSE(compressedKqk().empty()) << "brinz-tbcompress failed";
    const char* forms[] = {"kqk.nbw", "kqk.nbw.emd", "kqk_nbw.emd", "kqk_nbw_emd", "kqknbw.emd"};
    for (int first = 0; first < 5; ++first) {
        SCOPED_TRACE(forms[first]);
        const std::string dir = freshDirectory("registry_forms");
        for (int form = first; form < 5; ++form)
            writeBytes(dir + "/" + forms[form], form == 0 ? patternBytes(KqkWhiteSize) : compressedKqk());
        initTablebases(1, dir.c_str());
        EXPECT_EQ(registeredName(KQK, 0), dir + "/" + forms[first]);
        EXPECT_EQ(tableFiles[KQK][0].compressed != nullptr, first > 0);
    }
}

TEST(Registry, OpenAttemptsFollowTheNameRules) {
    const std::string dir = freshDirectory("registry_attempts");
    // Files that would stop the engine if they were opened: the short form of a six-man
    // table, and the black-to-move file of a symmetric table.
    writeBytes(dir + "/knnknnnbw.emd", {1, 2, 3});
    writeBytes(dir + "/kqkq.nbb", {1, 2, 3});
    writeBytes(dir + "/kqkq.nbb.emd", {1, 2, 3});
    initTablebases(1, nullptr);
    struct Case {
        const char* table;
        int side, attempts;
    } cases[] = {
        {"kqkr", 0, 5},    // plain and four compressed forms
        {"kppkp", 1, 5},   // five men: the short form last
        {"knnknn", 0, 4},  // six men: never the short form
        {"kqkq", 1, 5},    // symmetric: the white-to-move file serves black too
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.table);
        const int before = scanStatistics.openAttempts;
        EXPECT_EQ(registerTableFile(findTable(c.table), dir.c_str(), c.side), 0);
        EXPECT_EQ(scanStatistics.openAttempts - before, c.attempts);
    }
}

struct FatalCase {
    const char* name;
    const char* file;
    int size;             // plain pattern bytes, or -1 for the compressed kqk, -2 for garbage
    const char* message;  // after "*** " and the directory
};

const FatalCase FatalCases[] = {
    {"PlainOneByteLong", "kqk.nbw", int(KqkWhiteSize) + 1, "/kqk.nbw corrupted 25629 25629 25630"},
    {"PlainOneByteShort", "kqk.nbw", int(KqkWhiteSize) - 1, "/kqk.nbw corrupted 25629 25629 25628"},
    {"CompressedOfTheWrongTable", "krk.nbw.emd", -1, "/krk.nbw.emd corrupted 27030 27030 25629"},
    {"UnreadableCompressedHeader", "kqk_nbw.emd", -2, "/kqk_nbw.emd - read error"},
};

std::string fatalDirectory(const FatalCase& c) {
    const std::string dir = freshDirectory(std::string("registry_fatal_") + c.name);
    if (c.size >= 0) writeBytes(dir + "/" + c.file, patternBytes(size_t(c.size)));
    else if (c.size == -1) writeBytes(dir + "/" + c.file, compressedKqk());
    else writeBytes(dir + "/" + c.file, std::vector<uint8_t>(200, 'x'));
    return dir;
}

std::string expectedLine(const FatalCase& c, const std::string& dir) {
    return std::string(c.size == -2 ? "*** Unable to read " : "*** ") + dir + c.message;
}

// A regular expression matching `text` literally.
std::string literal(const std::string& text) {
    std::string pattern;
    for (char c : text) {
        if (std::strchr("\\^$.|?*+()[]{}", c)) pattern += '\\';
        pattern += c;
    }
    return pattern;
}

class RegistryFatal : public testing::TestWithParam<FatalCase> {};

TEST_P(RegistryFatal, StopsWithItsMessageAndStatusOne) {
    ASSERT_FALSE(compressedKqk().empty());
    const std::string dir = fatalDirectory(GetParam());
    // The message goes to standard output; the death test watches standard error.
    EXPECT_EXIT(
        {
            dup2(2, 1);
            initTablebases(1, dir.c_str());
        },
        testing::ExitedWithCode(1), literal(expectedLine(GetParam(), dir)));
}

TEST_P(RegistryFatal, StopsTheEngineWhenTheOptionsAreApplied) {
    ASSERT_FALSE(compressedKqk().empty());
    const std::string dir = fatalDirectory(GetParam());
    support::EngineProcess engine;
    engine.send("setoption name NalimovPath value " + dir);
    // Whichever command applies the options first ("go" or "eval") scans the path.
    engine.send("position fen 8/8/8/8/8/8/8/K1k5 w - - 0 1");
    engine.send("eval");
    engine.send("go depth 1");
    engine.send("isready");
    // Until the engine ends its output or answers "readyok" (then it is still running).
    bool seen = false, alive = false;
    std::string line;
    while (!alive && engine.readLine(line, 20000)) {
        seen |= line == expectedLine(GetParam(), dir);
        alive |= line == "readyok";
    }
    if (alive && !seen) GTEST_SKIP() << "no command of this build applies the options yet";
    EXPECT_TRUE(seen);
    EXPECT_EQ(engine.waitExit(), 1);
}

INSTANTIATE_TEST_SUITE_P(Registry, RegistryFatal, testing::ValuesIn(FatalCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Registry, ScansOnlyWhenPathOrCacheSizeChanged) {
    support::initialiseTables();
    const std::string a = freshDirectory("registry_rescan_a"), b = freshDirectory("registry_rescan_b");
    writeBytes(a + "/kqk.nbw", patternBytes(KqkWhiteSize));
    writeBytes(b + "/kqk.nbw", patternBytes(KqkWhiteSize));
    struct Step {
        const char* option;
        std::string value;
        bool scans;
    } steps[] = {
        {"NalimovPath", a, true},  {"", "", false},          {"NalimovCache", "2", true}, {"NalimovCache", "2", false},
        {"NalimovPath", b, true},  {"NalimovPath", b, false}, {"NalimovPath", a, true},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(std::string(step.option) + " " + step.value);
        if (*step.option) handleSetOption((std::string(step.option) + " value " + step.value).c_str());
        const int before = scanStatistics.scans;
        applyOptions(WHITE);
        EXPECT_EQ(scanStatistics.scans - before, step.scans ? 1 : 0);
        EXPECT_EQ(Nalimov.maxPieces, 3);
    }
    handleSetOption("NalimovPath value c:\\tb");
    handleSetOption("NalimovCache value 4");
}

}  // namespace
}  // namespace brinz
