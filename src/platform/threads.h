#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

#if defined(__x86_64__) || defined(__i386__) || defined(_M_X64) || defined(_M_IX86)
#include <immintrin.h>
#define BRINZ_HAS_PAUSE 1
#endif

namespace brinz {

// The most threads a search runs on (the top of the "Max CPUs" range): the size of every
// per-thread table.
inline constexpr int MaxThreads = 8;

// A mutual-exclusion lock. Take it with std::lock_guard.
using Lock = std::mutex;

// An event that releases one waiter per signal and resets itself when it does.
// A signal with nobody waiting is remembered until the next wait.
class AutoResetEvent {
public:
    void signal();
    void wait();
    // Waits at most `milliseconds`; true when the event was signalled.
    bool waitFor(int milliseconds);

private:
    std::mutex mutex;
    std::condition_variable condition;
    bool signalled = false;
};

// A thread of the engine. Started once, joined once.
class Thread {
public:
    // False when the system cannot create the thread (no memory for its stack, a process
    // limit): the body does not run and the object stays unstarted.
    bool start(std::function<void()> body);
    void join();
    bool running() const { return handle.joinable(); }

private:
    std::thread handle;
};

// Stores `value` and returns what was there, as one indivisible step.
inline int32_t atomicExchange(std::atomic<int32_t>& target, int32_t value) {
    return target.exchange(value, std::memory_order_acquire);
}

// Lets the other hyperthread or process run while spinning on a flag.
inline void spinPause() {
#ifdef BRINZ_HAS_PAUSE
    _mm_pause();
#endif
}

// Gives up the rest of this thread's time slice.
void yieldThread();

}  // namespace brinz
