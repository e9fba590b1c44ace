#include "platform/threads.h"

#include <chrono>
#include <system_error>

namespace brinz {

void AutoResetEvent::signal() {
    {
        std::lock_guard<std::mutex> guard(mutex);
        signalled = true;
    }
    condition.notify_one();
}

void AutoResetEvent::wait() {
    std::unique_lock<std::mutex> guard(mutex);
    condition.wait(guard, [this] { return signalled; });
    signalled = false;
}

bool AutoResetEvent::waitFor(int milliseconds) {
    std::unique_lock<std::mutex> guard(mutex);
    if (!condition.wait_for(guard, std::chrono::milliseconds(milliseconds), [this] { return signalled; }))
        return false;
    signalled = false;
    return true;
}

bool Thread::start(std::function<void()> body) {
    try {
        handle = std::thread(std::move(body));
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void Thread::join() {
    if (handle.joinable()) handle.join();
}

void yieldThread() { std::this_thread::yield(); }

}  // namespace brinz
