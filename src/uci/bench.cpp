#include "uci/bench.h"

#include <cstdio>

#include "board/move_text.h"
#include "search/root.h"
#include "search/search.h"
#include "uci/command_loop.h"
#include "uci/go.h"

namespace brinz {

namespace {

// White: king b7, queen a8; Black: king h4, pawn g2; White to move. The trailing space is
// part of the text the position handler gets.
constexpr const char* BenchPosition = "fen Q7/1K6/8/8/7k/8/6p1/8 w - - 1 57 ";
constexpr const char* BenchGo = "infinite";

}  // namespace

void bench() {
    SearchState.store(Idle, Relaxed);
    handlePosition(BenchPosition);
    handleGo(BenchGo);
    char text[16];
    std::printf("bestmove ");
    std::printf("%s ", MoveToText(bestMove, text, RootPosition));
}

}  // namespace brinz
