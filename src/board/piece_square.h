#pragma once

#include <cstdint>

namespace brinz {

// Piece-square bonus by piece code and 0x88 square (off-board entries 0). Black rows are
// the vertical mirror of the white ones with the same sign, so each colour's sum is
// a bonus for that colour. Kings use their middle-game row here.
struct PieceSquareTable {
    int8_t value[16][128];
    constexpr const int8_t* operator[](int code) const { return value[code]; }
};
extern const PieceSquareTable PieceSquare;

}  // namespace brinz
