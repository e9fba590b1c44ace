#pragma once

#include <cstdint>

namespace brinz {

// Stand-in until the indexing code lands: descriptors without index functions.
struct SquareList {
    int32_t square[16];
};

using IndexFunction = uint32_t (*)(const SquareList& first, const SquareList& second, int epSquare, int invert);

inline constexpr uint32_t TABLE_SYMMETRIC = 1;
inline constexpr uint32_t TABLE_16BIT = 2;
inline constexpr int TableCount = 244;

struct TableDescriptor {
    int32_t number;
    uint32_t flags;
    IndexFunction indexWhite;
    IndexFunction indexBlack;
    char name[8];
    uint32_t size[2];
};

extern const TableDescriptor tableDescriptors[TableCount];

void buildEnumerationTables();

}  // namespace brinz
