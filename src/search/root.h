#pragma once

#include <cstdint>

#include "board/move.h"
#include "search/search.h"

namespace brinz {

// A legal position has fewer moves than a generator's list holds.
inline constexpr int MaxRootMoves = MaxMoves;
// Endless analysis stops deepening here (far beyond any real depth) and waits to be released.
inline constexpr int MaxIterations = 1000;

struct RootMove {
    Move move;
    int32_t initialScore;      // -(quiescence score after the move), for the first ordering
    int32_t score;             // of the latest iteration; -INFINITE_SCORE when it failed low
    int32_t bound;             // BOUND_EXACT or BOUND_UPPER
    int32_t iteration;         // when score and bound were set
    Move line[StackSize + 1];  // the move and its principal variation, ended by MOVE_NONE
    uint64_t nodes;            // spent on the move in the latest iteration
    uint64_t totalNodes;       // over the whole search
};

// Results and facts of the running search: written by the root on thread 0, read by the
// limit checks and reports on the same thread.
extern RootMove RootMoves[MaxRootMoves];
extern int rootMoveCount;
extern int iterationNumber;        // 1 before the first iteration; iteration i searches i plies
extern int currentRootMove;        // 1-based
extern Move bestLine[StackSize + 1];
extern Move bestMove;              // MOVE_NULL only when there is no legal root move
extern Move ponderMove;            // MOVE_NONE when the line has no second move
extern Move stableBestMove;        // the easy move while it stays best, else 0
extern int fullWindowResearch;
extern int mateIterations;
extern uint64_t bestMoveNodes;
extern int bestMoveChanges[61];

// Clears the results above for a new search (also nodeCount and pollCounter).
void resetRootResults();

// Searches RootPosition by iterative deepening on thread 0 under searchClock and the
// hooks, until a limit, a stop rule or Stopping. `searchMoves` is null for every legal
// move, else a zero-terminated list that restricts the root (an empty list leaves nothing);
// moves that are not legal at the root, and repeats, are dropped.
// Under "go infinite" or while pondering it does not return before it is released.
void rootSearch(const Move* searchMoves);

// Appends legal root move m with its quiescence score; anything else is ignored.
void addRootMove(Move m);

}  // namespace brinz
