#pragma once

#include "board/move.h"
#include "search/time_control.h"

namespace brinz::support {

// The state for calling search() or rootSearch() by hand, without the protocol: the options
// applied for White, an empty transposition table, fresh counters and root results, no
// limits and no hooks. The caller sets SearchState.
void prepareSearchState();

// Searches RootPosition through the engine's entry point (runSearch) with "Max CPUs" set to
// `threads`, no input and no reports; the limit checks run, so node and time limits hold.
// Leaves SearchState Idle.
void searchRootPosition(const SearchLimits& limits, int threads = 1, const Move* searchMoves = nullptr);

}  // namespace brinz::support
