#include "eval/evaluate.h"

namespace brinz {

// Material and piece-square sums only, until the full evaluation arrives.
int Evaluate(Position& pos, EvalExtras& extras, int /*threadIndex*/, uint8_t& tablebaseFlag) {
    extras = EvalExtras{};
    tablebaseFlag = 0;
    int s = pos.side, x = pos.xside;
    return pos.material[s] - pos.material[x] + pos.pstSum[s] - pos.pstSum[x];
}

}  // namespace brinz
