#pragma once

namespace brinz {

// Deepest "perft" accepted; deeper requests are cut to it.
inline constexpr int PerftDepthLimit = 20;

// Reads the depth of a "perft" command from the text after the command word: decimal
// digits after optional blanks, capped at PerftDepthLimit. False (depth untouched) when it
// is missing, negative or not a number.
bool parsePerftDepth(const char* text, int& depth);

// "perft N": prints "<move>: <count>" per legal root move of the root position in
// generation order, an empty line and "Nodes searched: <total>" ("Nodes searched: 1"
// alone for depth 0). A missing or bad depth prints a one-line usage. Works on a copy of
// the root position.
void handlePerft(const char* text);

}  // namespace brinz
