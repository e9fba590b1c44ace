#pragma once

#include "board/move.h"

namespace brinz {

// Resets what reports keep between lines of one search.
void beginReports();

// "info depth D score cp|mate N time T nodes N [nps N ]pv m1 m2 ..." for at most `depth`
// moves of `line`. Prints nothing beyond depth 60. While stopping, the previous line's
// score replaces the partial one.
void reportPv(int score, const Move* line, int depth);
// "info depth D" at the start of iteration D (up to 60).
void reportIteration(int iteration);
// "info currmove M currmovenumber N".
void reportCurrentMove(Move move, int number);

// The score as the protocol shows it: "cp N" or "mate N", written to `buffer`.
const char* scoreText(int score, char* buffer, int size);

}  // namespace brinz
