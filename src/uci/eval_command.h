#pragma once

namespace brinz {

// "eval": prints the static evaluation of the root position term by term and colour,
// then "Evaluation: <cp>" in centipawns from White's point of view; before it, for a
// position with few enough men for the registered tables, "Tablebase: " and "win in N",
// "loss in N", "draw" or "not found" (the stored value, for the side to move). The weights come
// from the current options, with the side to move taken as the engine's colour; the
// position is not changed.
void handleEval();

}  // namespace brinz
