#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "board/move.h"
#include "board/position.h"
#include "eval/eval_cache.h"
#include "eval/evaluate.h"
#include "eval/pawns.h"
#include "platform/clock.h"
#include "platform/threads.h"
#include "search/hash.h"
#include "search/score.h"

namespace brinz {

enum SearchStateValue : int32_t { Idle = 0, Searching = 1, Pondering = 2, PonderHit = 3, Stopping = 4 };

// Written by the main thread; every search routine unwinds once it reads Stopping.
// Read at every node by every thread, so it keeps a cache line to itself.
alignas(64) extern std::atomic<int32_t> SearchState;
// Set by the input poller when "quit" arrives during a search; the go handler then ends the process.
extern std::atomic<uint8_t> quitRequested;

inline constexpr int ONE_PLY = 60;
inline constexpr int MaxPly = 60;       // a node at this ply returns its static evaluation
inline constexpr int StackSize = 64;
inline constexpr int MaxMovesPerPly = 256;
// Room for a full list at every ply of the stack, so no ply can run past the buffer.
inline constexpr int MoveBufferSize = StackSize * MaxMovesPerPly;

// One ply of a thread's search stack; the record of ply p belongs to the node p plies from the root.
struct PlyRecord {
    MoveListEntry* moveListStart;  // this node's list; the next record's start is its end
    Move pv[StackSize];            // line found at this ply, from index p on, ended by MOVE_NONE
    Move currentMove;              // MOVE_NONE before the first move, MOVE_NULL during the null move
    Move killer1, killer2, mateKiller;
    int32_t staticEval;
    uint8_t evalDone;              // staticEval, evalTerms and evalFlag are valid
    EvalExtras evalTerms;          // king safety white/black, passed pawns white/black
    int32_t inCheck;               // checkerCount at node entry
    int32_t evasionCount;
    int32_t extension;             // of the move being searched from this node, 1/60 ply
    uint8_t reduced;               // the move being searched is searched with a reduction
    uint8_t goodRecapture;
    uint8_t evalFlag;              // the static evaluation is a tablebase result
};

struct SplitPoint;  // smp/split.h
// Frees a thread's split points (defined where SplitPoint is complete).
struct SplitPointsDeleter {
    void operator()(SplitPoint* points) const;
};

// Everything one search thread owns: its position, stack and move buffer, its pawn table,
// its split points and what the split machinery knows of it. Thread 0 runs the root; the
// others are helpers that join through split points, where each works on the split
// point's copies instead (smp/split.h). A record is created when a search first asks for
// its thread (smp/threads.h) and lives until the process ends. Aligned so no two threads
// share a cache line.
struct alignas(64) SearchThread {
    explicit SearchThread(int threadIndex) : index(threadIndex) {}
    SearchThread(const SearchThread&) = delete;
    SearchThread& operator=(const SearchThread&) = delete;

    const int index;  // 0 for the root's thread, 1..7 for helpers
    Position position;
    PlyRecord stack[StackSize];
    MoveListEntry moveBuffer[MoveBufferSize];
    // End of the buffer the thread's lists go to now: this one, or its buffer at the split
    // point it works at. Every list must start at least MaxMovesPerPly entries before it.
    MoveListEntry* moveBufferEnd = moveBuffer + MoveBufferSize;
    uint32_t quiescenceNodes = 0;  // since this thread's search last entered quiescence
    uint32_t pendingNodes = 0;     // a helper's nodes not yet added to nodeCount
    // Null when the system had no memory for it: the pawns are then analysed afresh.
    std::unique_ptr<PawnTable> pawns;

