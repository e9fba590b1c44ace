#include "search/root.h"

#include "board/attacks.h"
#include "board/generate.h"
#include "board/make_move.h"
#include "options/options.h"
#include "platform/clock.h"
#include "search/hash.h"
#include "search/ordering.h"
#include "search/time_control.h"
#include "smp/threads.h"

namespace brinz {

RootMove RootMoves[MaxRootMoves];
int rootMoveCount = 0;
int iterationNumber = 1;
int currentRootMove = 0;
Move bestLine[StackSize + 1] = {MOVE_NONE, MOVE_NONE};
Move bestMove = MOVE_NULL;
Move ponderMove = MOVE_NULL;
Move stableBestMove = 0;
int fullWindowResearch = 0;
int mateIterations = 0;
uint64_t bestMoveNodes = 0;
int bestMoveChanges[61];

namespace {

constexpr int EasyMoveMargin = 256;  // initial score lead over every other move for an easy move
constexpr int WaitPollMs = 5;

bool isStopping() { return SearchState.load(Relaxed) == Stopping; }

// The first iteration: the previous best line's move first, then by quiescence score.
bool initialBefore(const RootMove& a, const RootMove& b) {
    bool aFirst = a.move == bestLine[0], bFirst = b.move == bestLine[0];
    if (aFirst != bFirst) return aFirst;
    return a.initialScore > b.initialScore;
}

// Later iterations: exact scores of the latest iteration first, then score, then subtree size.
bool iterationBefore(const RootMove& a, const RootMove& b) {
    if (a.iteration > b.iteration && a.bound == 3) return true;
    if (b.iteration > a.iteration && b.bound == 3) return false;
    if (a.score != b.score) return a.score > b.score;
    return a.nodes > b.nodes;
}

// Insertion sort: stable, allocation-free, and safe whatever the comparison answers.
template <class Before>
void sortRootMoves(Before before) {
    for (int i = 1; i < rootMoveCount; ++i) {
        if (!before(RootMoves[i], RootMoves[i - 1])) continue;
        RootMove moving = RootMoves[i];
        int j = i;
        while (j > 0 && before(moving, RootMoves[j - 1])) {
            RootMoves[j] = RootMoves[j - 1];
            --j;
        }
        RootMoves[j] = moving;
    }
}

bool alreadyListed(Move m) {
    for (int i = 0; i < rootMoveCount; ++i)
        if (RootMoves[i].move == m) return true;
    return false;
}

// Called when the search would end by itself. Under "go infinite" the answer waits for
// "stop"; while pondering it waits for "ponderhit" or "stop". "quit" releases both.
void waitForRelease() {
    if (!searchHooks.pollInput) return;
    for (bool rested = false;; rested = true) {
        int state = SearchState.load(Relaxed);
        bool hold = state == Pondering || (searchClock.infinite && state != Stopping);
        if (!hold) return;
        // Nothing is left to share: the helpers sleep instead of spinning while we wait.
        if (!rested) restThreads();
        searchHooks.pollInput();
        sleepMilliseconds(WaitPollMs);
    }
}

// Principal variations wanted per iteration: 1 unless the option asks for more.
int linesWanted() {
    int lines = Parameters.multiPv;
    return lines < 1 ? 1 : lines > MaxMultiPv ? MaxMultiPv : lines;
}

// Enters an exact score into this iteration's best `lines` scores (highest first) and
// returns the score a further move must beat to be among them: -INFINITE_SCORE while
// fewer than `lines` moves have an exact score.
int enterExactScore(int* top, int& count, int lines, int v) {
    int k = count < lines ? count++ : lines - 1;
    while (k > 0 && top[k - 1] < v) {
        top[k] = top[k - 1];
        --k;
    }
    top[k] = v;
    return count < lines ? -INFINITE_SCORE : top[lines - 1];
}

// Reports the best `lines` moves with an exact score of iteration i, best first; among
// equal scores the one searched first comes first.
void reportLines(int i, int lines) {
    const RootMove* chosen[MaxMultiPv];
    int count = 0;
    for (int k = 0; k < rootMoveCount; ++k) {
        const RootMove& entry = RootMoves[k];
        if (entry.iteration != i || entry.bound != BOUND_EXACT) continue;
        int at = count < lines ? count++ : lines;
        while (at > 0 && chosen[at - 1]->score < entry.score) {
            if (at < lines) chosen[at] = chosen[at - 1];
            --at;
        }
        if (at < lines) chosen[at] = &entry;
    }
    for (int n = 0; n < count; ++n) searchHooks.reportMultiPv(n + 1, chosen[n]->score, chosen[n]->line, i);
}

}  // namespace

void resetRootResults() {
    iterationNumber = 1;
    stableBestMove = 0;
    bestMove = MOVE_NULL;
    ponderMove = MOVE_NULL;
    mateIterations = 0;
    bestLine[0] = bestLine[1] = MOVE_NONE;
    rootMoveCount = 0;
    currentRootMove = 0;
    fullWindowResearch = 0;
    bestMoveNodes = 0;
    searchClock.extraTime = 0;
    nodeCount.store(0, Relaxed);
    pollCounter = 0;
}

void addRootMove(Move m) {
    SearchThread& thread = searchThread(0);
    Position& pos = thread.position;
    PlyRecord* stack = thread.stack;
    if (rootMoveCount >= MaxRootMoves || !IsLegal(pos, m)) return;
    RootMove& entry = RootMoves[rootMoveCount];
    entry.move = m;
    entry.nodes = entry.totalNodes = 0;
    entry.iteration = 0;
    entry.bound = 2;
    entry.line[0] = m;
    entry.line[1] = MOVE_NONE;
    stack[1].evalDone = 0;
    stack[0].currentMove = m;
    UndoRecord undo;
    MakeMove(pos, undo, m);
    entry.initialScore = -quiesce(pos, stack, 1, -INFINITE_SCORE, INFINITE_SCORE, 0, 0, thread);
    entry.score = -INFINITE_SCORE;
    UnmakeMove(pos, undo, m);
    ++rootMoveCount;
}

namespace {

// The root's legal moves, each scored by a quiescence search (addRootMove): all of them, or
// those of `searchMoves` that are legal answers here.
void collectRootMoves(Position& pos, PlyRecord* stack, const Move* searchMoves) {
    MoveListEntry* start = stack[0].moveListStart;
    MoveListEntry* end;
    if (pos.checkerCount) {
        end = GenerateEvasions(pos, start);
        stack[0].evasionCount = int(end - start);
    } else {
        end = GenerateMoves(pos, start);
    }
    stack[1].moveListStart = end;

    if (!searchMoves) {
        for (MoveListEntry* e = start; e < end; ++e) addRootMove(e->move);
    } else {
        // Only moves of the root's own list count, each once: a listed move that is not
        // a legal answer here (not an evasion when in check) is dropped.
        for (const Move* s = searchMoves; *s; ++s)
            for (MoveListEntry* e = start; e < end; ++e)
                if (e->move == *s && !alreadyListed(*s)) {
                    addRootMove(*s);
                    break;
                }
    }
}

// The root's move of iteration `depth` (in 1/60 ply) against `alpha`: a null-window
// search, then the full window when the move comes out above alpha.
int searchRootMove(SearchThread& thread, Move m, int depth, int alpha) {
    Position& pos = thread.position;
    PlyRecord* stack = thread.stack;
    stack[0].currentMove = m;
    stack[1].evalDone = 0;
    UndoRecord undo;
    MakeMove(pos, undo, m);
    int extension = moveExtension(stack[0], pos, false);
    fullWindowResearch = 0;
    int v = -search(pos, stack, 1, -alpha - 1, -alpha, depth + extension - ONE_PLY, true, thread);
    if (v > alpha && v < INFINITE_SCORE && !isStopping()) {
        fullWindowResearch = 1;
        v = -search(pos, stack, 1, -INFINITE_SCORE, -alpha, depth + extension - ONE_PLY, true, thread);
    }
    UnmakeMove(pos, undo, m);
    return v;
}

}  // namespace

void rootSearch(const Move* searchMoves) {
    SearchThread& thread = searchThread(0);
    Position& pos = thread.position;
    PlyRecord* stack = thread.stack;
    int best = -INFINITE_SCORE;

    wakeThreads();
    hashAge = uint8_t(hashAge + 1);
    hashStores.store(0, Relaxed);
    pos = RootPosition;
    stack[0].moveListStart = thread.moveBuffer;
    stack[0].evalDone = 0;
    resetSearchCounters();
    stack[0].inCheck = pos.checkerCount;
    collectRootMoves(pos, stack, searchMoves);

    stack[0].staticEval = Evaluate(pos, stack[0].evalTerms, thread.pawns.get(), stack[0].evalFlag);
    stack[0].evalDone = 1;
    clearCutoffStats();

    // From here on a legal move exists to answer with, even if the search stops at once.
    if (rootMoveCount > 0) {
        sortRootMoves(initialBefore);
        bestMove = RootMoves[0].move;
        ponderMove = MOVE_NONE;
    }

    bool ended = rootMoveCount == 0;  // nothing to deepen: answer (or wait) at once
    // With several lines wanted, a move must beat the last of the best `lines` exact scores
    // so far (not only the best) to be searched again with the open window; with one line
    // that is the best score, as always.
    const int lines = linesWanted();
    int topScores[MaxMultiPv];
    while (!ended && !isStopping()) {
        int i = ++iterationNumber;
        int depth = i * ONE_PLY;
        if (i <= 60) {
            bestMoveChanges[i] = 0;
            if (searchHooks.reportIteration) searchHooks.reportIteration(i);
        }
        if (i <= 5) searchClock.extraTime = 0;
        int alpha = -INFINITE_SCORE;
        int exactCount = 0;
        nodeEntry(pos, stack, 0, thread);
        best = -INFINITE_SCORE;
        if (i == 2) sortRootMoves(initialBefore);
        else sortRootMoves(iterationBefore);
        currentRootMove = 0;
        bestLine[0] = RootMoves[0].move;
        bestLine[1] = MOVE_NONE;
        if (i == 2) {
            stableBestMove = RootMoves[0].move;
            for (int k = 1; k < rootMoveCount; ++k)
                if (RootMoves[k].initialScore >= RootMoves[0].initialScore - EasyMoveMargin) stableBestMove = 0;
        }

        for (int k = 0; k < rootMoveCount; ++k) {
            RootMove& entry = RootMoves[k];
            Move m = entry.move;
            currentRootMove = k + 1;
            if (i <= 60 && searchElapsedMs() > 1000 && searchHooks.reportCurrentMove)
                searchHooks.reportCurrentMove(m, currentRootMove);
            uint64_t before = nodeCount.load(Relaxed);
            int v = searchRootMove(thread, m, depth, alpha);
            if (i >= 5 && !isStopping() && searchHooks.pollInput) searchHooks.pollInput();
            entry.nodes = nodeCount.load(Relaxed) - before;
            entry.totalNodes += entry.nodes;
            if (k == 0) bestMoveNodes = entry.totalNodes;
            if (isStopping()) break;

            entry.line[0] = m;
            int length = 1;
            for (; length < StackSize && stack[1].pv[length] != MOVE_NONE; ++length) entry.line[length] = stack[1].pv[length];
            entry.line[length] = MOVE_NONE;
            entry.iteration = i;
            if (v <= alpha) {
                entry.score = -INFINITE_SCORE;
                entry.bound = 2;
                continue;
            }
            entry.score = v;
            entry.bound = 3;
            alpha = lines == 1 ? v : enterExactScore(topScores, exactCount, lines, v);
            if (v > best) {
                best = v;
                for (int j = 0; j <= length; ++j) bestLine[j] = stack[0].pv[j] = entry.line[j];
                bestMove = bestLine[0];
                ponderMove = bestLine[1];
                if (k > 0 && i <= 60) ++bestMoveChanges[i];
                if (lines == 1 && searchHooks.reportPv) searchHooks.reportPv(v, bestLine, i);
            }
        }
        if (isStopping()) break;
        if (lines > 1 && i <= 60 && searchHooks.reportMultiPv) reportLines(i, lines);

        ended = iterationEndsSearch(i, best);
    }
    if (!isStopping()) waitForRelease();
}

}  // namespace brinz
