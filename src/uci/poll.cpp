#include "uci/poll.h"

#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>
#include <strings.h>

#include "platform/input.h"
#include "search/search.h"
#include "search/time_control.h"
#include "uci/go.h"
#include "uci/report.h"

namespace brinz {

namespace {

// The line being read, shared by the command loop and the polls: a poll may take the
// first half of a line and the command loop the rest.
InputLine currentLine;
// Lines that arrived during a search and are not handled there, oldest first.
std::deque<std::string> deferredLines;
size_t deferredBytes = 0;

void printOverlong() {
    std::printf("info string input line longer than %zu bytes dropped\n", CommandLengthLimit);
}

}  // namespace

bool nextCommand(std::string& line) {
    if (!deferredLines.empty()) {
        line = std::move(deferredLines.front());
        deferredLines.pop_front();
        deferredBytes -= line.size();
        return true;
    }
    for (;;) {
        LineStatus status = readWholeLine(currentLine, CommandLengthLimit, true);
        if (status == LineStatus::Overlong) {
            printOverlong();
            continue;
        }
        if (status == LineStatus::Ended) return false;
        line.swap(currentLine.text);
        currentLine.text.clear();
        return true;
    }
}

void pollInput() {
    // The common case, nothing waiting, costs one system call and allocates nothing.
    if (!inputPending()) return;
    LineStatus status = readWholeLine(currentLine, CommandLengthLimit, false);
    if (status == LineStatus::Unfinished) return;
    if (status == LineStatus::Overlong) {
        std::lock_guard<Lock> guard(outputLock);
        printOverlong();
        return;
    }
    std::string line;
    // A broken or closed input counts as "quit".
    if (status == LineStatus::Ended) line = "quit\n";
    else line.swap(currentLine.text);
    currentLine.text.clear();
    const char* text = line.c_str();
    if (strncasecmp(text, "quit", 4) == 0) {
        SearchState.store(Stopping, Relaxed);
        quitRequested.store(1, Relaxed);
    } else if (strncasecmp(text, "stop", 4) == 0) {
        SearchState.store(Stopping, Relaxed);
    } else if (strncasecmp(text, "ponderhit", 9) == 0) {
        decidePonderHit();
    } else if (strncasecmp(text, "isready", 7) == 0) {
        // The protocol wants this answered while the engine thinks; the search goes on.
        std::lock_guard<Lock> guard(outputLock);
        std::printf("readyok\n");
    } else if (deferredBytes + line.size() > DeferredBytesLimit) {
        std::lock_guard<Lock> guard(outputLock);
        std::printf("info string more than %zu bytes of input during the search; line dropped\n",
                    DeferredBytesLimit);
    } else {
        // A GUI may send ponderhit, position and go in one write: the position must
        // not be lost, nor the go run on the old one.
        deferredBytes += line.size();
        deferredLines.push_back(std::move(line));
    }
}

}  // namespace brinz
