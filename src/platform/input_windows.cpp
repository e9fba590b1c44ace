#include "platform/input.h"

#ifdef _WIN32
#include <condition_variable>
#include <cstdio>
#include <cstring>
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

const char* textInput = nullptr;  // the rest of the text served instead of standard input
size_t textLeft = 0;

// Adds byte `c` to `line`; true, with `status` set, once the line is done.
bool takeByte(InputLine& line, char c, size_t limit, LineStatus& status) {
    if (line.overlong) {
        if (c != '\n') return false;
        line.overlong = false;
        status = LineStatus::Overlong;
        return true;
    }
    if (c != '\n' && line.text.size() >= limit) {
        // Dropped whole: running the rest as a command of its own would be worse.
        std::string().swap(line.text);
        line.overlong = true;
        return false;
    }
    line.text.push_back(c);
    if (c != '\n') return false;
    status = LineStatus::Complete;
    return true;
}

// What `line` comes to when the input has ended.
LineStatus endOfInput(InputLine& line) {
    if (line.overlong) {
        line.overlong = false;
        return LineStatus::Overlong;
    }
    return line.text.empty() ? LineStatus::Ended : LineStatus::Complete;
}

}  // namespace

void setInputText(const char* text, size_t size) {
    textInput = text;
    textLeft = text ? size : 0;
}

bool inputPending() {
    if (textInput) return true;
    startReader();
    InputQueue& q = queue();
    std::lock_guard<std::mutex> guard(q.mutex);
    return !q.bytes.empty() || q.ended;
}

bool readInputLine(char* buffer, size_t size) {
    if (size == 0) return false;
    if (textInput) {
        size_t length = 0;
        while (length + 1 < size && textLeft > 0) {
            const char c = *textInput++;
            --textLeft;
            buffer[length++] = c;
            if (c == '\n') break;
        }
        buffer[length] = '\0';
        return length > 0;
    }
    startReader();
    InputQueue& q = queue();
    std::unique_lock<std::mutex> guard(q.mutex);
    // Waits for a whole line, a full buffer or the end of input.
    auto ready = [&] {
        if (q.ended || q.bytes.size() + 1 >= size) return true;
        for (char c : q.bytes)
            if (c == '\n') return true;
        return false;
    };
    q.arrived.wait(guard, ready);
    size_t length = 0;
    while (length + 1 < size && !q.bytes.empty()) {
        const char c = q.bytes.front();
        q.bytes.pop_front();
        buffer[length++] = c;
        if (c == '\n') break;
    }
    buffer[length] = '\0';
    return length > 0;
}

LineStatus readWholeLine(InputLine& line, size_t limit, bool wait) {
    LineStatus status;
    if (textInput) {
        while (textLeft > 0) {
            const char c = *textInput++;
            --textLeft;
            if (takeByte(line, c, limit, status)) return status;
        }
        return endOfInput(line);
    }
    startReader();
    InputQueue& q = queue();
    std::unique_lock<std::mutex> guard(q.mutex);
    for (;;) {
        while (!q.bytes.empty()) {
            const char c = q.bytes.front();
            q.bytes.pop_front();
            if (takeByte(line, c, limit, status)) return status;
        }
        if (q.ended) return endOfInput(line);
        if (!wait) return LineStatus::Unfinished;
        q.arrived.wait(guard, [&] { return !q.bytes.empty() || q.ended; });
    }
}

void setUnbufferedOutput() {
    // Output stays in text mode: lines end with CR LF, as Windows interfaces expect.
    std::setvbuf(stdout, nullptr, _IONBF, 0);
}

}  // namespace brinz

#endif  // _WIN32
