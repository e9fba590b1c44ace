#include "tablebases/decoder.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>

#include "tablebases/compressed_test_files.h"

namespace brinz {
namespace {

using testfiles::BlockBuffers;
using testfiles::Bits;
using testfiles::FileRecipe;
using testfiles::OpenedFile;
using testfiles::TempDirectory;

// Values worked out by hand from the table rule; the common CRC-32 of "123456789" would be
// 0xCBF43926.
TEST(CheckValue, MatchesKnownValues) {
    EXPECT_EQ(CheckTable[0], 0x2D02EF8Du);
    EXPECT_EQ(CheckTable[1], 0x5A05DF1Bu);
    EXPECT_EQ(CheckTable[128], 0xC0BA6CADu);
    EXPECT_EQ(CheckTable[255], 0u);
    struct Case {
        std::string bytes;
        uint32_t value;
    };
    const Case cases[] = {
        {"", 0}, {std::string(1, '\0'), 0x2D02EF8D}, {"a", 0x17B7BE43}, {"123456789", 0x20D421B6},
        {std::string(64, '\xFF'), 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        EXPECT_EQ(checkValue(reinterpret_cast<const uint8_t*>(c.bytes.data()), c.bytes.size()), c.value);
    }
    // Continuing from a partial value gives the value of the whole.
    const uint8_t digits[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
    EXPECT_EQ(checkValue(digits + 4, 5, checkValue(digits, 4)), 0x20D421B6u);
}

struct HuffmanCase {
    const char* name;
    std::vector<uint8_t> lengths;
    bool valid;
    std::vector<std::pair<const char*, int>> codes;  // code bits, symbol
};

std::vector<uint8_t> chainLengths() {
    // Symbol i has length i + 1 up to 20, symbol 20 has 20: codes run past both lookups.
    std::vector<uint8_t> lengths;
    for (int i = 0; i < 20; i++) lengths.push_back(uint8_t(i + 1));
    lengths.push_back(20);
    return lengths;
}

const HuffmanCase HuffmanCases[] = {
    {"Canonical", {2, 1, 3, 3}, true, {{"0", 1}, {"10", 0}, {"110", 2}, {"111", 3}}},
    {"EqualLengthsRiseWithSymbol", {0, 2, 2, 0, 2, 2}, true, {{"00", 1}, {"01", 2}, {"10", 4}, {"11", 5}}},
    {"SingleCodeTakesNoBits", {0, 0, 1, 0}, true, {{"", 2}}},
    {"AllZeroGivesSymbolZero", {0, 0, 0}, true, {{"", 0}}},
    {"LongCodesWalkTheTree", chainLengths(), true,
     {{"0", 0}, {"11111110", 7}, {"111111110", 8}, {"1111111111110", 12}, {"11111111111110", 13},
      {"1111111111111110", 15}, {"11111111111111111110", 19}, {"11111111111111111111", 20}}},
    {"SingleCodeOfLengthTwo", {0, 2, 0}, false, {}},
    {"Incomplete", {1, 2, 0}, false, {}},
    {"Oversubscribed", {1, 1, 1}, false, {}},
    {"LengthAbove31", {32, 1, 1}, false, {}},
};

class HuffmanTest : public testing::TestWithParam<HuffmanCase> {};

template <typename Table>
void checkCodes(const HuffmanCase& c) {
    auto table = std::make_unique<Table>();
    int result = buildHuffmanTable(c.lengths.data(), int(c.lengths.size()), *table);
    if (!c.valid) {
        EXPECT_EQ(errorKind(result), DECODE_FILE_BROKEN);
        return;
    }
    ASSERT_EQ(result, 0);
    for (const auto& [code, symbol] : c.codes) {
        SCOPED_TRACE(code);
        // A marker byte after the code shows how many bits the decode took.
        Bits bits;
        bits.code(code).put(0xA5, 8);
        BitReader reader = makeBitReader(bits.bytes.data(), bits.bytes.size());
        EXPECT_EQ(decodeSymbol(*table, reader), symbol);
        EXPECT_EQ(readBits(reader, 8), 0xA5u);
    }
}

TEST_P(HuffmanTest, DecodesCanonicalCodes) {
    SCOPED_TRACE("13-bit lookup");
    checkCodes<MainCodeTable>(GetParam());
    SCOPED_TRACE("8-bit lookup");
    checkCodes<LengthCodeTable>(GetParam());
}

INSTANTIATE_TEST_SUITE_P(Decoder, HuffmanTest, testing::ValuesIn(HuffmanCases),
                         [](const auto& info) { return std::string(info.param.name); });

struct LengthStreamCase {
    const char* name;
    std::function<Bits()> stream;
    int count;
    std::vector<uint8_t> expected;  // empty: the stream is broken
};

std::vector<uint8_t> lengthsAt(std::initializer_list<std::pair<int, int>> nonZero, int count) {
    std::vector<uint8_t> lengths(size_t(count), 0);
    for (auto [index, length] : nonZero) lengths[size_t(index)] = uint8_t(length);
    return lengths;
}

// Main code of the hand-built file: 'a', 'b', slot 0 length 10, slot 1 with 2 extra bits.
std::vector<uint8_t> vectorMainLengths() { return lengthsAt({{97, 2}, {98, 2}, {265, 2}, {304, 2}}, 1024); }

// Its lengths in the two-code scheme. Length symbols: 32 (run of zeros) "0", 2 "10",
// 34 (run of 2s) "11". Run symbols: 0 "00", 34 "01", 38 "10", 39 "110", 41 "111".
Bits vectorLengthStream(int lastRunExtra = 174) {
    Bits bits;
    bits.put(0, 1);
    std::vector<int> small(128, 0);
    small[2] = 2, small[32] = 1, small[34] = 2;
    small[64 + 0] = 2, small[64 + 34] = 2, small[64 + 38] = 2, small[64 + 39] = 3, small[64 + 41] = 3;
    testfiles::directLengths(bits, small, 2);
    bits.code("0").code("10").put(0, 6);    // 97 zeros: 2^6 + 0 + 33
    bits.code("11").code("00");             // two 2s
    bits.code("0").code("110").put(5, 7);   // 166 zeros: 2^7 + 5 + 33
    bits.code("10");                        // one 2
    bits.code("0").code("01").put(1, 2);    // 38 zeros: 2^2 + 1 + 33
    bits.code("10");                        // one 2
    bits.code("0").code("111").put(uint64_t(lastRunExtra), 9);  // 719 zeros: 2^9 + 174 + 33
    return bits;
}

const LengthStreamCase LengthStreamCases[] = {
    {"DirectWithZeroRuns",
     [] {
         Bits b;
         b.put(0, 1).put(3, 5);
         b.put(2, 3).put(0, 3).put(3, 4).put(5, 3).put(1, 3).put(0, 3).put(0, 4).put(7, 3).put(3, 3);
         return b;
     },
     10, {2, 0, 0, 0, 0, 5, 1, 0, 7, 3}},
    {"AllZeroFlag", [] { return Bits().put(1, 1); }, 1024, std::vector<uint8_t>(1024, 0)},
    {"DirectZeroRunPastCount", [] { return Bits().put(0, 1).put(2, 5).put(1, 2).put(0, 2).put(5, 4); }, 4, {}},
    {"DirectLengthAbove31", [] { return Bits().put(0, 1).put(6, 5).put(40, 6).put(1, 6); }, 2, {}},
    {"DirectStreamCutShort", [] { return Bits().put(0, 1).put(8, 5).put(3, 8); }, 20, {}},
    {"TwoCodesWithRunsAndExtraBits", [] { return vectorLengthStream(); }, 1024, vectorMainLengths()},
    {"TwoCodesLoneCodesTakeNoBits",
     [] {
         // Length symbol 42 (run of 10s) and run symbol 41 are each alone: only the 9 extra
         // bits of the one run 2^9 + 479 + 33 = 1024 are in the stream.
         Bits b;
         b.put(0, 1);
         std::vector<int> small(128, 0);
         small[42] = 1, small[64 + 41] = 1;
         testfiles::directLengths(b, small, 1);
         b.put(479, 9);
         return b;
     },
     1024, std::vector<uint8_t>(1024, 10)},
    {"TwoCodesRunPast1024", [] { return vectorLengthStream(175); }, 1024, {}},
};

class LengthStreamTest : public testing::TestWithParam<LengthStreamCase> {};

TEST_P(LengthStreamTest, ReadsLengthsOrReportsBrokenStream) {
    const LengthStreamCase& c = GetParam();
    Bits bits = c.stream();
    BitReader reader = makeBitReader(bits.bytes.data(), bits.bytes.size());
    std::vector<uint8_t> lengths(size_t(c.count), 0xEE);
    int result = readCodeLengths(reader, lengths.data(), c.count);
    if (c.expected.empty()) {
        EXPECT_EQ(errorKind(result), DECODE_FILE_BROKEN);
    } else {
        ASSERT_EQ(result, 0);
        EXPECT_EQ(lengths, c.expected);
        EXPECT_FALSE(readPastEnd(reader));
    }
}

INSTANTIATE_TEST_SUITE_P(Decoder, LengthStreamTest, testing::ValuesIn(LengthStreamCases),
                         [](const auto& info) { return std::string(info.param.name); });

// One block of 33 bytes: 'a', a match at distance 1 of length 10, 'b', then a match at
// distance 3 of length 2^2 + 3 + 14 = 21.
std::vector<uint8_t> vectorBlock() { return Bits().code("00").code("10").code("01").code("11").put(3, 2).bytes; }
const std::string VectorOutput = std::string(11, 'a') + "b" + "aabaabaabaabaabaabaab";

FileRecipe vectorRecipe() {
    FileRecipe recipe;
    recipe.blocks = {vectorBlock()};
    recipe.lastLength = 33;
    for (int i = 0; i < 24; i++) recipe.distances[size_t(i)] = uint32_t(100 + i);
    recipe.distances[0] = 1;
    recipe.distances[1] = 3;
    recipe.codeLengthStream = vectorLengthStream().bytes;
    return recipe;
}

TEST(CompressedFile, HandBuiltFileDecodes) {
    TempDirectory dir;
    std::vector<uint8_t> bytes = testfiles::assembleFile(vectorRecipe());
    testfiles::writeBytes(dir.file("kqk.nbw.emd"), bytes);
    OpenedFile opened(dir.file("kqk.nbw.emd"));
    ASSERT_EQ(opened.error, 0);
    const CompressedFileInfo& info = *opened.info;
    uint32_t h = testfiles::headerLength(bytes);
    EXPECT_EQ(info.blockBits, 13u);
    EXPECT_EQ(info.blockSize, 8192u);
    EXPECT_EQ(info.blockCount, 1u);
    EXPECT_EQ(info.lastBlockLength, 33u);
    EXPECT_EQ(info.maxCompressedLength, 2u + 32);
    EXPECT_EQ(info.distances[0], 1u);
    EXPECT_EQ(info.distances[1], 3u);
    EXPECT_EQ(info.distances[23], 123u);
    EXPECT_EQ(blockOffset(info, 0), h);
    EXPECT_EQ(blockOffset(info, 1), h + 2);

    BlockBuffers buffers;
    ASSERT_EQ(readCompressedBlock(info, *buffers.state, opened.file, 0), 0);
    ASSERT_EQ(decodeBlock(info, *buffers.state, 33), 0);
    EXPECT_EQ(std::string(buffers.output.begin(), buffers.output.begin() + 33), VectorOutput);
}

// Decoding in pieces resumes cut matches and gives the bytes of one full decode.
TEST(CompressedFile, DecodesInPieces) {
    TempDirectory dir;
    testfiles::writeBytes(dir.file("f.emd"), testfiles::assembleFile(vectorRecipe()));
    OpenedFile opened(dir.file("f.emd"));
    ASSERT_EQ(opened.error, 0);
    BlockBuffers buffers;
    ASSERT_EQ(readCompressedBlock(*opened.info, *buffers.state, opened.file, 0), 0);
    for (uint32_t length : {1u, 5u, 5u, 12u, 20u, 33u}) {
        SCOPED_TRACE(length);
        ASSERT_EQ(decodeBlock(*opened.info, *buffers.state, length), 0);
        EXPECT_EQ(std::string(buffers.output.begin(), buffers.output.begin() + length), VectorOutput.substr(0, length));
    }
}

struct HeaderCase {
    const char* name;
    std::function<void(FileRecipe&)> changeRecipe;
    std::function<void(std::vector<uint8_t>&)> changeBytes;
    int kind;  // 0: the file opens
};

void setByte(std::vector<uint8_t>& file, size_t at, uint8_t value) { file[at] = value; }

const HeaderCase HeaderCases[] = {
    {"Valid", nullptr, nullptr, 0},
    {"ShortRead", nullptr, [](auto& f) { f.resize(79); }, DECODE_READ_ERROR},
    {"WrongBanner", nullptr, [](auto& f) { f[10] ^= 1; }, DECODE_READ_ERROR},
    {"BannerTailNotZero", nullptr, [](auto& f) { setByte(f, 63, 1); }, DECODE_READ_ERROR},
    {"HeaderLengthBelow84", nullptr, [](auto& f) { testfiles::putBigEndian32(f, 64, 83); }, DECODE_FILE_BROKEN},
    {"BlockBitsAbove16", [](FileRecipe& s) { s.blockBits = 17; }, nullptr, DECODE_FILE_BROKEN},
    {"DistanceCountNot24", [](FileRecipe& s) { s.distanceCount = 23; }, nullptr, DECODE_FILE_BROKEN},
    {"WrongMagic", [](FileRecipe& s) { s.magic = 0x004001F4; }, nullptr, DECODE_FILE_BROKEN},
    {"CheckValueOffByOneBit", nullptr, [](auto& f) { f[testfiles::headerLength(f) - 1] ^= 0x10; },
     DECODE_FILE_BROKEN},
    {"HeaderCutShort", nullptr, [](auto& f) { f.resize(testfiles::headerLength(f) - 1); }, DECODE_READ_ERROR},
    {"HeaderLongerThanFile", nullptr, [](auto& f) { testfiles::putBigEndian32(f, 64, 0xFFFFFFF0); },
     DECODE_READ_ERROR},
    {"BlockCountBeyondHeader", [](FileRecipe& s) { s.blockCountOverride = 1000; }, nullptr, DECODE_FILE_BROKEN},
    {"CodeLengthRunPast1024", [](FileRecipe& s) { s.codeLengthStream = vectorLengthStream(175).bytes; }, nullptr,
     DECODE_FILE_BROKEN},
    {"IncompleteCode",
     [](FileRecipe& s) {
         std::vector<int> lengths(1024, 0);
         lengths[97] = lengths[98] = lengths[265] = 2;
         s.codeLengthStream = testfiles::flatMainLengths(lengths);
     },
     nullptr, DECODE_FILE_BROKEN},
    {"CodeLengthsPastHeader",
     [](FileRecipe& s) {
         s.codeLengthStream.pop_back();
         s.codeLengthStream.pop_back();
     },
     nullptr,
     DECODE_FILE_BROKEN},
    {"AllZeroCodeOpens", [](FileRecipe& s) { s.codeLengthStream = Bits().put(1, 1).bytes; }, nullptr, 0},
    {"BlockBits12Opens", [](FileRecipe& s) { s.blockBits = 12; }, nullptr, 0},
};

class HeaderTest : public testing::TestWithParam<HeaderCase> {};

TEST_P(HeaderTest, OpensOrFailsWithItsKind) {
    const HeaderCase& c = GetParam();
    FileRecipe recipe = vectorRecipe();
    if (c.changeRecipe) c.changeRecipe(recipe);
    std::vector<uint8_t> bytes = testfiles::assembleFile(recipe);
    if (c.changeBytes) c.changeBytes(bytes);
    TempDirectory dir;
    testfiles::writeBytes(dir.file("t.emd"), bytes);
    OpenedFile opened(dir.file("t.emd"));
    EXPECT_EQ(errorKind(opened.error), c.kind);
    EXPECT_EQ(opened.info != nullptr, c.kind == 0);
}

INSTANTIATE_TEST_SUITE_P(Decoder, HeaderTest, testing::ValuesIn(HeaderCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Blocks wider than the decoder's buffers open (registration refuses them) but never decode.
TEST(CompressedFile, BlocksAbove8192AreNotRead) {
    FileRecipe recipe = vectorRecipe();
    recipe.blockBits = 14;
    TempDirectory dir;
    testfiles::writeBytes(dir.file("t.emd"), testfiles::assembleFile(recipe));
    OpenedFile opened(dir.file("t.emd"));
    ASSERT_EQ(opened.error, 0);
    EXPECT_EQ(opened.info->blockSize, 16384u);
    BlockBuffers buffers;
    EXPECT_EQ(errorKind(readCompressedBlock(*opened.info, *buffers.state, opened.file, 0)), DECODE_INVALID_ARGUMENT);
}

// Eight stored blocks put block 8 of a group 65536 bytes before the next base, one more
// than 16 bits hold.
TEST(CompressedFile, OffsetsOfStoredBlocks) {
    std::mt19937 random(7);
    FileRecipe recipe = vectorRecipe();
    recipe.blocks.clear();
    for (int i = 0; i < 17; i++) {
        std::vector<uint8_t> block(8192);
        for (auto& b : block) b = uint8_t(random());
        recipe.blocks.push_back(block);
    }
    recipe.lastLength = 8192;
    std::vector<uint8_t> bytes = testfiles::assembleFile(recipe);
    TempDirectory dir;
    testfiles::writeBytes(dir.file("t.emd"), bytes);
    OpenedFile opened(dir.file("t.emd"));
    ASSERT_EQ(opened.error, 0);
    uint32_t h = testfiles::headerLength(bytes);
    for (uint32_t i = 0; i <= 17; i++) EXPECT_EQ(blockOffset(*opened.info, i), h + 8192ull * i) << i;
    BlockBuffers buffers;
    for (uint32_t i : {0u, 7u, 8u, 15u, 16u}) {
        SCOPED_TRACE(i);
        ASSERT_EQ(readCompressedBlock(*opened.info, *buffers.state, opened.file, i), 0);
        ASSERT_EQ(decodeBlock(*opened.info, *buffers.state, 8192), 0);
        EXPECT_EQ(buffers.decoded(8192), recipe.blocks[i]);
    }
}

// Blocks decoded straight from memory with the hand-built file's code.
struct BlockCase {
    const char* name;
    std::vector<uint8_t> compressed;
    uint32_t length;
    std::string expected;  // the output when it decodes
    int kind;
};

const BlockCase BlockCases[] = {
    {"Vector", vectorBlock(), 33, VectorOutput, 0},
    {"MatchPassingTheEndStopsThere", Bits().code("00").code("10").bytes, 5, "aaaaa", 0},
    {"LongMatchPassingTheEndStopsThere", Bits().code("00").code("01").code("00").code("11").put(3, 2).bytes, 8,
     "abaabaab", 0},
    {"MatchBeforeTheStart", Bits().code("10").code("00").bytes, 4, "", DECODE_FILE_BROKEN},
    {"DistanceBeyondTheStart", Bits().code("00").code("11").put(0, 2).bytes, 30, "", DECODE_FILE_BROKEN},
    {"BitsPastTheCompressedBytes", {0x00}, 33, "", DECODE_FILE_BROKEN},
    {"StoredBlockIsCopied", {'x', 'y', 'z'}, 3, "xyz", 0},
};

class BlockTest : public testing::TestWithParam<BlockCase> {};

TEST_P(BlockTest, DecodesOrFailsWithinItsBuffer) {
    const BlockCase& c = GetParam();
    TempDirectory dir;
    testfiles::writeBytes(dir.file("t.emd"), testfiles::assembleFile(vectorRecipe()));
    OpenedFile opened(dir.file("t.emd"));
    ASSERT_EQ(opened.error, 0);
    BlockBuffers buffers;
    std::copy(c.compressed.begin(), c.compressed.end(), buffers.state->input);
    ASSERT_EQ(beginBlock(*buffers.state, 0, c.length, uint32_t(c.compressed.size())), 0);
    int result = decodeBlock(*opened.info, *buffers.state, c.length);
    EXPECT_EQ(errorKind(result), c.kind);
    if (c.kind == 0) {
        EXPECT_EQ(std::string(buffers.output.begin(), buffers.output.begin() + c.length), c.expected);
    }
}

INSTANTIATE_TEST_SUITE_P(Decoder, BlockTest, testing::ValuesIn(BlockCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(CompressedFile, RefusesInvalidArguments) {
    TempDirectory dir;
    FileRecipe recipe = vectorRecipe();
    testfiles::writeBytes(dir.file("t.emd"), testfiles::assembleFile(recipe));
    OpenedFile opened(dir.file("t.emd"));
    ASSERT_EQ(opened.error, 0);
    BlockBuffers buffers;
    EXPECT_EQ(errorKind(readCompressedBlock(*opened.info, *buffers.state, opened.file, 1)), DECODE_INVALID_ARGUMENT);
    ASSERT_EQ(readCompressedBlock(*opened.info, *buffers.state, opened.file, 0), 0);
    EXPECT_EQ(errorKind(decodeBlock(*opened.info, *buffers.state, 0)), DECODE_INVALID_ARGUMENT);
    EXPECT_EQ(errorKind(decodeBlock(*opened.info, *buffers.state, 34)), DECODE_INVALID_ARGUMENT);
    EXPECT_EQ(errorKind(beginBlock(*buffers.state, 0, 8193, 10)), DECODE_INVALID_ARGUMENT);
    EXPECT_EQ(errorKind(beginBlock(*buffers.state, 0, 100, 0)), DECODE_INVALID_ARGUMENT);
    buffers.state->tag = 0;
    EXPECT_EQ(errorKind(readCompressedBlock(*opened.info, *buffers.state, opened.file, 0)), DECODE_INVALID_ARGUMENT);
    EXPECT_EQ(errorKind(decodeBlock(*opened.info, *buffers.state, 33)), DECODE_INVALID_ARGUMENT);
}

// Random bytes in the blocks of a valid header, under a code where every bit pattern is a
// symbol, with distances of every kind (0, short, and the longest). Each block decodes or
// fails as broken; the sanitizer build sees any access outside the exact-size buffers.
TEST(CompressedFile, RandomBlocksStayInsideTheirBuffers) {
    std::mt19937 random(2024);
    TempDirectory dir;
    for (int round = 0; round < 4; round++) {
        SCOPED_TRACE(round);
        FileRecipe recipe;
        recipe.codeLengthStream = testfiles::flatMainLengths(std::vector<int>(1024, 10));
        for (size_t i = 0; i < 24; i++) recipe.distances[i] = uint32_t(1 + random() % (i < 20 ? 20 : 8191));
        recipe.distances[5] = 0;
        recipe.distances[6] = 8191;
        std::vector<uint32_t> lengths;
        // 27 blocks: the second group of 16 is cut short after some blocks that count back.
        for (int i = 0; i < 27; i++) {
            uint32_t length = random() % 3 == 0 ? 8192 : 1 + uint32_t(random() % 8192);
            std::vector<uint8_t> block(length);
            for (auto& b : block) b = uint8_t(random());
            recipe.blocks.push_back(block);
        }
        recipe.lastLength = 1 + uint32_t(random() % 8192);
        std::string name = dir.file("random.emd");
        std::vector<uint8_t> bytes = testfiles::assembleFile(recipe);
        testfiles::writeBytes(name, bytes);
        OpenedFile opened(name);
        ASSERT_EQ(opened.error, 0);
        uint64_t offset = testfiles::headerLength(bytes);
        for (uint32_t i = 0; i <= recipe.blocks.size(); i++) {
            EXPECT_EQ(blockOffset(*opened.info, i), offset) << i;
            if (i < recipe.blocks.size()) offset += recipe.blocks[i].size();
        }
        BlockBuffers buffers;
        for (uint32_t i = 0; i < recipe.blocks.size(); i++) {
            uint32_t length = i + 1 == recipe.blocks.size() ? recipe.lastLength : 8192;
            ASSERT_EQ(readCompressedBlock(*opened.info, *buffers.state, opened.file, i), 0);
            int result = decodeBlock(*opened.info, *buffers.state, length);
            EXPECT_TRUE(result == 0 || errorKind(result) == DECODE_FILE_BROKEN) << result;
            if (recipe.blocks[i].size() == length) {
                EXPECT_EQ(buffers.decoded(length), recipe.blocks[i]);
            }
        }
    }
}

// Random changes to a valid header's code lengths, sealed with a fresh check value, either
// open or fail as broken, and what opens decodes its block within bounds.
TEST(CompressedFile, RandomCodeLengthsAreCheckedSafely) {
    std::mt19937 random(99);
    TempDirectory dir;
    FileRecipe recipe = vectorRecipe();
    const std::vector<uint8_t> base = testfiles::assembleFile(recipe);
    uint32_t h = testfiles::headerLength(base);
    size_t streamStart = h - 4 - recipe.codeLengthStream.size();
    int opened = 0;
    for (int round = 0; round < 120; round++) {
        std::vector<uint8_t> bytes = base;
        for (int flips = 1 + int(random() % 3); flips > 0; flips--)
            bytes[streamStart + random() % recipe.codeLengthStream.size()] ^= uint8_t(1u << (random() % 8));
        testfiles::resealHeader(bytes);
        testfiles::writeBytes(dir.file("t.emd"), bytes);
        OpenedFile file(dir.file("t.emd"));
        if (file.error) {
            EXPECT_EQ(errorKind(file.error), DECODE_FILE_BROKEN);
            continue;
        }
        opened++;
        BlockBuffers buffers;
        ASSERT_EQ(readCompressedBlock(*file.info, *buffers.state, file.file, 0), 0);
        int result = decodeBlock(*file.info, *buffers.state, 33);
        EXPECT_TRUE(result == 0 || errorKind(result) == DECODE_FILE_BROKEN);
    }
    EXPECT_GT(opened, 0);
}

}  // namespace
}  // namespace brinz
