#pragma once

#include <atomic>
#include <cstdint>

#include "board/position.h"
#include "search/score.h"

namespace brinz {

// Bound kinds, as bits 19-20 of an entry's data word.
inline constexpr int BOUND_LOWER = 1;  // the node failed high: the score is at least the stored one
inline constexpr int BOUND_UPPER = 2;  // no move raised alpha: the score is at most the stored one
inline constexpr int BOUND_EXACT = 3;

// One remembered position, shared by all threads without a lock. A probe may see
// fields of two stores; that costs one node a wrong hint, never memory safety.
struct HashEntry {
    std::atomic<uint32_t> keyLow, keyHigh, data;
    std::atomic<int16_t> score, depth;  // score as the search returned it; depth in 1/60 ply
};
static_assert(sizeof(HashEntry) == 16 && std::atomic<uint32_t>::is_always_lock_free &&
              std::atomic<int16_t>::is_always_lock_free);

// Four entries that share one 64-byte line, so a probe touches one block of memory.
struct alignas(64) HashCluster {
    HashEntry entry[4];
};
static_assert(sizeof(HashCluster) == 64);

inline constexpr uint32_t HashMoveMask = 0x1FFFF;  // to, from and promotion of a Move
inline constexpr int HashBoundShift = 19;
inline constexpr uint32_t HashMateThreatBit = 1u << 21;
inline constexpr int HashAgeShift = 22;

// Number of clusters: a power of two, written only between searches.
extern uint32_t clusterCount;
// The storage: clusterCount clusters.
extern HashCluster* hashTable;
// Advanced (modulo 256) at every search start so that older entries are replaced first.
extern uint8_t hashAge;
// Stores that took a new slot since the search started; feeds the fill estimate.
// Written by every thread at most stores, so it fills a cache line of its own: sharing one
// with the table's address and size, which every probe reads, would slow every thread.
struct alignas(64) StoreCounter : std::atomic<uint32_t> {
    using std::atomic<uint32_t>::atomic;
};
extern StoreCounter hashStores;

// The cluster count the table takes for `megabytes`: the largest power of two whose
// clusters fit (512 for a request below one megabyte). Pure: no allocation.
uint32_t hashClusterCountFor(uint32_t megabytes);

// Sizes the table for `megabytes`; allocates (zero-filled) only when the cluster count
// changes, so a repeated size keeps every entry. When the memory cannot be had the
// previous table stays (or, with none yet, the largest smaller one that can be had)
// and false is returned. Main thread only, between searches.
bool resizeHash(uint32_t megabytes);
// Zero-fills every cluster; age and size stay. Main thread only, between searches.
void clearHash();
// Releases the table (shutdown).
void freeHash();

// Looks the position up. On a hit: narrows alpha/beta by a bound whose depth is at
// least `depth`, returns the 17-bit move and the mate-threat flag (whatever the depth),
// and clears nullAllowed for an upper bound below beta. Never decides a cutoff itself.
// Without a hit, move = 0 and mateThreat = false and the rest is untouched.
// `ply` is the probing node's distance from the root, for mate scores (see storeHash).
bool probeHash(const Position& pos, int& alpha, int& beta, int depth, Move& move, bool& mateThreat,
               bool& nullAllowed, int ply);

// Remembers a result: updates the entry of the same key in place (a move 0 or
// MOVE_NONE keeps the old move), else replaces the entry of an older search, else
// the shallowest one of the cluster. A mate score is kept as the distance from this
// node (`ply` plies from the root), so that a probe from another ply reads the mate
// at its own distance.
void storeHash(const Position& pos, Move move, int score, int depth, int bound, bool mateThreat, int ply);

// Mate scores count plies from the root; the table keeps them counted from the node.
// A mate can lie no nearer the root than the node, so a stored mate never exceeds MATE;
// the infinite bounds (beyond MATE) pass unchanged.
inline int scoreToHash(int score, int ply) {
    if (score >= MATE_BOUND && score <= MATE) return score + ply;
    if (score <= -MATE_BOUND && score >= -MATE) return score - ply;
    return score;
}
inline int scoreFromHash(int score, int ply) {
    if (score >= MATE_BOUND && score <= MATE) return score - ply;
    if (score <= -MATE_BOUND && score >= -MATE) return score + ply;
    return score;
}

// Starts loading the cluster of `key`, so the probe at the next node finds it in cache.
inline void prefetchHash(uint64_t key) { __builtin_prefetch(&hashTable[uint32_t(key) & (clusterCount - 1)]); }

// Expected permill of entries written by this search's stores (no table scan).
int hashFullPermill();

}  // namespace brinz
