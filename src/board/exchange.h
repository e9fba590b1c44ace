#pragma once

#include "board/position.h"

namespace brinz {

// What the piece on `origin` gains by going to `target` when both sides then capture on
// `target` with their least valuable attackers, each free to stop; in PieceValue units
// (a pawn is 256), for the side of the piece on `origin`. `target` may be empty (a
// quiet move then risks only the mover). X-rays through the mover and through each
// capturer are seen; pins and checks are not. Reads the position only.
int StaticExchange(const Position& pos, int target, int origin);

}  // namespace brinz
