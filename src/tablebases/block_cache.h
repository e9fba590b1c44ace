#pragma once

#include <cstddef>
#include <cstdint>

#include "tablebases/registry.h"

namespace brinz {

// Locking rule of the cache. Lock words: one per directory bucket (its chain), one LRU
// lock (the LRU list and the free list), one file lock per table side (its open file),
// one pool lock (the decoder states). Order: a bucket lock before the LRU lock, never
// two bucket locks; a file lock alone or with the pool lock inside it; nothing is held
// while closeAllTableFiles runs, which takes one file lock at a time.

inline constexpr int TableBlockBytes = 8192;    // one block of a table file
inline constexpr int CacheBlockDataBytes = 8228;  // a block and 36 spare bytes for the decoder's wide copies
inline constexpr int CacheBlockBytes = 8260;    // header and data: the cache holds bytes / 8260 blocks
inline constexpr int CacheBuckets = 32;
inline constexpr int TableValueMissing = 32767;  // readCachedByte's answer when the block cannot be had

// Header of one cached block, carved from the cache memory like its data area. Links are
// block numbers (-1 at an end), so the header stays 32 bytes on any word size.
struct CacheBlock {
    int32_t table, side, block;  // owner
    int32_t older, newer;        // LRU list; a free block is linked through `older`
    int32_t chainNext, chainPrev;
    int32_t validBytes;          // bytes of the data area that hold table data
};
static_assert(sizeof(CacheBlock) == CacheBlockBytes - CacheBlockDataBytes);

// One cache line each: every hit writes its bucket's lock, and threads working on
// neighbouring buckets must not take the line from each other.
struct alignas(64) CacheBucket {
    TableLock lock;
    int32_t head = -1;
};

// The chains of one table side's cached blocks, by block number modulo 32.
struct CacheDirectory {
    CacheBucket buckets[CacheBuckets];
};

// A new directory with empty chains, on its own cache lines, through tbAllocate.
CacheDirectory* createCacheDirectory();
void freeCacheDirectory(CacheDirectory* directory);

// Lays out `bytes` of cache memory (null or fewer than 32 bytes: no cache) as blocks on
// the free list, empties the LRU list and every directory, closing all table files first.
// Only while no search runs.
void layoutCache(uint8_t* memory, size_t bytes);
int cacheBlockCount();
// Blocks loaded from table files so far (cache misses); statistics, a lost count accepted.
uint64_t cacheLoadCount();

// The signed byte at `offset` of block `block` of the file of (table, side), read through
// the cache, or TableValueMissing when the block cannot be had (a failed read also
// unregisters that side). `side` is the file side: 0 for a symmetric table. Any thread.
int readCachedByte(int table, int side, uint32_t block, uint32_t offset);

// Closes every open table file, each under its file lock. Does nothing without a cache.
void closeAllTableFiles();

// Clears the cache's global lock words and every file lock; only during a scan.
void resetCacheLocks();

// The shared decoder states for compressed files: allocated when a scan has seen any
// compressed file (a failure prints "*** Reserva: error 205317" and ends the process),
// freed by the next scan. Returns the bytes reserved.
int64_t allocateDecoderStates();
void freeDecoderStates();

// True when (table, side, block) is in the cache; for tests.
bool isBlockCached(int table, int side, uint32_t block);

}  // namespace brinz
