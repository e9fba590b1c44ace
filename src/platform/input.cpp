#include "platform/input.h"

#include <cerrno>
#include <cstdio>
#include <poll.h>
#include <unistd.h>

namespace brinz {

namespace {

const char* textInput = nullptr;  // the rest of the text served instead of standard input
size_t textLeft = 0;

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
        if (textInput) {
            if (textLeft == 0) break;
            c = *textInput++;
            --textLeft;
        } else {
            ssize_t got = read(STDIN_FILENO, &c, 1);
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) break;
        }
        buffer[length++] = c;
        if (c == '\n') break;
    }
    buffer[length] = '\0';
    return length > 0;
}

void setUnbufferedOutput() {
    std::setvbuf(stdout, nullptr, _IONBF, 0);
}

}  // namespace brinz
