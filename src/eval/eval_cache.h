#pragma once

#include <atomic>
#include <cstdint>

#include "board/position.h"
#include "eval/evaluate.h"

namespace brinz {

// One remembered evaluation. Written field by field without a lock, so a probe racing a
// store may read parts of two positions; it is accepted only when both key parts match.
struct EvalCacheEntry {
    std::atomic<uint32_t> keyLow;     // low 32 bits of the position's key
    std::atomic<uint32_t> scoreKey;   // score (signed 16 bits) << 16 | key bits 32..47
    std::atomic<int16_t> extras[4];   // king safety white, black; passed pawns white, black
};
static_assert(sizeof(EvalCacheEntry) == 16 && std::atomic<uint32_t>::is_always_lock_free &&
              std::atomic<int16_t>::is_always_lock_free);

// The table shared by every search thread. Its size changes only between searches.
struct EvalCache {
    EvalCacheEntry* entries = nullptr;
    uint32_t count = 0;  // a power of two; 0 when the cache is off
};
extern EvalCache evalCache;

// Entries for a size option of `megabytes`: the megabytes rounded down to a power of two,
// at least one (65536 entries of 16 bytes).
uint32_t EvalCacheEntries(int megabytes);

// Called when the options are applied before each search. Off: frees the table. On:
// reallocates it (empty) when the entry count changes; an entry count kept keeps the entries
// unless the evaluation weights or the tablebases changed since they were stored, which
// empties it. Returns false when the table could not be allocated: the cache is then off.
bool ConfigureEvalCache(bool enabled, int megabytes);
// Forgets every entry.
void ClearEvalCache();

// Starts loading the entry of `key`, so the probe at the next node finds it in cache.
inline void PrefetchEvalCache(uint64_t key) {
    if (evalCache.count) Prefetch(&evalCache.entries[uint32_t(key) & (evalCache.count - 1)]);
}

// A hit fills `score` and `extras` as they were stored for `pos`.
bool ProbeEvalCache(const Position& pos, int& score, EvalExtras& extras);
// Remembers `score` and `extras` for `pos`, replacing what its entry held. A score that
// does not fit 16 bits is not kept; extras beyond 16 bits are kept at the nearest bound.
void StoreEvalCache(const Position& pos, int score, const EvalExtras& extras);

}  // namespace brinz
