#include "uci/go.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "board/move_text.h"
#include "board/position.h"
#include "board/text.h"
#include "options/options.h"
#include "platform/clock.h"
#include "search/root.h"
#include "search/search.h"
#include "smp/threads.h"
#include "uci/command_loop.h"
#include "uci/poll.h"
#include "uci/report.h"

namespace brinz {

namespace {

constexpr int SearchMoveTokenSize = 9;

// The integer that starts `skip` characters into the first occurrence of `keyword`, read
// the way "%d" reads it; 0 when the keyword is absent or no number follows.
int64_t keywordNumber(const char* text, const char* keyword, size_t skip) {
    const char* at = std::strstr(text, keyword);
    if (!at || std::strlen(at) < skip) return 0;
    const char* p = at + skip;
    while (IsBlank(*p)) ++p;
    if (!(std::isdigit(static_cast<unsigned char>(*p)) ||
          ((*p == '-' || *p == '+') && std::isdigit(static_cast<unsigned char>(p[1])))))
        return 0;
    // Read at most 18 digits: beyond that every clamp below is reached anyway.
    char digits[21];
    size_t n = 0;
    if (*p == '-' || *p == '+') digits[n++] = *p++;
    while (std::isdigit(static_cast<unsigned char>(*p)) && n < 19) digits[n++] = *p++;
    digits[n] = '\0';
    return std::strtoll(digits, nullptr, 10);
}

// A limit of the go line (a clock, an increment, a move, node or mate count, a depth), from 0 to
// ClockMax; 0 when absent.
int32_t limitValue(const char* text, const char* keyword, size_t skip) {
    return int32_t(std::clamp<int64_t>(keywordNumber(text, keyword, skip), 0, ClockMax));
}

void printMove(const char* prefix, Move m) {
    char text[16];
    std::printf("%s%s ", prefix, MoveToText(m, text, RootPosition));
}

}  // namespace

GoParameters parseGoLine(const char* text) {
    GoParameters go{};
    go.infinite = std::strstr(text, "infinite") != nullptr;
    go.ponder = std::strstr(text, "ponder") != nullptr;
    go.wtime = limitValue(text, "wtime", 6);
    go.btime = limitValue(text, "btime", 6);
    go.winc = limitValue(text, "winc", 5);
    go.binc = limitValue(text, "binc", 5);
    // A negative count would divide the clock into negative shares: read it as "none".
    go.movestogo = limitValue(text, "movestogo", 10);
    go.depth = limitValue(text, "depth", 6);
    go.nodes = limitValue(text, "nodes", 6);
    go.mate = limitValue(text, "mate", 5);
    go.movetime = limitValue(text, "movetime", 9);
    return go;
}

int parseSearchMoves(const char* text, Move* list, int size) {
    int count = 0, named = 0;
    const char* p = text;
    while (IsBlank(*p)) ++p;
    while (*p && count < size - 1) {
        char token[SearchMoveTokenSize + 1];
        int length = 0;
        while (*p && !IsBlank(*p) && length < SearchMoveTokenSize) token[length++] = *p++;
        token[length] = '\0';
        bool shaped = length >= 4 && token[0] >= 'a' && token[0] <= 'h' && token[1] >= '1' && token[1] <= '8' &&
                      token[2] >= 'a' && token[2] <= 'h' && token[3] >= '1' && token[3] <= '8';
        if (!shaped) break;
        ++named;
        // A move that is not legal here is dropped; the moves after it still count.
        if (Move m = TextToMove(RootPosition, token)) list[count++] = m;
        while (IsBlank(*p)) ++p;
    }
    list[count] = 0;
    return named;
}

namespace {

void reportThreadShortfall(int started, int asked) {
    std::printf("info string only %d of %d search threads could be started\n", started, asked);
}

}  // namespace

SearchLimits searchLimitsOf(const GoParameters& go, int sideToMove) {
    const bool white = sideToMove == WHITE;
    SearchLimits limits;
    limits.time = white ? go.wtime : go.btime;
    limits.increment = white ? go.winc : go.binc;
    limits.movesToGo = go.movestogo;
    limits.depth = go.depth;
    limits.nodes = go.nodes;
    limits.movetime = go.movetime;
    limits.mate = go.mate;
    limits.infinite = go.infinite;
    limits.ponder = go.ponder;
    return limits;
}

void startSearch(const GoParameters& go, const Move* searchMoves) {
    beginReports();
    runSearch(searchLimitsOf(go, RootPosition.side), searchMoves,
              SearchHooks{pollInput, checkLimits, reportPv, reportIteration, reportCurrentMove, reportMultiPv,
                          reportStatus, reportThreadShortfall});
    if (quitRequested.load(Relaxed)) shutdownEngine();
}

void handleGo(const char* text) {
    GoParameters go = parseGoLine(text);
    Move searchMoves[SearchMovesSize] = {0};
    if (const char* at = std::strstr(text, "searchmoves"); at && std::strlen(at) >= 12)
        parseSearchMoves(at + 12, searchMoves, SearchMovesSize);
    // When no named move is legal here the root searches every move: answering no move
    // at all while legal ones exist would forfeit the game.
    startSearch(go, searchMoves[0] ? searchMoves : nullptr);
    printMove("bestmove ", bestMove);
    if (ponderMove != MOVE_NULL && ponderMove != MOVE_NONE) printMove("ponder ", ponderMove);
    std::printf("\n");
    SearchState.store(Idle, Relaxed);
}

}  // namespace brinz
