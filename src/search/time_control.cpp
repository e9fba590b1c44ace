#include "search/time_control.h"

#include <algorithm>

#include "board/position.h"
#include "options/options.h"
#include "platform/clock.h"
#include "search/root.h"
#include "smp/threads.h"

namespace brinz {

namespace {

constexpr int64_t LastMoveReserveMs = 50;
constexpr int64_t StatusIntervalMs = 1000;

int64_t lastStatusMs = 0;  // elapsed time of the last status report of this search

// The best move has stayed the same since the second iteration and its subtree holds
// nearly all the nodes: thinking on would only confirm it.
bool easyMoveDone(int64_t elapsed) {
    const int64_t soft = searchClock.softLimit;
    const uint64_t nodes = nodeCount.load(Relaxed);
    return iterationNumber >= 5 && stableBestMove != 0 &&
           ((bestMoveNodes > nodes * 85 / 100 && elapsed > soft / 16) ||
            (bestMoveNodes > nodes * 99 / 100 && elapsed > soft / 32));
}

}  // namespace

uint32_t pollIntervalFor(int64_t nodes) {
    if (nodes <= 0) return uint32_t(PollIntervalNodes);
    int64_t checks = (nodes + PollIntervalNodes - 1) / PollIntervalNodes;
    return uint32_t((nodes + checks - 1) / checks);
}

TimeLimits computeTimeLimits(int64_t time, int64_t increment, int64_t movesToGo, bool ponderOption) {
    int64_t t = std::clamp<int64_t>(time, 0, ClockMax), inc = std::clamp<int64_t>(increment, 0, ClockMax);
    int64_t m = movesToGo < 0 ? 0 : movesToGo;
    TimeLimits limits;
    if (m == 0 && inc != 0) {
        limits.softLimit = t / 30 + inc;
        limits.hardLimit = t / 4 > inc - 100 ? t / 4 : inc - 100;
        // An increment larger than what is left on the clock must not let the limits pass
        // the clock itself: the increment only arrives after the move.
        if (limits.hardLimit > t - t / 4) limits.hardLimit = t - t / 4;
        if (limits.softLimit > limits.hardLimit) limits.softLimit = limits.hardLimit;
    } else if (m == 0) {
        limits.softLimit = t / 40;
        limits.hardLimit = t / 8;
    } else if (m == 1) {
        // The last move before the control may use what is left, but for a reserve that
        // covers the answer's way to the interface; a very short clock keeps half.
        int64_t use = t - (t / 10 + LastMoveReserveMs);
        if (use < t / 2) use = t / 2;
        limits.softLimit = limits.hardLimit = use;
    } else {
        // An even share of what is left, two shares kept in hand for the moves that run
        // over: early moves do not starve the last ones of the period.
        limits.softLimit = t / (m + 2);
        limits.hardLimit = 4 * t / m < t / 3 ? 4 * t / m : t / 3;
    }
    if (ponderOption) {
        limits.softLimit += limits.softLimit / 4;
        if (limits.softLimit > limits.hardLimit) limits.softLimit = limits.hardLimit;
    }
    return limits;
}

TimeLimits withoutOverhead(TimeLimits limits, int64_t overhead) {
    const int64_t lag = overhead < 0 ? 0 : overhead;
    limits.softLimit = limits.softLimit > lag ? limits.softLimit - lag : 0;
    limits.hardLimit = limits.hardLimit > lag ? limits.hardLimit - lag : 0;
    return limits;
}

int runSearch(const SearchLimits& limits, const Move* searchMoves, const SearchHooks& hooks) {
    SearchClock& clock = searchClock;
    clock.startTick = tickCount();
    resetRootResults();
    applyOptions(RootPosition.side);
    // Helpers are started when a search first asks for them, not at start-up.
    const int threads = startHelpers(Parameters.threadCount);
    if (threads < Parameters.threadCount && hooks.reportThreadShortfall)
        hooks.reportThreadShortfall(threads, Parameters.threadCount);
    CompactKeyHistory(RootPosition);

    clock.noTimeLimit = limits.infinite || (limits.time == 0 && limits.increment == 0 &&
                                            (limits.depth || limits.nodes || limits.movetime));
    // "go mate" hunts the mate without a clock; only "stop" or another given limit ends it sooner.
    if (limits.mate > 0) clock.noTimeLimit = true;
    // The interface's and the network's lag is paid on every move, out of the clock.
    const TimeLimits budget = withoutOverhead(
        computeTimeLimits(limits.time, limits.increment, limits.movesToGo, Parameters.ponder != 0),
        Parameters.moveOverhead);
    clock.softLimit = budget.softLimit;
    clock.hardLimit = budget.hardLimit;
    clock.extraTime = 0;
    clock.infinite = limits.infinite;
    clock.depthLimit = limits.depth;
    clock.nodesLimit = uint64_t(limits.nodes < 0 ? 0 : limits.nodes);
    clock.movetime = limits.movetime;
    clock.mateLimit = limits.mate;
    clock.pollInterval = pollIntervalFor(limits.nodes);
    SearchState.store(limits.ponder ? Pondering : Searching, Relaxed);

    searchHooks = hooks;
    lastStatusMs = 0;
    rootSearch(searchMoves);
    return threads;
}

void checkLimits() {
    const SearchClock& clock = searchClock;
    int64_t elapsed = searchElapsedMs();
    if (elapsed < StatusIntervalMs) {
        lastStatusMs = 0;
    } else if (elapsed - lastStatusMs >= StatusIntervalMs) {
        if (searchHooks.reportStatus) searchHooks.reportStatus();
        lastStatusMs = elapsed;
    }
    int state = SearchState.load(Relaxed);
    // No limit applies while pondering, nor while the root moves are still being scored.
    if (state == Pondering || iterationNumber < 2) return;
    int64_t target = clock.softLimit + clock.extraTime;
    bool stop = false;
    if (!clock.noTimeLimit)
        stop = elapsed > clock.hardLimit || (currentRootMove == 1 && elapsed > target) ||
               (!fullWindowResearch && elapsed > 6 * target);
    if (clock.nodesLimit && nodeCount.load(Relaxed) >= clock.nodesLimit) stop = true;
    if (clock.movetime && elapsed >= clock.movetime) stop = true;
    if (stop) SearchState.store(Stopping, Relaxed);
}

bool iterationEndsSearch(int i, int best) {
    SearchClock& clock = searchClock;
    bool ended = false;
    if (best >= MATE_BOUND || best <= -MATE_BOUND) ++mateIterations;
    const int64_t elapsed = searchElapsedMs();
    const int64_t soft = clock.softLimit;
    // Clock rules wait while pondering and do not apply to searches without a clock.
    const bool clockRules = !clock.noTimeLimit && SearchState.load(Relaxed) != Pondering;
    if (clockRules && i >= 5 && rootMoveCount == 1) ended = true;
    if (clockRules && i >= 3 && mateIterations >= 2) ended = true;
    if (bestLine[0] != stableBestMove) stableBestMove = 0;
    if (clockRules && easyMoveDone(elapsed)) ended = true;
    clock.extraTime = i >= 6 && i <= 60 ? (soft / 6) * bestMoveChanges[i - 1] + (soft / 3) * bestMoveChanges[i] : 0;
    if (clockRules && elapsed > (soft + clock.extraTime) * 80 / 128) ended = true;
    if (i >= 60 && !clock.noTimeLimit) ended = true;
    if (clock.depthLimit && i >= clock.depthLimit) ended = true;
    if (clock.mateLimit && best >= MATE - (2 * clock.mateLimit - 1)) ended = true;
    if (i >= MaxIterations) ended = true;
    return ended;
}

void decidePonderHit() {
    if (SearchState.load(Relaxed) != Pondering) return;
    const SearchClock& clock = searchClock;
    // Without a clock the search goes on as an ordinary one: its node and move-time
    // limits, counted from the "go", apply from now on.
    if (clock.noTimeLimit) {
        SearchState.store(PonderHit, Relaxed);
        return;
    }
    const int64_t elapsed = searchElapsedMs();
    bool stop = (iterationNumber >= 2 && rootMoveCount == 1) || mateIterations >= 2 || elapsed > clock.hardLimit ||
                elapsed > clock.softLimit + clock.extraTime || easyMoveDone(elapsed);
    SearchState.store(stop ? Stopping : PonderHit, Relaxed);
}

}  // namespace brinz
