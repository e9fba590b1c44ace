#pragma once

// Drives the search through its one entry point, as the go handler does, without the
// protocol: no input is read and nothing is printed, so the programs here can run unattended.

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "board/attacks.h"
#include "board/keys.h"
#include "board/position.h"
#include "eval/eval_cache.h"
#include "options/options.h"
#include "platform/clock.h"
#include "search/hash.h"
#include "search/root.h"
#include "search/search.h"
#include "smp/threads.h"
#include "search/time_control.h"

namespace brinz::bench {

// The board's tables and every option at its default.
inline void initialiseEngine() {
    InitKeys();
    InitAttacks();
    registerEngineParameters();
    registerUciOptions();
}

// For the benchmarks of single routines: the options applied for White, and the
// evaluation cache off, so that Evaluate computes on every call instead of finding the
// position it saw the round before.
inline void initialiseRoutines() {
    initialiseEngine();
    applyOptions(WHITE);
    ConfigureEvalCache(false, 0);
}

// A position of a benchmark's fixed set; one that does not parse ends the program.
inline Position benchPosition(const char* fen) {
    Position pos;
    if (!SetPositionFromFen(pos, fen)) {
        std::printf("bad position: %s\n", fen);
        std::exit(1);
    }
    return pos;
}

// The first search starts the helpers that "Max CPUs" asks for, as in the engine; call
// finish() before returning.
inline void initialise(int hashMegabytes, int threads = 1) {
    initialiseEngine();
    char line[64];
    std::snprintf(line, sizeof line, "Hash value %d", hashMegabytes);
    handleSetOption(line);
    std::snprintf(line, sizeof line, "Max CPUs value %d", threads);
    handleSetOption(line);
}

inline void finish() { stopThreads(); }

// Searches `fen` from an empty table until `depth` iterations are done or `movetimeMs`
// have passed (0 = no such limit). Returns false for a FEN that does not parse.
inline bool searchFen(const char* fen, int depth, int movetimeMs) {
    if (!SetPositionFromFen(RootPosition, fen)) return false;
    clearHash();
    SearchLimits limits;
    limits.depth = depth;
    limits.movetime = movetimeMs;
    SearchHooks hooks{};
    hooks.checkLimits = checkLimits;
    runSearch(limits, nullptr, hooks);
    SearchState.store(Idle);
    return true;
}

}  // namespace brinz::bench
