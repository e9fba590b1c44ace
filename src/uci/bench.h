#pragma once

namespace brinz {

// "bench": an open-ended analysis of a fixed endgame, watched through the ordinary "info"
// lines. Replaces the current position, runs "go infinite" until "stop" or "quit", then
// prints "bestmove <move> " once more without a newline, after the go handler's own line.
void bench();

}  // namespace brinz
