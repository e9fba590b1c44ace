#pragma once

#include <cstddef>
#include <string>

namespace brinz {

// True when a read of standard input would not block: data is waiting, or the
// input has ended or broken (the next read then discovers it). Works for pipes,
// files and terminals.
bool inputPending();

// Reads one line from standard input straight from the descriptor, keeping no
// read-ahead, so that inputPending() sees every byte not yet consumed. Takes at
// most size - 1 characters, the newline included, and terminates the text; the
// rest of a longer line is left for the next call. Returns false when input
// has ended (or failed) before any character was read.
bool readInputLine(char* buffer, size_t size);

// One line of standard input being gathered, of any length; it may be carried over from
// a read that did not wait to one that does.
struct InputLine {
    std::string text;       // the line so far; the whole line, newline included, once Complete
    bool overlong = false;  // past the limit: the rest up to the newline is being skipped
};

enum class LineStatus {
    Complete,    // line.text holds the line; the caller clears it before the next read
    Unfinished,  // (only without waiting) the line has not fully arrived yet
    Overlong,    // a line longer than the limit was consumed up to its newline and dropped
    Ended,       // input ended (or failed) before a character of a new line
};

// Goes on gathering `line` from standard input, a byte at a time with no read-ahead (as
// readInputLine does). With `wait` false only bytes already waiting are read. Input that
// ends in the middle of a line completes it without a newline. A line of more than `limit`
// characters (its newline not counted) is Overlong.
LineStatus readWholeLine(InputLine& line, size_t limit, bool wait);

// Serves inputPending and readInputLine from the `size` bytes at `text` instead of
// standard input, so that a harness can drive the engine in-process; null goes back to
// standard input. The bytes are not copied and must outlive their use. In this mode
// input is always pending: a line waits, or the input has ended (as a closed pipe).
void setInputText(const char* text, size_t size);

// Makes standard output unbuffered, so that every fragment reaches the
// interface at once.
void setUnbufferedOutput();

}  // namespace brinz
