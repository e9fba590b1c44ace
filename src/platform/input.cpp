#include "platform/input.h"
#include "platform/input_source.h"

// POSIX side of standard input; the Windows side is in the _windows file beside this one,
// and the line reading on top of both in input_lines.cpp.
#ifndef _WIN32

#include <cerrno>
#include <cstdio>
#include <poll.h>
#include <unistd.h>

namespace brinz {

bool standardInputPending() {
    pollfd request{STDIN_FILENO, POLLIN, 0};
    int ready;
    do {
        ready = poll(&request, 1, 0);
    } while (ready < 0 && errno == EINTR);
    if (ready < 0) return true;  // a broken descriptor: let the read report it
    return ready > 0 && (request.revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL)) != 0;
}

int readStandardInputByte(char& c) {
    ssize_t got;
    do {
        got = read(STDIN_FILENO, &c, 1);
    } while (got < 0 && errno == EINTR);
    return got < 0 ? -1 : int(got);
}

void setUnbufferedOutput() {
    std::setvbuf(stdout, nullptr, _IONBF, 0);
}

}  // namespace brinz

#endif  // _WIN32
