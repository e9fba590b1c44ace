#include "uci/go.h"

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

constexpr int64_t ClockMax = INT32_MAX;  // a 32-bit millisecond count
constexpr int SearchMoveTokenSize = 9;
constexpr int64_t StatusIntervalMs = 1000;

int64_t lastStatusMs = 0;  // elapsed time of the last status line of this search

int64_t clampTo(int64_t value, int64_t low, int64_t high) { return value < low ? low : value > high ? high : value; }

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
    return int32_t(clampTo(keywordNumber(text, keyword, skip), 0, ClockMax));
}

void printMove(const char* prefix, Move m) {
    char text[16];
    std::printf("%s%s ", prefix, MoveToText(m, text));
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
constexpr int64_t LastMoveReserveMs = 50;
}  // namespace

TimeLimits computeTimeLimits(int64_t time, int64_t increment, int64_t movesToGo, bool ponderOption) {
    int64_t t = clampTo(time, 0, ClockMax), inc = clampTo(increment, 0, ClockMax);
    int64_t m = movesToGo < 0 ? 0 : movesToGo;
    TimeLimits limits;
    if (m == 0 && inc != 0) {
        limits.softLimit = t / 30 + inc;
        limits.hardLimit = t / 4 > inc - 100 ? t / 4 : inc - 100;
        // An increment larger than what is left on the clock must not let the limits pass
        // the clock itself: the increment only arrives after the move.
        if (limits.hardLimit > t - t / 4) limits.hardLimit = t - t / 4;
        if (limits.softLimit > limits.hardLimit) limits.softLimit = limits.hardLimit;
    } else if (m == 0) {
        limits.softLimit = t / 40;
        limits.hardLimit = t / 8;
    } else if (m == 1) {
        // The last move before the control may use what is left, but for a reserve that
        // covers the answer's way to the interface; a very short clock keeps half.
        int64_t use = t - (t / 10 + LastMoveReserveMs);
        if (use < t / 2) use = t / 2;
        limits.softLimit = limits.hardLimit = use;
    } else {
        // An even share of what is left, two shares kept in hand for the moves that run
        // over: early moves do not starve the last ones of the period.
        limits.softLimit = t / (m + 2);
        limits.hardLimit = 4 * t / m < t / 3 ? 4 * t / m : t / 3;
    }
    if (ponderOption) {
        limits.softLimit += limits.softLimit / 4;
        if (limits.softLimit > limits.hardLimit) limits.softLimit = limits.hardLimit;
    }
    return limits;
}

TimeLimits withoutOverhead(TimeLimits limits, int64_t overhead) {
    const int64_t lag = overhead < 0 ? 0 : overhead;
    limits.softLimit = limits.softLimit > lag ? limits.softLimit - lag : 0;
    limits.hardLimit = limits.hardLimit > lag ? limits.hardLimit - lag : 0;
    return limits;
}

uint32_t pollIntervalFor(int64_t nodes) {
    if (nodes <= 0) return uint32_t(PollIntervalNodes);
    int64_t checks = (nodes + PollIntervalNodes - 1) / PollIntervalNodes;
    return uint32_t((nodes + checks - 1) / checks);
}

void startSearch(const GoParameters& go, const Move* searchMoves) {
    SearchClock& clock = searchClock;
    clock.startTick = tickCount();
    resetRootResults();
    applyOptions(RootPosition.side);
    // Helpers are started when a search first asks for them, not at start-up.
    int threads = startHelpers(Parameters.threadCount);
    if (threads < Parameters.threadCount)
        std::printf("info string only %d of %d search threads could be started\n", threads, Parameters.threadCount);
    CompactKeyHistory(RootPosition);

    bool white = RootPosition.side == WHITE;
    int64_t time = white ? go.wtime : go.btime;
    int64_t increment = white ? go.winc : go.binc;
    clock.noTimeLimit = go.infinite || (time == 0 && increment == 0 && (go.depth || go.nodes || go.movetime));
    // "go mate" hunts the mate without a clock; only "stop" or another given limit ends it sooner.
    if (go.mate > 0) clock.noTimeLimit = true;
    // The interface's and the network's lag is paid on every move, out of the clock.
    TimeLimits limits = withoutOverhead(computeTimeLimits(time, increment, go.movestogo, Parameters.ponder != 0),
                                        Parameters.moveOverhead);
    clock.softLimit = limits.softLimit;
    clock.hardLimit = limits.hardLimit;
    clock.extraTime = 0;
    clock.infinite = go.infinite;
    clock.depthLimit = go.depth;
    clock.nodesLimit = uint64_t(go.nodes);
    clock.movetime = go.movetime;
    clock.mateLimit = go.mate;
    SearchState.store(go.ponder ? Pondering : Searching, Relaxed);
    clock.pollInterval = pollIntervalFor(go.nodes);

    searchHooks = SearchHooks{pollInput, checkLimits, reportPv, reportIteration, reportCurrentMove, reportMultiPv};
    beginReports();
    lastStatusMs = 0;
    rootSearch(searchMoves);
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

void checkLimits() {
    const SearchClock& clock = searchClock;
    int64_t elapsed = tickCount() - clock.startTick;
    if (elapsed < StatusIntervalMs) {
        lastStatusMs = 0;
    } else if (elapsed - lastStatusMs >= StatusIntervalMs) {
        reportStatus();
        lastStatusMs = elapsed;
    }
    int state = SearchState.load(Relaxed);
    // No limit applies while pondering, nor while the root moves are still being scored.
    if (state == Pondering || iterationNumber < 2) return;
    int64_t target = clock.softLimit + clock.extraTime;
    bool stop = false;
    if (!clock.noTimeLimit)
        stop = elapsed > clock.hardLimit || (currentRootMove == 1 && elapsed > target) ||
               (!fullWindowResearch && elapsed > 6 * target);
    if (clock.nodesLimit && nodeCount.load(Relaxed) >= clock.nodesLimit) stop = true;
    if (clock.movetime && elapsed >= clock.movetime) stop = true;
    if (stop) SearchState.store(Stopping, Relaxed);
}

void decidePonderHit() {
    if (SearchState.load(Relaxed) != Pondering) return;
    const SearchClock& clock = searchClock;
    // Without a clock the search goes on as an ordinary one: its node and move-time
    // limits, counted from the "go", apply from now on.
    if (clock.noTimeLimit) {
        SearchState.store(PonderHit, Relaxed);
        return;
    }
    int64_t elapsed = tickCount() - clock.startTick;
    uint64_t nodes = nodeCount.load(Relaxed);
    bool easy = iterationNumber >= 5 && stableBestMove != 0;
    bool stop = (iterationNumber >= 2 && rootMoveCount == 1) || mateIterations >= 2 || elapsed > clock.hardLimit ||
                elapsed > clock.softLimit + clock.extraTime ||
                (easy && elapsed > clock.softLimit / 16 && bestMoveNodes > nodes * 85 / 100) ||
                (easy && elapsed > clock.softLimit / 32 && bestMoveNodes > nodes * 99 / 100);
    SearchState.store(stop ? Stopping : PonderHit, Relaxed);
}

}  // namespace brinz
