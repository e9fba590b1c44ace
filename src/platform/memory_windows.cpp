#include "platform/memory.h"

#ifdef _WIN32

#include <windows.h>

namespace brinz {

// Large pages need a privilege that ordinary accounts lack; committed pages come zeroed
// and page-aligned, and are backed only when first touched.
void* allocateLargeTable(std::size_t bytes) {
    if (bytes == 0) return nullptr;
    return VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
}

void freeLargeTable(void* block, std::size_t) {
    if (block) VirtualFree(block, 0, MEM_RELEASE);
}

}  // namespace brinz

#endif
