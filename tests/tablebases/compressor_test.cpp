// The brinz-tbcompress program, run as users run it, checked through the engine's decoder.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <random>
#include <string>
#include <sys/wait.h>

#include "tablebases/compressed_test_files.h"
#include "tablebases/decoder.h"

namespace brinz {
namespace {

using testfiles::BlockBuffers;
using testfiles::OpenedFile;
using testfiles::TempDirectory;

const std::string Compressor = std::string(BRINZ_TOOLS_DIR) + "/brinz-tbcompress";

struct RunResult {
    int status = -1;
    std::string output, errors;
};

// Runs the compressor with `arguments` (already quoted), capturing both output streams.
RunResult runCompressor(const TempDirectory& dir, const std::string& arguments) {
    std::string out = dir.file("stdout.txt"), err = dir.file("stderr.txt");
    int raw = std::system((Compressor + " " + arguments + " >'" + out + "' 2>'" + err + "'").c_str());
    RunResult result;
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    auto text = [](const std::string& name) {
        std::vector<uint8_t> bytes = testfiles::readBytes(name);
        return std::string(bytes.begin(), bytes.end());
    };
    result.output = text(out);
    result.errors = text(err);
    return result;
}

std::string shellQuoted(const std::string& path) { return "'" + path + "'"; }

class CompressorTest : public testing::Test {
protected:
    void SetUp() override {
        if (!std::filesystem::exists(Compressor)) GTEST_SKIP() << "brinz-tbcompress is not built at " << Compressor;
    }
    TempDirectory dir;
};

// Every block of `name` decodes back to `original`.
void expectDecodesTo(const std::string& name, const std::vector<uint8_t>& original) {
    OpenedFile opened(name);
    ASSERT_EQ(opened.error, 0);
    const CompressedFileInfo& info = *opened.info;
    ASSERT_EQ(info.blockSize, 8192u);
    ASSERT_EQ(info.blockCount, (original.size() + 8191) / 8192);
    ASSERT_EQ(uint64_t(info.blockCount - 1) * 8192 + info.lastBlockLength, original.size());
    BlockBuffers buffers;
    for (uint32_t i = 0; i < info.blockCount; i++) {
        SCOPED_TRACE("block " + std::to_string(i));
        uint32_t length = i + 1 == info.blockCount ? info.lastBlockLength : 8192;
        ASSERT_EQ(readCompressedBlock(info, *buffers.state, opened.file, i), 0);
        ASSERT_EQ(decodeBlock(info, *buffers.state, length), 0);
        ASSERT_TRUE(std::equal(original.begin() + 8192 * size_t(i), original.begin() + 8192 * size_t(i) + length,
                               buffers.output.begin()));
    }
}

using Generator = std::function<uint8_t(size_t index, std::mt19937& random)>;

uint8_t zeros(size_t, std::mt19937&) { return 0; }
uint8_t noise(size_t, std::mt19937& random) { return uint8_t(random()); }

// Runs of 100 to 3000 equal bytes.
Generator longRuns() {
    auto state = std::make_shared<std::pair<size_t, uint8_t>>(0, 0);
    return [state](size_t, std::mt19937& random) {
        if (state->first == 0) *state = {100 + random() % 2900, uint8_t(random())};
        state->first--;
        return state->second;
    };
}

// A pattern whose period changes every block: 3, 7, 13, 100, 2.
uint8_t patterns(size_t index, std::mt19937&) {
    const size_t periods[] = {3, 7, 13, 100, 2};
    size_t period = periods[(index / 8192) % 5];
    return uint8_t(index % period * 37 + period);
}

// Something like a table: short runs over a few common values, now and then any byte.
Generator tableLike() {
    auto state = std::make_shared<std::pair<size_t, uint8_t>>(0, 0);
    return [state](size_t, std::mt19937& random) {
        if (state->first == 0) {
            const uint8_t common[] = {0, 0, 0, 0xFF, 0xFE, 1, 2, 3};
            const size_t runs[] = {1, 1, 2, 3, 8, 16, 64};
            state->second = random() % 10 == 0 ? uint8_t(random()) : common[random() % 8];
            state->first = runs[random() % 7];
        }
        state->first--;
        return state->second;
    };
}

struct RoundTripCase {
    const char* name;
    std::function<Generator()> generator;
    size_t size;
};

const RoundTripCase RoundTripCases[] = {
    {"ZerosThreeBlocks", [] { return Generator(zeros); }, 3 * 8192},
    {"RandomLastBlockStoredOrNot", [] { return Generator(noise); }, 2 * 8192 + 4096},
    {"LongRuns", longRuns, 5 * 8192 + 777},
    {"ShortRepeatingPatterns", [] { return Generator(patterns); }, 5 * 8192 + 1},
    {"TableLike", tableLike, 6 * 8192 + 4000},
    {"ManyBlocks", tableLike, 40 * 8192 + 300},
    {"SingleByte", [] { return Generator(noise); }, 1},
    {"SingleShortBlock", tableLike, 5000},
    {"ExactlyOneBlock", tableLike, 8192},
    {"LastBlockOfFifteen", tableLike, 8192 + 15},
    {"LastBlockOfSixteen", longRuns, 8192 + 16},
    {"LastBlockOneShort", tableLike, 2 * 8192 - 1},
    {"LastBlockFull", longRuns, 3 * 8192},
};

class CompressorRoundTrip : public CompressorTest, public testing::WithParamInterface<RoundTripCase> {};

TEST_P(CompressorRoundTrip, EveryBlockDecodesBack) {
    const RoundTripCase& c = GetParam();
    std::mt19937 random(12345);
    Generator next = c.generator();
    std::vector<uint8_t> table(c.size);
    for (size_t i = 0; i < c.size; i++) table[i] = next(i, random);
    std::string input = dir.file("kqk.nbw");
    testfiles::writeBytes(input, table);
    RunResult run = runCompressor(dir, shellQuoted(input));
    ASSERT_EQ(run.status, 0) << run.errors;
    EXPECT_EQ(testfiles::readBytes(input), table);
    expectDecodesTo(input + ".emd", table);
}

INSTANTIATE_TEST_SUITE_P(Compressor, CompressorRoundTrip, testing::ValuesIn(RoundTripCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(CompressorTest, IncompressibleBlocksAreStored) {
    std::mt19937 random(5);
    std::vector<uint8_t> table(2 * 8192);
    for (auto& b : table) b = uint8_t(random());
    testfiles::writeBytes(dir.file("kbk.nbb"), table);
    ASSERT_EQ(runCompressor(dir, shellQuoted(dir.file("kbk.nbb"))).status, 0);
    OpenedFile opened(dir.file("kbk.nbb.emd"));
    ASSERT_EQ(opened.error, 0);
    EXPECT_EQ(blockOffset(*opened.info, 1) - blockOffset(*opened.info, 0), 8192u);
    EXPECT_EQ(blockOffset(*opened.info, 2) - blockOffset(*opened.info, 1), 8192u);
}

TEST_F(CompressorTest, SameInputGivesSameBytes) {
    std::mt19937 random(3);
    Generator next = tableLike();
    std::vector<uint8_t> table(4 * 8192 + 100);
    for (size_t i = 0; i < table.size(); i++) table[i] = next(i, random);
    testfiles::writeBytes(dir.file("krk.nbw"), table);
    std::filesystem::create_directory(dir.file("again"));
    ASSERT_EQ(runCompressor(dir, shellQuoted(dir.file("krk.nbw"))).status, 0);
    ASSERT_EQ(runCompressor(dir, "-o " + shellQuoted(dir.file("again")) + " " + shellQuoted(dir.file("krk.nbw"))).status, 0);
    std::vector<uint8_t> first = testfiles::readBytes(dir.file("krk.nbw.emd"));
    EXPECT_FALSE(first.empty());
    EXPECT_EQ(testfiles::readBytes(dir.file("again/krk.nbw.emd")), first);
}

struct CommandCase {
    const char* name;
    std::function<std::string(const TempDirectory&)> arguments;
    int status;
    const char* message;            // expected in the output or errors
    std::vector<const char*> made;  // files that must exist afterwards
    std::vector<const char*> notMade;
};

const CommandCase CommandCases[] = {
    {"NoArguments", [](auto&) { return std::string(); }, 2, "usage: brinz-tbcompress", {}, {}},
    {"Help", [](auto&) { return std::string("--help"); }, 0, "usage: brinz-tbcompress", {}, {}},
    {"UnknownOption", [](auto& d) { return "-x " + shellQuoted(d.file("good.nbw")); }, 2, "unknown option", {},
     {"good.nbw.emd"}},
    {"OptionWithoutDirectory", [](auto&) { return std::string("-o"); }, 2, "-o needs a directory", {}, {}},
    {"OutputDirectoryMissing", [](auto& d) { return "-o " + shellQuoted(d.file("nowhere")) + " " + shellQuoted(d.file("good.nbw")); },
     2, "not a directory", {}, {}},
    {"MissingFile", [](auto& d) { return shellQuoted(d.file("absent.nbw")); }, 1, "no such file", {}, {"absent.nbw.emd"}},
    {"EmptyFile", [](auto& d) { return shellQuoted(d.file("empty.nbw")); }, 1, "wrong size", {}, {"empty.nbw.emd"}},
    {"DirectoryAsInput", [](auto& d) { return shellQuoted(d.file("out")); }, 1, "cannot read", {}, {}},
    {"OneBadFileAmongGoodOnes",
     [](auto& d) { return shellQuoted(d.file("good.nbw")) + " " + shellQuoted(d.file("absent.nbw")) + " " + shellQuoted(d.file("good.nbb")); },
     1, "absent.nbw: no such file", {"good.nbw.emd", "good.nbb.emd"}, {}},
    {"OutputDirectory", [](auto& d) { return "-o " + shellQuoted(d.file("out")) + " " + shellQuoted(d.file("good.nbw")); }, 0,
     "good.nbw", {"out/good.nbw.emd", "good.nbw"}, {"good.nbw.emd"}},
};

class CompressorCommand : public CompressorTest, public testing::WithParamInterface<CommandCase> {};

TEST_P(CompressorCommand, ExitsAndWritesAsDocumented) {
    const CommandCase& c = GetParam();
    testfiles::writeBytes(dir.file("good.nbw"), std::vector<uint8_t>(9000, 7));
    testfiles::writeBytes(dir.file("good.nbb"), std::vector<uint8_t>(100, 9));
    testfiles::writeBytes(dir.file("empty.nbw"), {});
    std::filesystem::create_directory(dir.file("out"));
    RunResult run = runCompressor(dir, c.arguments(dir));
    EXPECT_EQ(run.status, c.status) << run.output << run.errors;
    EXPECT_NE((run.output + run.errors).find(c.message), std::string::npos) << run.output << run.errors;
    for (const char* name : c.made) EXPECT_TRUE(std::filesystem::exists(dir.file(name))) << name;
    for (const char* name : c.notMade) EXPECT_FALSE(std::filesystem::exists(dir.file(name))) << name;
}

INSTANTIATE_TEST_SUITE_P(Compressor, CompressorCommand, testing::ValuesIn(CommandCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace brinz
