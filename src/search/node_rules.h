#pragma once

// What the main search and the quiescence search share at every node.

#include "search/hash.h"
#include "search/search.h"

namespace brinz {

// Futility pruning: below FutilityFloor the static evaluation is too unsure to prune on;
// at or below FutilityEndgameMaterial (both sides' material) the margins double.
inline constexpr int FutilityFloor = -5120;
inline constexpr int FutilityEndgameMaterial = 6784;

// The search is being stopped, or this thread's work was cut off above it: what it
// returns now is void.
inline bool stopping(const SearchThread& thread) {
    return SearchState.load(Relaxed) == Stopping || thread.abort.load(Relaxed);
}

// The static evaluation of a node, with its terms and tablebase flag kept in its record and
// the thread's own pawn table.
inline int evaluate(const Position& pos, PlyRecord& record, int ply, SearchThread& thread) {
    return Evaluate(pos, record.evalTerms, thread.pawns.get(), record.evalFlag, ply);
}

// Stores a finished node's result under what it proves. `best` still -INFINITE_SCORE means
// every legal move was pruned: then only that none reaches the alpha on entry is known.
inline void storeNodeResult(const Position& pos, Move pvMove, int best, int alphaOnEntry, int alpha, int beta,
                            int depth, bool mateThreat, int ply) {
    if (best == -INFINITE_SCORE)
        storeHash(pos, MOVE_NONE, alphaOnEntry, depth, BOUND_UPPER, mateThreat, ply);
    else if (best >= beta)
        storeHash(pos, pvMove, best, depth, BOUND_LOWER, mateThreat, ply);
    else if (alpha == alphaOnEntry)
        storeHash(pos, MOVE_NONE, best, depth, BOUND_UPPER, mateThreat, ply);
    else
        storeHash(pos, pvMove, best, depth, BOUND_EXACT, mateThreat, ply);
}

}  // namespace brinz
