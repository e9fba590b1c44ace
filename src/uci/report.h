#pragma once

#include "board/move.h"
#include "platform/threads.h"

namespace brinz {

// Held while a line is written during a search, so that no line (a report, or an answer
// to input read during the search) lands in the middle of another.
extern Lock outputLock;

// Resets what reports keep between lines of one search.
void beginReports();

// "info depth D score cp|mate N time T nodes N [nps N ]pv m1 m2 ... " for at most `depth`
// moves of `line`. Prints nothing beyond depth 60. While stopping, the previous line's
// score replaces the partial one.
void reportPv(int score, const Move* line, int depth);
// "info multipv K depth D score cp|mate N time T nodes N [nps N ]pv m1 m2 ... ": line K
// (from 1, best first) of an iteration when several are wanted. Nothing beyond depth 60.
void reportMultiPv(int number, int score, const Move* line, int depth);
// "info depth D" at the start of iteration D (up to 60).
void reportIteration(int iteration);
// "info currmove M currmovenumber N".
void reportCurrentMove(Move move, int number);
// "info nodes N nps N time T hashfull H tbhits N", the once-a-second status line.
void reportStatus();

// Every line above is written whole under outputLock, so a line printed by another
// thread during the search never lands in its middle.

// The score as the protocol shows it: "cp N" or "mate N", written to `buffer`.
const char* scoreText(int score, char* buffer, int size);

}  // namespace brinz
