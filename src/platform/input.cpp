#include "platform/input.h"

#include <cerrno>
#include <cstdio>
#include <poll.h>
#include <unistd.h>

namespace brinz {

namespace {

const char* textInput = nullptr;  // the rest of the text served instead of standard input
size_t textLeft = 0;

// One byte of input: 1 read, 0 end of input, -1 failed.
int readByte(char& c) {
    if (textInput) {
        if (textLeft == 0) return 0;
        c = *textInput++;
        --textLeft;
        return 1;
    }
    ssize_t got;
    do {
        got = read(STDIN_FILENO, &c, 1);
    } while (got < 0 && errno == EINTR);
    return got < 0 ? -1 : int(got);
}

}  // namespace

void setInputText(const char* text, size_t size) {
    textInput = text;
    textLeft = text ? size : 0;
}

bool inputPending() {
    if (textInput) return true;
    pollfd request{STDIN_FILENO, POLLIN, 0};
    int ready;
    do {
        ready = poll(&request, 1, 0);
    } while (ready < 0 && errno == EINTR);
    if (ready < 0) return true;  // a broken descriptor: let the read report it
    return ready > 0 && (request.revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL)) != 0;
}

bool readInputLine(char* buffer, size_t size) {
    if (size == 0) return false;
    size_t length = 0;
    while (length + 1 < size) {
        char c;
        if (readByte(c) <= 0) break;
        buffer[length++] = c;
        if (c == '\n') break;
    }
    buffer[length] = '\0';
    return length > 0;
}

LineStatus readWholeLine(InputLine& line, size_t limit, bool wait) {
    while (wait || inputPending()) {
        char c;
        if (readByte(c) <= 0) {
            if (line.overlong) {
                line.overlong = false;
                return LineStatus::Overlong;
            }
            return line.text.empty() ? LineStatus::Ended : LineStatus::Complete;
        }
        if (line.overlong) {
            if (c != '\n') continue;
            line.overlong = false;
            return LineStatus::Overlong;
        }
        if (c != '\n' && line.text.size() >= limit) {
            // Dropped whole: running the rest as a command of its own would be worse.
            std::string().swap(line.text);
            line.overlong = true;
            continue;
        }
        line.text.push_back(c);
        if (c == '\n') return LineStatus::Complete;
    }
    return LineStatus::Unfinished;
}

void setUnbufferedOutput() {
    std::setvbuf(stdout, nullptr, _IONBF, 0);
}

}  // namespace brinz
