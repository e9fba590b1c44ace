#include "platform/input.h"

#ifdef _WIN32
#include <cstdio>
#include <windows.h>

namespace brinz {

namespace {

HANDLE inputHandle() { return GetStdHandle(STD_INPUT_HANDLE); }

// A console delivers a line to ReadFile only after Enter: a read would not block once
// an Enter key press is waiting among the console's input events.
bool consoleLineWaiting(HANDLE console) {
    DWORD events = 0;
    if (!GetNumberOfConsoleInputEvents(console, &events)) return true;
    INPUT_RECORD records[128];
    DWORD read = 0;
    if (events == 0 || !PeekConsoleInputA(console, records, 128, &read)) return false;
    for (DWORD i = 0; i < read; ++i) {
        const INPUT_RECORD& r = records[i];
        if (r.EventType == KEY_EVENT && r.Event.KeyEvent.bKeyDown &&
            (r.Event.KeyEvent.uChar.AsciiChar == '\r' || r.Event.KeyEvent.uChar.AsciiChar == 26))
            return true;
    }
    return false;
}

}  // namespace

bool inputPending() {
    HANDLE input = inputHandle();
    if (input == nullptr || input == INVALID_HANDLE_VALUE) return true;  // the read reports it
    DWORD mode;
    if (GetConsoleMode(input, &mode)) return consoleLineWaiting(input);
    switch (GetFileType(input)) {
        case FILE_TYPE_PIPE: {
            DWORD available = 0;
            // A failed peek is a closed or broken pipe: the next read ends the input.
            if (!PeekNamedPipe(input, nullptr, 0, nullptr, &available, nullptr)) return true;
            return available > 0;
        }
        case FILE_TYPE_CHAR:  // a device such as NUL: reads return at once
        case FILE_TYPE_DISK:  // a file: reads never wait
        default:
            return true;
    }
}

bool readInputLine(char* buffer, size_t size) {
    if (size == 0) return false;
    HANDLE input = inputHandle();
    size_t length = 0;
    bool gotAny = false;
    while (length + 1 < size) {
        char c;
        DWORD got = 0;
        if (!ReadFile(input, &c, 1, &got, nullptr) || got == 0) break;
        gotAny = true;
        // Interfaces and consoles end lines with CR LF; the commands expect LF alone.
        if (c == '\r') continue;
        buffer[length++] = c;
        if (c == '\n') break;
    }
    buffer[length] = '\0';
    if (length == 0 && gotAny) {
        // A line of bare carriage returns, cut by the buffer's end: hand on an empty line.
        buffer[0] = '\n';
        buffer[1] = '\0';
        return size > 1;
    }
    return length > 0;
}

void setUnbufferedOutput() {
    // Output stays in text mode: lines end with CR LF, as Windows interfaces expect.
    std::setvbuf(stdout, nullptr, _IONBF, 0);
}

}  // namespace brinz

#endif  // _WIN32
