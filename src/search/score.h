#pragma once

namespace brinz {

// Scores in 1/256 pawn from the side to move; a mate given at ply p is MATE - p.
inline constexpr int MATE = 30000;
inline constexpr int INFINITE_SCORE = 30001;
inline constexpr int MATE_BOUND = 29800;  // |score| at or above this is a mate

}  // namespace brinz
