#pragma once

#include <cstdint>

#include "board/position.h"

namespace brinz {

// By-products of a full evaluation: king safety of white and black, passed-pawn score
// of white and black.
struct EvalExtras {
    int32_t value[4];
    int32_t& operator[](int i) { return value[i]; }
    int32_t operator[](int i) const { return value[i]; }
};

// Static score of `pos` for the side to move, in 1/256 pawn. Writes `extras`; sets
// `tablebaseFlag` when the score is a tablebase result.
int Evaluate(Position& pos, EvalExtras& extras, int threadIndex, uint8_t& tablebaseFlag);

}  // namespace brinz
