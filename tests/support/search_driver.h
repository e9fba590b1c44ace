#pragma once

#include <cstdint>

#include "board/move.h"
#include "search/time_control.h"

namespace brinz::support {

// Positions of every kind (the start, middle games, a tactical melee, a rook ending, a pawn
// ending) for short fixed searches whose totals stand for the search as a whole.
inline constexpr const char* SearchSample[] = {
    "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
    "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10",
    "5rk1/1ppb3p/p1pb4/6q1/3P1p1r/2P1R2P/PP1BQ1P1/5RKN w - - 0 1",
    "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
    "8/k7/3p4/p2P1p2/P2P1P2/8/8/K7 w - - 0 1",
};

// The state for calling search() or rootSearch() by hand, without the protocol: the options
// applied for White, an empty transposition table, fresh counters and root results, no
// limits and no hooks. The caller sets SearchState.
void prepareSearchState();

// Searches RootPosition through the engine's entry point (runSearch) with "Max CPUs" set to
// `threads`, no input and no reports; the limit checks run, so node and time limits hold.
// Leaves SearchState Idle.
void searchRootPosition(const SearchLimits& limits, int threads = 1, const Move* searchMoves = nullptr);

// `fen` searched to `depth` iterations on one thread from empty tables (transposition
// table, evaluation cache, pawn tables): a search whose node count depends on nothing
// before it. Returns the nodes.
uint64_t searchFromEmptyTables(const char* fen, int depth);

}  // namespace brinz::support
