#include "tablebases/block_cache.h"

#include <cstring>
#include <mutex>
#include <new>

#include "platform/files.h"
#include "tablebases/memory.h"

namespace brinz {

namespace {

// The pool: headers first, then the data areas, both carved from the one cache block.
CacheBlock* Blocks = nullptr;
uint8_t* DataAreas = nullptr;
int32_t BlockCount = 0;

// Guarded by LruLock, on a line of their own.
alignas(64) TableLock LruLock;
int32_t FreeHead = -1;
int32_t Newest = -1;
int32_t Oldest = -1;

// Guarded by PoolLock, on a line of their own.
alignas(64) TableLock PoolLock;
DecoderState* DecoderStorage = nullptr;
DecoderState* DecoderSlots[DecoderStateCount] = {};

// Blocks read from a file since the process started; statistics only.
std::atomic<uint64_t> LoadCount{0};

uint8_t* dataArea(int32_t b) { return DataAreas + size_t(b) * CacheBlockDataBytes; }

int byteAt(int32_t b, uint32_t offset) {
    // A short last block leaves the rest of the area stale: those bytes hold no table data.
    if (offset >= uint32_t(Blocks[b].validBytes)) return TableValueMissing;
    return int8_t(dataArea(b)[offset]);
}

// LRU list helpers; the LRU lock is held.
void unlinkLru(int32_t b) {
    CacheBlock& block = Blocks[b];
    if (block.older >= 0) Blocks[block.older].newer = block.newer;
    else Oldest = block.newer;
    if (block.newer >= 0) Blocks[block.newer].older = block.older;
    else Newest = block.older;
}

void pushNewest(int32_t b) {
    CacheBlock& block = Blocks[b];
    block.older = Newest;
    block.newer = -1;
    if (Newest >= 0) Blocks[Newest].newer = b;
    else Oldest = b;
    Newest = b;
}

void pushFree(int32_t b) {
    Blocks[b].older = FreeHead;
    FreeHead = b;
}

// Chain helpers; the bucket lock is held.
void unlinkChain(CacheBucket& bucket, int32_t b) {
    CacheBlock& block = Blocks[b];
    if (block.chainPrev >= 0) Blocks[block.chainPrev].chainNext = block.chainNext;
    else bucket.head = block.chainNext;
    if (block.chainNext >= 0) Blocks[block.chainNext].chainPrev = block.chainPrev;
}

void pushChainHead(CacheBucket& bucket, int32_t b) {
    CacheBlock& block = Blocks[b];
    block.chainPrev = -1;
    block.chainNext = bucket.head;
    if (bucket.head >= 0) Blocks[bucket.head].chainPrev = b;
    bucket.head = b;
}

int32_t findInChain(const CacheBucket& bucket, int table, int side, uint32_t blockNumber) {
    for (int32_t b = bucket.head; b >= 0; b = Blocks[b].chainNext) {
        const CacheBlock& block = Blocks[b];
        if (uint32_t(block.block) == blockNumber && block.table == table && block.side == side) return b;
    }
    return -1;
}

CacheBucket& bucketOf(int table, int side, uint32_t blockNumber) {
    return tableFiles[table][side].directory->buckets[blockNumber % CacheBuckets];
}

// A block for loading, held by this thread alone: a free one, else the oldest, unlinked
// from its owner's chain.
int32_t takeBlock() {
    for (;;) {
        std::unique_lock<TableLock> lru(LruLock);
        if (FreeHead >= 0) {
            int32_t b = FreeHead;
            FreeHead = Blocks[b].older;
            return b;
        }
        int32_t victim = Oldest;
        if (victim < 0) {
            // Every block is being loaded by another thread; one will be published soon.
            lru.unlock();
            yieldThread();
            continue;
        }
        const int table = Blocks[victim].table, side = Blocks[victim].side;
        const uint32_t blockNumber = uint32_t(Blocks[victim].block);
        lru.unlock();

        CacheBucket& bucket = bucketOf(table, side, blockNumber);
        std::unique_lock<TableLock> chain(bucket.lock);
        lru.lock();
        const CacheBlock& block = Blocks[victim];
        if (Oldest != victim || block.table != table || block.side != side || uint32_t(block.block) != blockNumber)
            continue;  // another thread moved it meanwhile: look at the oldest again
        unlinkLru(victim);
        lru.unlock();
        unlinkChain(bucket, victim);
        return victim;
    }
}

DecoderState* borrowDecoderState() {
    for (;;) {
        {
            std::lock_guard<TableLock> pool(PoolLock);
            for (DecoderState*& slot : DecoderSlots)
                if (slot) {
                    DecoderState* state = slot;
                    slot = nullptr;
                    return state;
                }
        }
        // More threads than states: wait for one to come back.
        yieldThread();
    }
}

void returnDecoderState(DecoderState* state) {
    std::lock_guard<TableLock> pool(PoolLock);
    for (DecoderState*& slot : DecoderSlots)
        if (!slot) {
            slot = state;
            return;
        }
}

// Fills the data area of block b with block `blockNumber` of the side's file. Returns the
// number of valid bytes, or -1 when the file cannot be opened, read or decoded.
int loadBlock(TableFile& tf, int32_t b, uint32_t blockNumber) {
    std::unique_lock<TableLock> fileGuard(tf.fileLock);
    if (!tf.file) {
        if (!tf.registered.load(Relaxed) || !tf.fileName) return -1;
        tf.file = openRegularFile(tf.fileName);
        if (!tf.file) {
            // Perhaps too many open files: close them all and try once more.
            fileGuard.unlock();
            closeAllTableFiles();
            fileGuard.lock();
            if (!tf.file) tf.file = openRegularFile(tf.fileName);
            if (!tf.file) return -1;
        }
    }
    uint8_t* data = dataArea(b);
    if (tf.compressed) {
        const CompressedFileInfo& info = *tf.compressed;
        DecoderState* state = borrowDecoderState();
        prepareDecoderState(*state, data);
        int error = readCompressedBlock(info, *state, tf.file, blockNumber);
        fileGuard.unlock();
        const uint32_t length = state->lengthToProduce;
        if (!error) error = decodeBlock(info, *state, length);
        returnDecoderState(state);
        return error ? -1 : int(length);
    }
    // long is 64 bits here: the largest files pass 4 GiB without stepping.
    static_assert(sizeof(long) == 8);
    if (std::fseek(tf.file, long(blockNumber) * TableBlockBytes, SEEK_SET) != 0) return -1;
    size_t got = std::fread(data, 1, TableBlockBytes, tf.file);
    if (got < size_t(TableBlockBytes) && std::ferror(tf.file)) {
        std::clearerr(tf.file);
        return -1;
    }
    return int(got);  // a short last block is accepted at the end of the file
}

}  // namespace

void layoutCache(uint8_t* memory, size_t bytes) {
    closeAllTableFiles();
    BlockCount = memory && bytes >= 32 ? int32_t(bytes / CacheBlockBytes) : 0;
    Blocks = reinterpret_cast<CacheBlock*>(memory);
    DataAreas = memory ? memory + size_t(BlockCount) * sizeof(CacheBlock) : nullptr;
    FreeHead = -1;
    for (int32_t b = BlockCount - 1; b >= 0; --b) {
        Blocks[b] = CacheBlock{-1, -1, -1, -1, -1, -1, -1, 0};
        pushFree(b);
    }
    Newest = Oldest = -1;
    for (auto& table : tableFiles)
        for (TableFile& tf : table)
            if (tf.directory)
                for (CacheBucket& bucket : tf.directory->buckets) {
                    bucket.lock.reset();
                    bucket.head = -1;
                }
}

CacheDirectory* createCacheDirectory() {
    // tbAllocate aligns to 16 bytes: room for the step up to a line boundary, and the block's
    // own address kept just before the directory for freeing.
    constexpr size_t Line = alignof(CacheDirectory);
    uint8_t* block = static_cast<uint8_t*>(tbAllocate(sizeof(CacheDirectory) + Line + sizeof(void*)));
    uintptr_t at = (reinterpret_cast<uintptr_t>(block) + sizeof(void*) + Line - 1) & ~uintptr_t(Line - 1);
    std::memcpy(reinterpret_cast<void*>(at - sizeof(void*)), &block, sizeof block);
    return new (reinterpret_cast<void*>(at)) CacheDirectory();
}

void freeCacheDirectory(CacheDirectory* directory) {
    if (!directory) return;
    void* block;
    std::memcpy(&block, reinterpret_cast<uint8_t*>(directory) - sizeof(void*), sizeof block);
    tbFree(block);
}

int cacheBlockCount() { return BlockCount; }

uint64_t cacheLoadCount() { return LoadCount.load(Relaxed); }

int readCachedByte(int table, int side, uint32_t blockNumber, uint32_t offset) {
    TableFile& tf = tableFiles[table][side];
    if (BlockCount == 0 || !tf.directory) return TableValueMissing;
    CacheBucket& bucket = tf.directory->buckets[blockNumber % CacheBuckets];
    {
        std::lock_guard<TableLock> chain(bucket.lock);
        int32_t found = findInChain(bucket, table, side, blockNumber);
        if (found >= 0) {
            {
                std::lock_guard<TableLock> lru(LruLock);
                if (found != Newest) {
                    unlinkLru(found);
                    pushNewest(found);
                }
            }
            if (bucket.head != found) {
                unlinkChain(bucket, found);
                pushChainHead(bucket, found);
            }
            return byteAt(found, offset);
        }
    }

    const int32_t b = takeBlock();
    Blocks[b].table = table;
    Blocks[b].side = side;
    Blocks[b].block = int32_t(blockNumber);
    LoadCount.store(LoadCount.load(Relaxed) + 1, Relaxed);
    const int validBytes = loadBlock(tf, b, blockNumber);
    if (validBytes < 0) {
        std::lock_guard<TableLock> lru(LruLock);
        tf.registered.store(0, Relaxed);
        pushFree(b);
        return TableValueMissing;
    }
    Blocks[b].validBytes = validBytes;
    std::lock_guard<TableLock> chain(bucket.lock);
    std::lock_guard<TableLock> lru(LruLock);
    pushNewest(b);
    pushChainHead(bucket, b);
    return byteAt(b, offset);
}

void closeAllTableFiles() {
    // Also without a cache: a file left open here would serve the next registration.
    for (int t = 1; t < TableCount; ++t)
        for (TableFile& tf : tableFiles[t]) {
            std::lock_guard<TableLock> guard(tf.fileLock);
            if (tf.file) std::fclose(tf.file);
            tf.file = nullptr;
        }
}

void resetCacheLocks() {
    LruLock.reset();
    PoolLock.reset();
    for (auto& table : tableFiles)
        for (TableFile& tf : table) tf.fileLock.reset();
}

int64_t allocateDecoderStates() {
    freeDecoderStates();
    const size_t bytes = sizeof(DecoderState) * DecoderStateCount;
    DecoderStorage = static_cast<DecoderState*>(tbTryAllocate(bytes));
    if (!DecoderStorage) {
        std::printf("*** Reserva: error %d\n", 205317);
        tablebaseFatal();
    }
    for (int i = 0; i < DecoderStateCount; ++i) DecoderSlots[i] = DecoderStorage + i;
    return int64_t(bytes);
}

void freeDecoderStates() {
    tbFree(DecoderStorage);
    DecoderStorage = nullptr;
    for (DecoderState*& slot : DecoderSlots) slot = nullptr;
}

bool isBlockCached(int table, int side, uint32_t blockNumber) {
    TableFile& tf = tableFiles[table][side];
    if (BlockCount == 0 || !tf.directory) return false;
    CacheBucket& bucket = tf.directory->buckets[blockNumber % CacheBuckets];
    std::lock_guard<TableLock> chain(bucket.lock);
    return findInChain(bucket, table, side, blockNumber) >= 0;
}

}  // namespace brinz
