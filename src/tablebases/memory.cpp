#include "tablebases/memory.h"

#include <cstdio>
#include <cstdlib>

namespace brinz {

void* tbAllocate(size_t bytes) {
    // A zero-byte request still gets a distinct block, so success never looks like failure.
    void* block = std::malloc(bytes ? bytes : 1);
    if (!block) {
        std::printf("*** No se pueden reservar %zu bytes de memoria\n", bytes);
        std::exit(1);
    }
    return block;
}

void* tbTryAllocate(size_t bytes) { return std::malloc(bytes ? bytes : 1); }

void tbFree(void* block) { std::free(block); }

}  // namespace brinz