    // The split machinery's view of the thread. splitPoint, idle and hasWork are written
    // under splitLock by whoever hands out work (idle also by the thread itself when its
    // share is done), abort by whoever cuts off a split point the thread works at; all are
    // read without a lock.
    std::atomic<SplitPoint*> splitPoint{nullptr};  // last assignment; read once hasWork is seen
    std::atomic<uint8_t> abort{0};    // set by others: leave the current split-point work and return
    std::atomic<uint8_t> waiting{0};  // inside its wait loop; a helper clears it only when it ends
    std::atomic<uint8_t> idle{0};     // may be given work
    std::atomic<uint8_t> hasWork{0};  // assigned to splitPoint and not started yet: stored with release
    // The split point whose moves this thread is searching now (null at the root and when
    // idle). Read and written by the thread itself only; it becomes the parent of the
    // split points the thread opens.
    SplitPoint* workingAt = nullptr;
    // The thread's nested open split points, MaxSplitsPerThread of them, created when the
    // thread first takes part in a search on several threads (null before).
    std::unique_ptr<SplitPoint[], SplitPointsDeleter> splitPoints;
    std::atomic<int> activeSplits{0};  // open split points, 0..MaxSplitsPerThread
    std::atomic<uint32_t> sleeps{0};   // times a helper went to sleep on its event; tests watch it
    std::atomic<uint32_t> wakeUps{0};  // times a helper left its event wait; tests watch it
    AutoResetEvent wake;               // a helper sleeps on it between searches
    Thread helper;                     // the system thread of a helper (unused for thread 0)
};

// The records by thread index, null until a search asks for the thread. Thread 0's exists
// once the first search (or prepareSearchThreads, smp/threads.h) has run.
extern std::unique_ptr<SearchThread> SearchThreads[MaxThreads];
// Thread i's record; it must exist.
inline SearchThread& searchThread(int i) { return *SearchThreads[i]; }

// The limits of the running search, set up by runSearch (search/time_control.h) before
// rootSearch and read by the search and the limit checks on thread 0.
struct SearchClock {
    int64_t startTick;
    int64_t softLimit, hardLimit;  // milliseconds
    int64_t extraTime;             // added to softLimit by the root when the best move changes
    bool noTimeLimit;              // no clock-based stopping
    bool infinite;                 // "go infinite": never answer before "stop"
    int32_t depthLimit;            // iterations (plies); 0 = none
    uint64_t nodesLimit;           // 0 = none
    int64_t movetime;              // 0 = none
    int32_t mateLimit;             // stop once a mate in at most this many moves is found; 0 = none
    uint32_t pollInterval;         // nodes between two input polls and limit checks
};
extern SearchClock searchClock;
// Milliseconds since the running search started.
inline int64_t searchElapsedMs() { return tickCount() - searchClock.startTick; }

// Nodes of the running search (all threads), and thread 0's count since its last poll.
// Thread 0 counts every node; helpers add theirs in batches, all of them before they
// leave a split point. On a line of its own: thread 0 writes it at every node.
alignas(64) extern std::atomic<uint64_t> nodeCount;
extern uint32_t pollCounter;
// Adds a helper's pending nodes to nodeCount.
void flushNodes(SearchThread& thread);

// Principal variations the root reports per iteration (the "MultiPV" option).
inline constexpr int MaxMultiPv = 32;

// What the search asks of whoever drives it. Any hook may be null: then that service is skipped.
// All run on thread 0 only.
struct SearchHooks {
    void (*pollInput)();     // read and act on one pending input line, without blocking
    void (*checkLimits)();   // set Stopping when a limit is reached
    void (*reportPv)(int score, const Move* line, int depth);
    void (*reportIteration)(int iteration);
    void (*reportCurrentMove)(Move move, int number);
    // One of several lines (`number` from 1, best first) at the end of an iteration, when
    // more than one principal variation is wanted.
    void (*reportMultiPv)(int number, int score, const Move* line, int depth);
    void (*reportStatus)();  // about once a second, from checkLimits
    // Fewer threads could be started than the options ask for.
    void (*reportThreadShortfall)(int started, int asked);
};
extern SearchHooks searchHooks;

// Right after MakeMove: starts loading the child's transposition-table cluster, evaluation
// cache entry and pawn entry, so its probes find them in cache.
inline void prefetchChild(const Position& pos, const SearchThread& thread) {
    prefetchHash(pos.key);
    PrefetchEvalCache(pos.key);
    PrefetchPawnEntry(pos.pawnKey, thread.pawns.get());
}

// Counts the node, gives thread 0 its poll every pollInterval nodes and prepares the
// records of ply p (and clears the killers of ply p + 2).
void nodeEntry(const Position& pos, PlyRecord* stack, int ply, SearchThread& thread);

// The alpha-beta search below the root. Returns a score within the window's
// conventions (never below alpha on entry); 0 when the search is being stopped.
int search(Position& pos, PlyRecord* stack, int ply, int alpha, int beta, int depth, bool nullAllowed,
           SearchThread& thread);
// Captures, queen promotions and (near its top) quiet checks until the position is quiet.
int quiesce(Position& pos, PlyRecord* stack, int ply, int alpha, int beta, int depth, int checkPly,
            SearchThread& thread);

// Fifty moves, bare material and repetition since the last irreversible move.
bool isDraw(const Position& pos);
// Extension of the move just made from `record`'s node, in 1/60 ply; also stored in the record.
int moveExtension(PlyRecord& record, const Position& pos, bool mateThreat);
// line := m at `ply`, then `child`'s line from ply + 1 on, ended by MOVE_NONE.
void copyPv(Move* line, int ply, Move m, const Move* child);
// pv of ply := its currentMove followed by the pv of ply + 1.
inline void updatePv(int ply, PlyRecord* stack) { copyPv(stack[ply].pv, ply, stack[ply].currentMove, stack[ply + 1].pv); }

// The window of a node while one of its moves is searched: the node's own bounds, or a
// split point's shared ones, which other threads may raise meanwhile.
struct NodeWindow {
    int alpha = 0, beta = 0;
    const std::atomic<int32_t>* sharedAlpha = nullptr;
    const std::atomic<int32_t>* sharedBeta = nullptr;
    int currentAlpha() const { return sharedAlpha ? sharedAlpha->load(std::memory_order_relaxed) : alpha; }
    int currentBeta() const { return sharedBeta ? sharedBeta->load(std::memory_order_relaxed) : beta; }
};
// The search of move `m` (the node's `moveNumber`-th, not its first, just made at `ply`)
// below a node of `depth`: a reduced null-window search for a late move that allows it,
// the null-window search at full depth (`extension` added) when that or nothing is above
// alpha, and the open-window re-search for a score inside the window. Returns the move's
// score from the node's side.
int searchLaterMove(Position& pos, PlyRecord* stack, int ply, Move m, int moveNumber, int depth, int extension,
                    bool pvNode, const NodeWindow& window, SearchThread& thread);

// Late-move reduction test for move m just made by `side` (its piece now on its to-square).
bool reductionAllowed(const Position& pos, Move m, int side, bool pvNode);

// The futility estimate of what a move gains: material and piece-square change.
int moveGain(const Position& pos, Move move);

// Zeroes what a new search must not inherit: counters (the tablebase probe counters too),
// history, cutoff statistics, abort flags.
void resetSearchCounters();

}  // namespace brinz
