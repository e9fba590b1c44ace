#include "smp/split.h"

#include <cassert>
#include <mutex>
#include <new>

#include "board/attacks.h"
#include "board/make_move.h"
#include "options/options.h"
#include "search/hash.h"
#include "search/ordering.h"
#include "smp/threads.h"

namespace brinz {

void SplitPointsDeleter::operator()(SplitPoint* points) const { delete[] points; }

Lock splitLock;
SplitCounters splitCounters;

namespace {

constexpr int SelectedMoves = 16;  // as at a serial node: selection first, list order after

// Thread i may work for thread t: it owns nothing open, or only two threads take part (the
// other one can only be working beneath us), or t works for it at its newest split point,
// so that helping t stays inside i's own subtree.
bool mayHelp(int i, int t, int threads) {
    const SearchThread& helper = searchThread(i);
    int open = helper.activeSplits.load(Relaxed);
    if (open == 0 || threads == 2) return true;
    return open <= MaxSplitsPerThread && helper.splitPoints[open - 1].slaves[t].load(Relaxed);
}

// Aborts everyone working at `s` but `except` (the owner included). Under s.lock.
void abortWorkers(SplitPoint& s, int except) {
    int threads = activeThreads.load(Relaxed);
    for (int j = 0; j < threads; ++j)
        if (j != except && (j == s.owner || s.slaves[j].load(Relaxed))) searchThread(j).abort.store(1, Relaxed);
}

}  // namespace

bool cutoffAbove(const SplitPoint* s) {
    for (; s; s = s->parent)
        if (s->cutoff.load(Relaxed)) return true;
    return false;
}

bool idleThreadAvailable(int t) {
    int threads = activeThreads.load(Relaxed);
    for (int i = 0; i < threads; ++i)
        if (i != t && searchThread(i).idle.load(Relaxed) && mayHelp(i, t, threads)) return true;
    return false;
}

bool split(Position& pos, PlyRecord* stack, int ply, int& alpha, int& beta, bool pvNode, int& best, int depth,
           int movesSearched, MoveListEntry* cursor, MoveListEntry* end, SearchThread& me) {
    const int t = me.index;
    SplitPoint* s;
    {
        std::lock_guard<Lock> guard(splitLock);
        int level = me.activeSplits.load(Relaxed);
        if (level >= MaxSplitsPerThread) {
            splitCounters.nestingRefused.store(splitCounters.nestingRefused.load(Relaxed) + 1, Relaxed);
            return false;
        }
        // An aborted thread's last result may be a void 0: the node must unwind, not share it.
        if (me.abort.load(Relaxed) || !idleThreadAvailable(t)) return false;
        s = &me.splitPoints[level];
        me.activeSplits.store(level + 1, Relaxed);

        s->ply = ply;
        s->depth = depth;
        s->alpha.store(alpha, Relaxed);
        s->beta.store(beta, Relaxed);
        s->best.store(best, Relaxed);
        s->pvNode = pvNode;
        s->owner = t;
        s->ownerStack = stack;
        s->cursor = cursor;
        s->end = end;
        s->movesTaken = movesSearched;
        s->parent = me.workingAt;
        s->cutoff.store(0, Relaxed);
        int threads = activeThreads.load(Relaxed);
        for (int i = 0; i < MaxThreads; ++i) s->slaves[i].store(0, Relaxed);

        int workers = 0;
        for (int i = 0; i < threads; ++i) {
            SearchThread& r = searchThread(i);
            if (i != t && !(r.idle.load(Relaxed) && mayHelp(i, t, threads))) continue;
            s->positions[i] = pos;
            for (int p = 0; p <= ply; ++p) s->stacks[i][p] = stack[p];
            r.splitPoint.store(s, Relaxed);
            if (i != t) {
                s->slaves[i].store(1, Relaxed);
                if (r.activeSplits.load(Relaxed) > 0)
                    splitCounters.helpfulJoins.store(splitCounters.helpfulJoins.load(Relaxed) + 1, Relaxed);
            }
            ++workers;
        }
        s->workers.store(workers, Relaxed);
        for (int i = 0; i < threads; ++i) {
            if (i != t && !s->slaves[i].load(Relaxed)) continue;
            SearchThread& r = searchThread(i);
            if (i != t) r.abort.store(0, Relaxed);
            r.idle.store(0, Relaxed);
            r.hasWork.store(1, std::memory_order_release);
        }
        splitCounters.opened.store(splitCounters.opened.load(Relaxed) + 1, Relaxed);
    }
    // A helper can only sleep if the search started in the wrong order; never leave one
    // asleep with work, or the owner would wait for it for ever.
    for (int i = 0; i < MaxThreads; ++i)
        if (i != t && s->slaves[i].load(Relaxed)) wakeHelper(i);

    // The owner searches its own share through its hasWork, then helps where it may.
    waitForWork(me, s);

    std::lock_guard<Lock> guard(splitLock);
    alpha = s->alpha.load(Relaxed);
    beta = s->beta.load(Relaxed);
    best = s->best.load(Relaxed);
    me.activeSplits.store(me.activeSplits.load(Relaxed) - 1, Relaxed);
    // The owner's flag may still hold an abort meant for work it helped with; what counts
    // now is whether the work it resumes was cut off above. Clearing it blindly would let
    // an aborted, half-searched split pass for a finished one.
    me.abort.store(cutoffAbove(s->parent) ? 1 : 0, Relaxed);
    me.idle.store(0, Relaxed);
    return true;
}

void searchSplitPoint(SplitPoint& s, SearchThread& me) {
    const int i = me.index;
    SplitPoint* outer = me.workingAt;
    MoveListEntry* outerEnd = me.moveBufferEnd;
    me.workingAt = &s;
    me.moveBufferEnd = s.moveBuffers[i] + MoveBufferSize;

    Position& pos = s.positions[i];
    PlyRecord* stack = s.stacks[i];
    const int p = s.ply, side = pos.side;
    PlyRecord& node = stack[p];
    stack[p + 1].moveListStart = s.moveBuffers[i];

    while (s.alpha.load(Relaxed) < s.beta.load(Relaxed) && !me.abort.load(Relaxed)) {
        Move m;
        {
            std::lock_guard<Lock> guard(s.lock);
            if (s.cursor >= s.end) break;
            m = pickMove(s.cursor, s.end, s.movesTaken < SelectedMoves);
        }
        if (!m) break;
        if (!IsLegal(pos, m)) continue;
        int n;
        {
            std::lock_guard<Lock> guard(s.lock);
            n = ++s.movesTaken;
        }

        node.currentMove = m;
        UndoRecord undo;
        MakeMove(pos, undo, m);
        prefetchChild(pos, me);
        stack[p + 1].evalDone = 0;
        // A split point's depth is never below the split depth: every move here but the
        // owner's first is a later move.
        int extension = moveExtension(node, pos, false);
        NodeWindow window;
        window.sharedAlpha = &s.alpha;
        window.sharedBeta = &s.beta;
        int v = searchLaterMove(pos, stack, p, m, n, s.depth, extension, s.pvNode, window, me);
        UnmakeMove(pos, undo, m);
        // An aborted search's score is void: leave before it is recorded.
        if (me.abort.load(Relaxed)) break;

        std::lock_guard<Lock> guard(s.lock);
        if (v <= s.best.load(Relaxed) || me.abort.load(Relaxed)) continue;
        s.best.store(v, Relaxed);
        if (v <= s.alpha.load(Relaxed)) continue;
        s.alpha.store(v, Relaxed);
        // The line goes to the owner's record and to ours.
        copyPv(s.ownerStack[p].pv, p, m, stack[p + 1].pv);
        copyPv(node.pv, p, m, stack[p + 1].pv);
        if (v >= s.beta.load(Relaxed)) {
            recordCutoff(side, m, s.ownerStack, p, s.depth, v);
            s.cutoff.store(1, Relaxed);
            splitCounters.cutoffs.store(splitCounters.cutoffs.load(Relaxed) + 1, Relaxed);
            abortWorkers(s, i);
        }
    }

    flushNodes(me);
    me.workingAt = outer;
    me.moveBufferEnd = outerEnd;
    std::lock_guard<Lock> guard(s.lock);
    // An owner aborted from above takes its helpers with it.
    if (i == s.owner && me.abort.load(Relaxed)) abortWorkers(s, i);
    s.slaves[i].store(0, Relaxed);
    // Last: once workers reaches 0 the owner may close and reuse the split point.
    s.workers.fetch_sub(1, std::memory_order_acq_rel);
}

}  // namespace brinz
