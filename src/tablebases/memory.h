#pragma once

#include <cstddef>

namespace brinz {

// Every allocation of the tablebase subsystem goes through here. On failure it prints
// "*** No se pueden reservar %d bytes de memoria\n" with the requested size and ends the
// process with status 1, so it never returns null. The block is not initialised.
void* tbAllocate(std::size_t bytes);

// For the blocks whose absence is not fatal (the block cache, the decoder states): null when
// memory runs out, and nothing printed.
void* tbTryAllocate(std::size_t bytes);

// Releases a block from tbAllocate; null is accepted.
void tbFree(void* block);

}  // namespace brinz
