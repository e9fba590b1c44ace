#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <sys/stat.h>
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

enum class Damage { Plain, Compressed, Garbage, Directory, Fifo, Device };

struct DamageCase {
    const char* name;
    const char* file;
    Damage damage;
    int size;             // plain pattern bytes
    const char* message;  // after "*** " and the directory
};

// Each of these once stopped the engine (a FIFO hung it for good) in the middle of a game.
const DamageCase DamageCases[] = {
    {"PlainOneByteLong", "kqk.nbw", Damage::Plain, int(KqkWhiteSize) + 1, "/kqk.nbw corrupted 25629 25629 25630"},
    {"PlainOneByteShort", "kqk.nbw", Damage::Plain, int(KqkWhiteSize) - 1, "/kqk.nbw corrupted 25629 25629 25628"},
    {"PlainEmpty", "kqk.nbw", Damage::Plain, 0, "/kqk.nbw corrupted 25629 25629 0"},
    {"CompressedOfTheWrongTable", "krk.nbw.emd", Damage::Compressed, 0, "/krk.nbw.emd corrupted 27030 27030 25629"},
    {"UnreadableCompressedHeader", "kqk_nbw.emd", Damage::Garbage, 0, "/kqk_nbw.emd - read error"},
    {"DirectoryNamedLikeATable", "kqk.nbw", Damage::Directory, 0, "/kqk.nbw: not a regular file"},
    {"FifoNamedLikeATable", "kqk.nbw", Damage::Fifo, 0, "/kqk.nbw: not a regular file"},
    {"DeviceNamedLikeATable", "kqk.nbw", Damage::Device, 0, "/kqk.nbw: not a regular file"},
};

std::string damagedDirectory(const DamageCase& c) {
    const std::string dir = freshDirectory(std::string("registry_damaged_") + c.name);
    const std::string path = dir + "/" + c.file;
    switch (c.damage) {
        case Damage::Plain: writeBytes(path, patternBytes(size_t(c.size))); break;
        case Damage::Compressed: writeBytes(path, compressedKqk()); break;
        case Damage::Garbage: writeBytes(path, std::vector<uint8_t>(200, 'x')); break;
        case Damage::Directory: fs::create_directory(path); break;
        case Damage::Fifo: EXPECT_EQ(mkfifo(path.c_str(), 0644), 0); break;
        case Damage::Device: fs::create_symlink("/dev/null", path); break;
    }
    return dir;
}

std::string expectedLine(const DamageCase& c, const std::string& dir) {
    return std::string(c.damage == Damage::Garbage ? "*** Unable to read " : "*** ") + dir + c.message;
}

class RegistryDamage : public testing::TestWithParam<DamageCase> {};

TEST_P(RegistryDamage, LeavesTheFileOutAndTakesALaterDirectory) {
    ASSERT_FALSE(compressedKqk().empty());
    const std::string dir = damagedDirectory(GetParam());
    const std::string good = freshDirectory("registry_damage_good");
    writeBytes(good + "/kqk.nbw", patternBytes(KqkWhiteSize));
    const std::string table = std::string(GetParam().file).substr(0, 3);
    testing::internal::CaptureStdout();
    EXPECT_EQ(initTablebases(1, dir.c_str()), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), expectedLine(GetParam(), dir) + "\n");
    EXPECT_EQ(registeredName(findTable(table.c_str()), 0), "");
    testing::internal::CaptureStdout();
    EXPECT_EQ(initTablebases(1, (dir + ";" + good).c_str()), 3);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(registeredName(KQK, 0), good + "/kqk.nbw");
    if (table != "kqk") {
        EXPECT_EQ(registeredName(findTable(table.c_str()), 0), "");
    }
    initTablebases(1, nullptr);
}

TEST_P(RegistryDamage, EnginePrintsTheLineAndPlaysOn) {
    ASSERT_FALSE(compressedKqk().empty());
    const std::string dir = damagedDirectory(GetParam());
    support::EngineProcess engine;
    engine.send("setoption name NalimovPath value " + dir);
    engine.send("position fen k7/8/1K6/8/8/8/7Q/8 w - - 0 1");
    engine.send("go depth 3");
    std::vector<std::string> lines = engine.readUntil("bestmove");
    ASSERT_FALSE(lines.empty()) << "no answer";
    EXPECT_NE(std::find(lines.begin(), lines.end(), expectedLine(GetParam(), dir)), lines.end());
    EXPECT_EQ(support::commandOutput(engine, {"go depth 1"}).back().rfind("bestmove ", 0), 0u);
    engine.send("quit");
    EXPECT_EQ(engine.waitExit(), 0);
}

INSTANTIATE_TEST_SUITE_P(Registry, RegistryDamage, testing::ValuesIn(DamageCases),
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
