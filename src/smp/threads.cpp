#include "smp/threads.h"

#include <algorithm>
#include <memory>
#include <mutex>
#include <new>

#include "eval/pawns.h"
#include "options/options.h"
#include "platform/clock.h"
#include "platform/threads.h"
#include "smp/split.h"

namespace brinz {

alignas(64) std::atomic<int> activeThreads{1};

namespace {

// A waiting thread's first turns only pause; after them every turn also yields the
// processor: with more search threads than cores, it must let the workers run.
constexpr uint32_t PauseOnlyTurns = 64;
// Turns between two looks at the clock (thread 0) or at the cutoffs above (owners).
constexpr uint32_t CheckTurns = 64;
constexpr int WaitPollMilliseconds = 2;

std::atomic<uint8_t> quitThreads{0};
int helpersRunning = 0;  // helpers 1 .. helpersRunning run; the others were never started

// Helpers sleep while no search runs or they do not take part; true when they must end.
bool sleepUntilNeeded(SearchThread& me) {
    for (;;) {
        if (quitThreads.load(std::memory_order_acquire)) return true;
        if (SearchState.load(Relaxed) != Idle && me.index < activeThreads.load(Relaxed)) return false;
        me.sleeps.store(me.sleeps.load(Relaxed) + 1, Relaxed);
        me.wake.wait();
        me.wakeUps.store(me.wakeUps.load(Relaxed) + 1, Relaxed);
    }
}

// Thread 0 is the only one that reads input and the clock; it must not go deaf while
// it waits for its helpers.
void pollWhileWaiting(int64_t& lastPoll) {
    int64_t now = tickCount();
    if (now - lastPoll < WaitPollMilliseconds) return;
    lastPoll = now;
    if (searchHooks.pollInput && SearchState.load(Relaxed) != Stopping) searchHooks.pollInput();
    if (searchHooks.checkLimits) searchHooks.checkLimits();
}

void helperMain(SearchThread& me) { waitForWork(me, nullptr); }

int clampThreads(int count) { return count < 1 ? 1 : count > MaxThreads ? MaxThreads : count; }

}  // namespace

int prepareSearchThreads(int count) {
    count = clampThreads(count);
    int ready = 0;
    for (int i = 0; i < count; ++i) {
        std::unique_ptr<SearchThread>& slot = SearchThreads[i];
        // The root's thread cannot do without its record (small, made by the first search
        // of the process), so only a helper's may fail.
        if (!slot) slot.reset(i == 0 ? new SearchThread(0) : new (std::nothrow) SearchThread(i));
        if (!slot) break;
        // A table that could not be had before is asked for again.
        if (!slot->pawns) slot->pawns = NewPawnTable();
        // Helpers share the work only through split points.
        if (count > 1 && !slot->splitPoints) slot->splitPoints.reset(new (std::nothrow) SplitPoint[MaxSplitsPerThread]);
        if (count > 1 && !slot->splitPoints) break;
        ++ready;
    }
    return ready;
}

void clearPawnTables() {
    for (const std::unique_ptr<SearchThread>& thread : SearchThreads)
        if (thread && thread->pawns) thread->pawns->clear();
}

int startHelpers(int count) {
    // Only as many threads as have their records; thread 0 searches even without split points.
    count = std::max(1, prepareSearchThreads(count));
    if (helpersRunning == 0 && count > 1) {
        quitThreads.store(0, Relaxed);
        for (auto& t : SearchThreads)
            if (t) t->activeSplits.store(0, Relaxed);
        SearchThread& main = searchThread(0);
        main.abort.store(0, Relaxed);
        main.hasWork.store(0, Relaxed);
        main.idle.store(0, Relaxed);
        main.waiting.store(0, Relaxed);
        main.workingAt = nullptr;
    }
    while (helpersRunning + 1 < count) {
        const int i = helpersRunning + 1;
        SearchThread& r = searchThread(i);
        r.abort.store(0, Relaxed);
        r.hasWork.store(0, Relaxed);
        r.idle.store(1, Relaxed);
        r.waiting.store(0, Relaxed);
        r.workingAt = nullptr;
        // A signal left over from an earlier run (a split's wake-up for a helper that was
        // already awake) must not wake the new helper.
        r.wake.waitFor(0);
        if (!r.helper.start([&r] { helperMain(r); })) {
            r.idle.store(0, Relaxed);
            break;
        }
        while (!r.waiting.load(std::memory_order_acquire)) yieldThread();
        ++helpersRunning;
    }
    return helpersRunning + 1;
}

int startThreads() { return startHelpers(MaxThreads); }

void stopThreads() {
    if (helpersRunning == 0) return;
    for (int i = 0; i <= helpersRunning; ++i) searchThread(i).abort.store(1, Relaxed);
    quitThreads.store(1, std::memory_order_release);
    for (int i = 1; i <= helpersRunning; ++i) searchThread(i).wake.signal();
    for (int i = 1; i <= helpersRunning; ++i) searchThread(i).helper.join();
    for (int i = 1; i <= helpersRunning; ++i) searchThread(i).idle.store(0, Relaxed);
    for (int i = 0; i <= helpersRunning; ++i) searchThread(i).abort.store(0, Relaxed);
    helpersRunning = 0;
}

bool threadsRunning() { return helpersRunning > 0; }

void wakeThreads() {
    int count = clampThreads(Parameters.threadCount);
    // Only helpers that were started can take part.
    if (count > helpersRunning + 1) count = helpersRunning + 1;
    activeThreads.store(count, Relaxed);
    if (count > 1)
        for (int i = 1; i <= helpersRunning; ++i) searchThread(i).wake.signal();
}

void restThreads() { activeThreads.store(1, Relaxed); }

void wakeHelper(int t) {
    if (t > 0 && t < MaxThreads && SearchThreads[t]) searchThread(t).wake.signal();
}

void waitForWork(SearchThread& me, SplitPoint* s) {
    const int t = me.index;
    me.waiting.store(1, std::memory_order_release);
    int64_t lastPoll = tickCount();
    bool abortPassedOn = false;
    for (uint32_t turn = 1;; ++turn) {
        // Helpers end only from their outer loop: an owner still has workers to collect.
        if (t != 0 && !s && sleepUntilNeeded(me)) {
            me.waiting.store(0, std::memory_order_release);
            return;
        }
        if (me.hasWork.load(std::memory_order_acquire)) {
            me.hasWork.store(0, Relaxed);
            searchSplitPoint(*me.splitPoint.load(Relaxed), me);
            me.idle.store(1, Relaxed);
            turn = 1;
            continue;
        }
        if (s) {
            if (s->workers.load(std::memory_order_acquire) == 0 && !me.hasWork.load(std::memory_order_acquire))
                return;
            if (turn % CheckTurns == 0) {
                if (t == 0) pollWhileWaiting(lastPoll);
                // Work above was cut off while we only wait here: stop our helpers too.
                if (!abortPassedOn && cutoffAbove(s->parent)) {
                    std::lock_guard<Lock> guard(s->lock);
                    for (int i = 0; i < MaxThreads; ++i)
                        if (s->slaves[i].load(Relaxed)) searchThread(i).abort.store(1, Relaxed);
                    abortPassedOn = true;
                }
            }
        }
        spinPause();
        if (turn > PauseOnlyTurns) yieldThread();
    }
}

}  // namespace brinz
