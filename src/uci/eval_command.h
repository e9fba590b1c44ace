#pragma once

namespace brinz {

// "eval": prints the static evaluation of the root position term by term and colour,
// then "Evaluation: <cp>" in centipawns from White's point of view. The weights come
// from the current options, with the side to move taken as the engine's colour; the
// position is not changed.
void handleEval();

}  // namespace brinz
