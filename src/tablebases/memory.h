#pragma once

#include <cstddef>
#include <cstdio>
#include <cstdlib>

namespace brinz {

// Every allocation of the tablebase subsystem: a failure prints the size and ends the
// process with status 1, so callers never see a null block.
inline void* tbAllocate(size_t bytes) {
    void* block = std::malloc(bytes ? bytes : 1);
    if (!block) {
        std::printf("*** No se pueden reservar %d bytes de memoria\n", int(bytes));
        std::exit(1);
    }
    return block;
}

// For the few blocks whose absence is not fatal (the block cache): null on failure.
inline void* tbTryAllocate(size_t bytes) { return std::malloc(bytes ? bytes : 1); }

inline void tbFree(void* block) { std::free(block); }

}  // namespace brinz
