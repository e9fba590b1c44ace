#pragma once

#include <cstddef>

namespace brinz {

// Memory for a large table that is probed at random: zero-filled, aligned to at least
// 64 bytes, and where the system allows, backed by large pages, so that a probe costs
// one address-translation miss fewer. Pages are given on first touch, so a large table
// costs nothing until used. Null when the system cannot give `bytes`.
void* allocateLargeTable(std::size_t bytes);

// Returns a block of allocateLargeTable; `bytes` is the size it was asked for. Null is ignored.
void freeLargeTable(void* block, std::size_t bytes);

}  // namespace brinz
