#pragma once

// What each system provides for reading standard input; the line assembly on top of it
// (input_lines.cpp) is the same everywhere. Only the platform layer includes this.

namespace brinz {

// True when a read of standard input would not block (data waiting, or input ended).
bool standardInputPending();

// One byte of standard input, waiting for it: 1 read, 0 end of input, -1 failed.
int readStandardInputByte(char& c);

}  // namespace brinz
