#include "tablebases/memory.h"

#include <cstdio>
#include <cstdlib>

namespace brinz {

void* tbAllocate(std::size_t bytes) {
    // malloc(0) may answer null legitimately; one byte keeps "null means failure" true.
    void* block = std::malloc(bytes ? bytes : 1);
    if (!block) {
        // Printed as a full decimal so a size beyond 2^31 is not shown negative.
        std::printf("*** No se pueden reservar %llu bytes de memoria\n", static_cast<unsigned long long>(bytes));
        std::fflush(stdout);
        std::_Exit(1);  // see tablebaseFatal: no destructors under live threads
    }
    return block;
}

void* tbTryAllocate(std::size_t bytes) { return std::malloc(bytes ? bytes : 1); }

void tbFree(void* block) { std::free(block); }

}  // namespace brinz
