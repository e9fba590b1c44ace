#pragma once

#include <string>

namespace brinz::support {

// The colour-mirrored twin of a FEN: ranks reversed, colours, castling rights and side to
// move exchanged, the en-passant square moved to the other side. Missing castling and
// en-passant fields read as "-"; the move counters are kept as they are.
std::string mirrorFen(const std::string& fen);

}  // namespace brinz::support
