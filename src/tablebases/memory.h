#pragma once

#include <cstddef>

namespace brinz {

// Every allocation of the tablebase subsystem comes from here. When memory runs out it prints
// "*** No se pueden reservar <bytes> bytes de memoria" and ends the process with status 1, so
// callers never see a null pointer.
void* tbAllocate(size_t bytes);

// For the blocks whose absence is not fatal (the block cache, the decoder states): null when
// memory runs out, and nothing printed.
void* tbTryAllocate(size_t bytes);

// Releases a block from tbAllocate; null is accepted.
void tbFree(void* block);

}  // namespace brinz
