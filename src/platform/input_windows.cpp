#include "platform/input.h"
#include "platform/input_source.h"

#ifdef _WIN32
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <mutex>
#include <thread>
#include <windows.h>

namespace brinz {

namespace {

// Windows has no single non-blocking test for every kind of standard input: a console
// answers with key events rather than lines, and a pipe inherited from a POSIX parent
// (under Wine, say) refuses PeekNamedPipe. So one thread reads standard input as it comes
// and keeps the bytes not yet taken; the test and the line reads look only at those.
struct InputQueue {
    std::mutex mutex;
    std::condition_variable arrived;
    std::deque<char> bytes;
    bool ended = false;
};

// Never destroyed: the reader may still sit in ReadFile while the process exits.
InputQueue& queue() {
    static InputQueue* const instance = new InputQueue;
    return *instance;
}

void readerBody() {
    InputQueue& q = queue();
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    char chunk[4096];
    for (;;) {
        DWORD got = 0;
        const bool ok = input != nullptr && input != INVALID_HANDLE_VALUE &&
                        ReadFile(input, chunk, sizeof chunk, &got, nullptr);
        std::lock_guard<std::mutex> guard(q.mutex);
        if (!ok || got == 0) {
            q.ended = true;
            q.arrived.notify_all();
            return;
        }
        // Interfaces and consoles end lines with CR LF; the commands expect LF alone.
        for (DWORD i = 0; i < got; ++i)
            if (chunk[i] != '\r') q.bytes.push_back(chunk[i]);
        q.arrived.notify_all();
    }
}

void startReader() {
    static std::once_flag started;
    std::call_once(started, [] { std::thread(readerBody).detach(); });
}

}  // namespace

bool standardInputPending() {
    startReader();
    InputQueue& q = queue();
    std::lock_guard<std::mutex> guard(q.mutex);
    return !q.bytes.empty() || q.ended;
}

int readStandardInputByte(char& c) {
    startReader();
    InputQueue& q = queue();
    std::unique_lock<std::mutex> guard(q.mutex);
    q.arrived.wait(guard, [&] { return !q.bytes.empty() || q.ended; });
    if (q.bytes.empty()) return 0;
    c = q.bytes.front();
    q.bytes.pop_front();
    return 1;
}

void setUnbufferedOutput() {
    // Output stays in text mode: lines end with CR LF, as Windows interfaces expect.
    std::setvbuf(stdout, nullptr, _IONBF, 0);
}

}  // namespace brinz

#endif  // _WIN32
