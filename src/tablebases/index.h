#pragma once

#include <array>
#include <cstdint>

namespace brinz {

// Stand-in until the indexing code lands: descriptors without index functions.
struct SquareList {
    int32_t square[16];
};
inline constexpr int NO_EN_PASSANT = 127;
inline constexpr uint32_t TB_INDEX_NONE = 0xFFFFFFFF;

using IndexFunction = uint32_t (*)(const SquareList& first, const SquareList& second, int epSquare, int invert);

inline constexpr uint32_t TB_SYMMETRIC = 1;
inline constexpr uint32_t TB_16BIT = 2;

struct TableDescriptor {
    int32_t number;
    uint32_t flags;
    IndexFunction indexFunction[2];
    char name[8];
    uint32_t size[2];
};

inline constexpr int TableCount = 244;
extern const std::array<TableDescriptor, TableCount> tableDescriptors;

void buildEnumerationTables();

}  // namespace brinz
