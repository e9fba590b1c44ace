#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

namespace brinz {

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
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
}

// Gives up the rest of this thread's time slice.
void yieldThread();

// A lock for very short critical sections, taken by atomic exchange.
class SpinLock {
public:
    void lock() {
        while (atomicExchange(flag, 1) != 0)
            while (flag.load(std::memory_order_relaxed) != 0) spinPause();
    }
    void unlock() { flag.store(0, std::memory_order_release); }

private:
    std::atomic<int32_t> flag{0};
};

}  // namespace brinz
