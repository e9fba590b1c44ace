#pragma once

// Drives the search the way the go handler does, without the protocol: no input is read
// and nothing is printed, so the programs here can run unattended.

#include <cstdint>
#include <cstdio>

#include "board/attacks.h"
#include "board/keys.h"
#include "board/position.h"
#include "eval/pawns.h"
#include "options/options.h"
#include "platform/clock.h"
#include "search/hash.h"
#include "search/root.h"
#include "search/search.h"
#include "uci/go.h"

namespace brinz::bench {

inline void initialise(int hashMegabytes) {
    InitKeys();
    InitAttacks();
    AllocatePawnTables(1);
    registerEngineParameters();
    registerUciOptions();
    char line[64];
    std::snprintf(line, sizeof line, "Hash value %d", hashMegabytes);
    handleSetOption(line);
    handleSetOption("Max CPUs value 1");
}

// Searches `fen` from an empty table until `depth` iterations are done or `movetimeMs`
// have passed (0 = no such limit). Returns false for a FEN that does not parse.
inline bool searchFen(const char* fen, int depth, int movetimeMs) {
    if (!SetPositionFromFen(RootPosition, fen)) return false;
    resetRootResults();
    applyOptions(RootPosition.side);
    clearHash();
    searchClock = SearchClock{};
    searchClock.startTick = tickCount();
    searchClock.noTimeLimit = true;
    searchClock.depthLimit = depth;
    searchClock.movetime = movetimeMs;
    searchClock.pollInterval = 1000;
    searchHooks = SearchHooks{};
    searchHooks.checkLimits = checkLimits;
    SearchState.store(Searching);
    rootSearch(nullptr);
    SearchState.store(Idle);
    return true;
}

}  // namespace brinz::bench
