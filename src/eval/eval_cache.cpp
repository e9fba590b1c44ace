#include "eval/eval_cache.h"

#include <new>

#include "options/options.h"
#include "platform/memory.h"
#include "tablebases/registry.h"

namespace brinz {

EvalCache evalCache;

namespace {

constexpr uint32_t MinEntries = 65536;          // one megabyte
constexpr uint64_t MaxEntries = uint64_t(1) << 27;  // two gigabytes, beyond any size option

// What the stored scores depend on besides the position: the weights of the search that
// stored them (the king-safety weights follow the engine's colour) and the tables found.
struct CacheInputs {
    int32_t kingSafety[2], passedMiddle, passedEnd, structureMiddle, structureEnd;
    int32_t mobilityMiddle, mobilityEnd, development, pawnDanger;
    uint32_t tableSet;
    bool operator==(const CacheInputs&) const = default;
};
CacheInputs filledWith{};

CacheInputs CurrentInputs() {
    const EngineParameters& p = Parameters;
    return {{p.kingSafetyWeight[WHITE], p.kingSafetyWeight[BLACK]},
            p.passedPawnsMiddle,
            p.passedPawnsEnd,
            p.pawnStructureMiddle,
            p.pawnStructureEnd,
            p.mobilityMiddle,
            p.mobilityEnd,
            p.development,
            p.pawnDanger,
            tableSetVersion()};
}

int16_t Narrow(int32_t v) { return int16_t(v > INT16_MAX ? INT16_MAX : v < INT16_MIN ? INT16_MIN : v); }

void FreeTable() {
    freeLargeTable(evalCache.entries, size_t(evalCache.count) * sizeof(EvalCacheEntry));
    evalCache.entries = nullptr;
    evalCache.count = 0;
}

}  // namespace

uint32_t EvalCacheEntries(int megabytes) {
    // 64-bit arithmetic: a 32-bit byte count would wrap for large sizes.
    const int64_t wanted = int64_t(megabytes) * int64_t(MinEntries);
    uint64_t m = 2 * uint64_t(MinEntries);
    if (wanted >= int64_t(m))
        while (int64_t(m) <= wanted && m / 2 < MaxEntries) m *= 2;
    return uint32_t(m / 2);
}

void ClearEvalCache() {
    // An entry is probed only by keys whose low bits are its index, so index ^ 1 fits none:
    // a cleared entry cannot pass for a position.
    for (uint32_t i = 0; i < evalCache.count; ++i) {
        EvalCacheEntry& e = evalCache.entries[i];
        e.keyLow.store(i ^ 1, Relaxed);
        e.scoreKey.store(0, Relaxed);
        for (auto& x : e.extras) x.store(0, Relaxed);
    }
}

bool ConfigureEvalCache(bool enabled, int megabytes) {
    if (!enabled) {
        FreeTable();
        return true;
    }
    const uint32_t count = EvalCacheEntries(megabytes);
    const CacheInputs inputs = CurrentInputs();
    if (count == evalCache.count && evalCache.entries) {
        if (!(inputs == filledWith)) ClearEvalCache();
    } else {
        FreeTable();
        void* block = allocateLargeTable(size_t(count) * sizeof(EvalCacheEntry));
        if (!block) return false;  // the cache stays off
        evalCache.entries = std::launder(static_cast<EvalCacheEntry*>(block));
        evalCache.count = count;
        ClearEvalCache();
    }
    filledWith = inputs;
    return true;
}

bool ProbeEvalCache(const Position& pos, int& score, EvalExtras& extras) {
    if (evalCache.count == 0) return false;
    const uint32_t low = uint32_t(pos.key);
    const EvalCacheEntry& e = evalCache.entries[low & (evalCache.count - 1)];
    if (e.keyLow.load(Relaxed) != low) return false;
    const uint32_t word = e.scoreKey.load(Relaxed);
    if ((word & 0xFFFF) != (uint32_t(pos.key >> 32) & 0xFFFF)) return false;
    score = int16_t(word >> 16);
    extras.kingSafety[WHITE] = e.extras[0].load(Relaxed);
    extras.kingSafety[BLACK] = e.extras[1].load(Relaxed);
    extras.passedPawns[WHITE] = e.extras[2].load(Relaxed);
    extras.passedPawns[BLACK] = e.extras[3].load(Relaxed);
    return true;
}

void StoreEvalCache(const Position& pos, int score, const EvalExtras& extras) {
    if (evalCache.count == 0 || score != int16_t(score)) return;
    const uint32_t low = uint32_t(pos.key);
    EvalCacheEntry& e = evalCache.entries[low & (evalCache.count - 1)];
    e.keyLow.store(low, Relaxed);
    e.scoreKey.store(uint32_t(uint16_t(score)) << 16 | (uint32_t(pos.key >> 32) & 0xFFFF), Relaxed);
    e.extras[0].store(Narrow(extras.kingSafety[WHITE]), Relaxed);
    e.extras[1].store(Narrow(extras.kingSafety[BLACK]), Relaxed);
    e.extras[2].store(Narrow(extras.passedPawns[WHITE]), Relaxed);
    e.extras[3].store(Narrow(extras.passedPawns[BLACK]), Relaxed);
}

}  // namespace brinz
