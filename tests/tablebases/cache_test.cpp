#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "support/tablebase_files.h"
#include "tablebases/block_cache.h"
#include "tablebases/registry.h"

namespace brinz {
namespace {

using support::freshDirectory;
using support::patternBytes;
using support::writeBytes;

constexpr int KQK = 5, KRK = 4, KQKQ = 20;

// Plain kqk (both sides) and kqkq in one directory, compressed krk (both sides) in another.
struct CacheFiles {
    std::string plain, compressed;
    std::vector<uint8_t> bytes[TableCount][2];
};

const CacheFiles& cacheFiles() {
    static const CacheFiles files = [] {
        CacheFiles f;
        f.plain = freshDirectory("cache_plain");
        f.compressed = freshDirectory("cache_compressed");
        const std::string source = freshDirectory("cache_source");
        auto add = [&](int table, int side, bool compress) {
            const TableDescriptor& d = tableDescriptors[table];
            const std::string name = std::string(d.name) + (side ? ".nbb" : ".nbw");
            f.bytes[table][side] = patternBytes(d.size[side], table * 2 + side);
            writeBytes((compress ? source : f.plain) + "/" + name, f.bytes[table][side]);
            if (compress && !support::compressInto(source + "/" + name, f.compressed)) f.compressed.clear();
        };
        add(KQK, 0, false);
        add(KQK, 1, false);
        add(KQKQ, 0, false);
        add(KRK, 0, true);
        add(KRK, 1, true);
        return f;
    }();
    return files;
}

std::string bothDirectories() { return cacheFiles().plain + ";" + cacheFiles().compressed; }

class Cache : public testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(cacheFiles().compressed.empty()) << "brinz-tbcompress failed"; }
    // Nothing may keep pointing into a test's own cache memory.
    void TearDown() override { initTablebases(1, nullptr); }
};

TEST_F(Cache, HoldsOneBlockPer8260Bytes) {
    for (auto [megabytes, blocks] : {std::pair{1, 126}, {4, 507}, {128, 16249}}) {
        SCOPED_TRACE(megabytes);
        EXPECT_EQ(initTablebases(uint32_t(megabytes), cacheFiles().plain.c_str()), 4);
        EXPECT_EQ(cacheBlockCount(), blocks);
    }
}

TEST_F(Cache, ReadsEveryByteOfPlainAndCompressedFiles) {
    ASSERT_EQ(initTablebases(1, bothDirectories().c_str()), 4);
    for (auto [table, side] : {std::pair{KQK, 0}, {KQK, 1}, {KRK, 0}, {KRK, 1}}) {
        SCOPED_TRACE(std::string(tableDescriptors[table].name) + (side ? " black" : " white"));
        const std::vector<uint8_t>& bytes = cacheFiles().bytes[table][side];
        int wrong = 0;
        for (size_t i = 0; i < bytes.size(); ++i)
            wrong += readCachedByte(table, side, uint32_t(i / 8192), uint32_t(i % 8192)) != int8_t(bytes[i]);
        EXPECT_EQ(wrong, 0);
        // The last block is short: past its end there is no table data, not stale bytes.
        const uint32_t last = uint32_t(bytes.size() / 8192), end = uint32_t(bytes.size() % 8192);
        EXPECT_EQ(readCachedByte(table, side, last, end), TableValueMissing);
        EXPECT_EQ(readCachedByte(table, side, last, 8191), TableValueMissing);
    }
}

