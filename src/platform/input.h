#pragma once

#include <cstddef>

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

// Serves inputPending and readInputLine from the `size` bytes at `text` instead of
// standard input, so that a harness can drive the engine in-process; null goes back to
// standard input. The bytes are not copied and must outlive their use. In this mode
// input is always pending: a line waits, or the input has ended (as a closed pipe).
void setInputText(const char* text, size_t size);

// Makes standard output unbuffered, so that every fragment reaches the
// interface at once.
void setUnbufferedOutput();

}  // namespace brinz
