#include "search/hash.h"

#include <cmath>
#include <cstdint>
#include <new>

#include "platform/memory.h"

namespace brinz {

uint32_t clusterCount = 0;
HashCluster* hashTable = nullptr;
uint8_t hashAge = 0;
StoreCounter hashStores{0};

namespace {

// The largest table ever asked for: 2^26 clusters (4 GiB).
constexpr uint64_t MaxClusterCount = uint64_t(1) << 26;

// Zero-filled clusters; pages are given on first touch, so even a gigabyte costs nothing
// until it is used.
HashCluster* allocateClusters(uint32_t count) {
    void* block = allocateLargeTable(size_t(count) * sizeof(HashCluster));
    return block ? std::launder(static_cast<HashCluster*>(block)) : nullptr;
}

// Frees the current table and puts `fresh` of `count` clusters in its place.
void installTable(HashCluster* fresh, uint32_t count) {
    freeLargeTable(hashTable, size_t(clusterCount) * sizeof(HashCluster));
    hashTable = fresh;
    clusterCount = count;
}

HashCluster& clusterOf(uint64_t key) { return hashTable[uint32_t(key) & (clusterCount - 1)]; }

bool sameKey(const HashEntry& e, uint64_t key) {
    return e.keyLow.load(Relaxed) == uint32_t(key) && e.keyHigh.load(Relaxed) == uint32_t(key >> 32);
}

int ageOf(uint32_t data) { return int(data >> HashAgeShift) & 0xFF; }

}  // namespace

uint32_t hashClusterCountFor(uint32_t megabytes) {
    // 64-bit arithmetic: a 32-bit byte count would wrap at 4096 megabytes to a tiny table.
    uint64_t bytes = uint64_t(megabytes) << 20;
    uint64_t n = 1024;
    if (bytes >= 65536)
        while (n * 64 <= bytes && n / 2 < MaxClusterCount) n *= 2;
    return uint32_t(n / 2);
}

bool resizeHash(uint32_t megabytes) {
    uint32_t count = hashClusterCountFor(megabytes);
    if (count == clusterCount && hashTable) return true;
    HashCluster* fresh = allocateClusters(count);
    if (!fresh) {
        // Nothing to fall back on at start-up: take the largest smaller table that fits.
        while (!hashTable && !fresh && count > 512) fresh = allocateClusters(count /= 2);
        if (!fresh) return false;
        installTable(fresh, count);
        return false;
    }
    installTable(fresh, count);
    return true;
}

void clearHash() {
    for (uint32_t c = 0; c < clusterCount; ++c)
        for (HashEntry& e : hashTable[c].entry) {
            e.keyLow.store(0, Relaxed);
            e.keyHigh.store(0, Relaxed);
            e.data.store(0, Relaxed);
            e.score.store(0, Relaxed);
            e.depth.store(0, Relaxed);
        }
}

void freeHash() {
    installTable(nullptr, 0);
}

bool probeHash(const Position& pos, int& alpha, int& beta, int depth, Move& move, bool& mateThreat,
               bool& nullAllowed, int ply) {
    HashCluster& cluster = clusterOf(pos.key);
    for (HashEntry& e : cluster.entry) {
        if (!sameKey(e, pos.key)) continue;
        uint32_t data = e.data.load(Relaxed);
        int score = scoreFromHash(e.score.load(Relaxed), ply);
        int bound = int(data >> HashBoundShift) & 3;
        // An upper bound below beta says a null move would fail low too: skip it.
        if ((bound & BOUND_UPPER) && score < beta) nullAllowed = false;
        if (e.depth.load(Relaxed) >= depth) {
            if ((bound & BOUND_LOWER) && score > alpha) alpha = score;
            if ((bound & BOUND_UPPER) && score < beta) beta = score;
        }
        move = data & HashMoveMask;
        mateThreat = (data & HashMateThreatBit) != 0;
        return true;
    }
    move = 0;
    mateThreat = false;
    return false;
}

void storeHash(const Position& pos, Move move, int score, int depth, int bound, bool mateThreat, int ply) {
    if (move == MOVE_NONE) move = 0;
    score = scoreToHash(score, ply);
    // Endless analysis reaches depths beyond 16 bits; wrapping would turn them shallow or negative.
    if (depth > INT16_MAX) depth = INT16_MAX;
    uint32_t flags = ((((uint32_t(hashAge) << 1) | (mateThreat ? 1u : 0u)) << 2) | uint32_t(bound & 3))
                     << HashBoundShift;
    HashCluster& cluster = clusterOf(pos.key);
    for (HashEntry& e : cluster.entry) {
        if (!sameKey(e, pos.key)) continue;
        uint32_t kept = move ? (move & HashMoveMask) : (e.data.load(Relaxed) & HashMoveMask);
        e.data.store(flags | kept, Relaxed);
        e.depth.store(int16_t(depth), Relaxed);
        e.score.store(int16_t(score), Relaxed);
        return;
    }
    HashEntry* victim = &cluster.entry[0];
    for (HashEntry& e : cluster.entry) {
        bool victimCurrent = ageOf(victim->data.load(Relaxed)) == hashAge;
        bool entryCurrent = ageOf(e.data.load(Relaxed)) == hashAge;
        if ((victimCurrent && !entryCurrent) ||
            (victimCurrent == entryCurrent && e.depth.load(Relaxed) < victim->depth.load(Relaxed)))
            victim = &e;
    }
    victim->keyLow.store(uint32_t(pos.key), Relaxed);
    victim->keyHigh.store(uint32_t(pos.key >> 32), Relaxed);
    victim->data.store(flags | (move & HashMoveMask), Relaxed);
    victim->depth.store(int16_t(depth), Relaxed);
    victim->score.store(int16_t(score), Relaxed);
    hashStores.store(hashStores.load(Relaxed) + 1, Relaxed);
}

int hashFullPermill() {
    double entries = 4.0 * double(clusterCount);
    double stores = double(hashStores.load(Relaxed));
    if (entries <= 0) return 0;
    return int(1000.0 * (1.0 - std::exp(stores * std::log(1.0 - 1.0 / entries))));
}

}  // namespace brinz