TEST_F(Cache, EvictsTheLeastRecentlyUsedBlock) {
    constexpr int K = 4;
    struct Case {
        const char* name;
        std::vector<uint32_t> reads;
        uint32_t evicted;
    } cases[] = {
        {"first of K + 1", {0, 1, 2, 3, 4}, 0},
        {"first read again", {0, 1, 2, 3, 0, 4}, 1},
        {"hits keep order", {0, 1, 1, 2, 3, 4}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(initTablebases(1, cacheFiles().plain.c_str()), 4);
        std::vector<uint8_t> memory(K * CacheBlockBytes);
        layoutCache(memory.data(), memory.size());
        ASSERT_EQ(cacheBlockCount(), K);
        for (uint32_t block : c.reads)
            EXPECT_EQ(readCachedByte(KQKQ, 0, block, 5), int8_t(cacheFiles().bytes[KQKQ][0][block * 8192 + 5]));
        for (uint32_t block = 0; block <= K; ++block)
            EXPECT_EQ(isBlockCached(KQKQ, 0, block), block != c.evicted) << block;
        initTablebases(1, nullptr);
    }
}

TEST_F(Cache, ReadFailureUnregistersOnlyThatSide) {
    const std::string dir = freshDirectory("cache_failure");
    for (int side = 0; side < 2; ++side)
        writeBytes(dir + (side ? "/kqk.nbb" : "/kqk.nbw"), cacheFiles().bytes[KQK][side]);
    ASSERT_EQ(initTablebases(1, dir.c_str()), 3);
    // Files are opened at their first read: one gone by then cannot be read.
    std::remove((dir + "/kqk.nbb").c_str());
    EXPECT_EQ(readCachedByte(KQK, 1, 0, 0), TableValueMissing);
    EXPECT_EQ(tableFiles[KQK][1].registered.load(), 0);
    EXPECT_EQ(readCachedByte(KQK, 1, 0, 0), TableValueMissing);
    EXPECT_EQ(tableFiles[KQK][0].registered.load(), 1);
    EXPECT_EQ(readCachedByte(KQK, 0, 1, 7), int8_t(cacheFiles().bytes[KQK][0][8192 + 7]));
}

// Reads a few blocks of every table side with room for two open files only; the exit status
// tells whether every byte came right and every side stayed registered.
[[noreturn]] void readWithTwoFileDescriptors() {
    const int next = open("/dev/null", O_RDONLY);
    close(next);
    rlimit limit;
    limit.rlim_cur = limit.rlim_max = rlim_t(next + 2);
    setrlimit(RLIMIT_NOFILE, &limit);
    const std::pair<int, int> sides[] = {{KQK, 0}, {KQK, 1}, {KRK, 0}, {KRK, 1}, {KQKQ, 0}};
    int wrong = 0;
    for (uint32_t block = 0; block < 3; ++block)
        for (auto [table, side] : sides) {
            wrong += readCachedByte(table, side, block, 9) != int8_t(cacheFiles().bytes[table][side][block * 8192 + 9]);
            wrong += !tableFiles[table][side].registered.load();
        }
    std::_Exit(wrong == 0 ? 0 : 2);  // no static destructors in the child
}

TEST_F(Cache, TooManyOpenFilesClosesThemAllAndRetries) {
    ASSERT_EQ(initTablebases(1, bothDirectories().c_str()), 4);
    EXPECT_EXIT(readWithTwoFileDescriptors(), testing::ExitedWithCode(0), "");
}

TEST_F(Cache, ThreadsReadingAtOnceSeeTheFileBytes) {
    // A cache far smaller than the data keeps every thread evicting and loading.
    ASSERT_EQ(initTablebases(1, bothDirectories().c_str()), 4);
    std::vector<uint8_t> memory(6 * CacheBlockBytes);
    layoutCache(memory.data(), memory.size());
    const std::pair<int, int> sides[] = {{KQK, 0}, {KQK, 1}, {KRK, 0}, {KRK, 1}, {KQKQ, 0}};
    // More threads than decoder states: some wait for a state to come back.
    constexpr int Threads = 12, Reads = 1000;
    std::vector<int> wrong(Threads, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < Threads; ++t)
        threads.emplace_back([&, t] {
            std::mt19937 random{uint32_t(t)};
            for (int i = 0; i < Reads; ++i) {
                auto [table, side] = sides[random() % 5];
                const std::vector<uint8_t>& bytes = cacheFiles().bytes[table][side];
                const uint32_t at = uint32_t(random() % bytes.size());
                wrong[t] += readCachedByte(table, side, at / 8192, at % 8192) != int8_t(bytes[at]);
            }
        });
    for (std::thread& thread : threads) thread.join();
    for (int t = 0; t < Threads; ++t) EXPECT_EQ(wrong[t], 0) << "thread " << t;
    for (auto [table, side] : sides) EXPECT_EQ(tableFiles[table][side].registered.load(), 1);
}

}  // namespace
}  // namespace brinz
