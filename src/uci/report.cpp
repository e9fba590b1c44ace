#include "uci/report.h"

#include <cinttypes>
#include <cstdio>

#include "board/move_text.h"
#include "platform/clock.h"
#include "search/search.h"

namespace brinz {

namespace {

constexpr int MateReportBound = 29700;
constexpr int LineSize = 1024;

int lastReportedScore = 0;

}  // namespace

void beginReports() { lastReportedScore = 0; }

const char* scoreText(int score, char* buffer, int size) {
    if (score < MateReportBound && score > -MateReportBound)
        std::snprintf(buffer, size_t(size), "cp %d", score * 100 / 256);
    else if (score > 0)
        std::snprintf(buffer, size_t(size), "mate %d", (MATE + 1 - score) / 2);
    else
        std::snprintf(buffer, size_t(size), "mate %d", -((score + MATE) / 2));
    return buffer;
}

void reportPv(int score, const Move* line, int depth) {
    if (depth > 60) return;
    if (SearchState.load(Relaxed) == Stopping) score = lastReportedScore;
    else lastReportedScore = score;
    int64_t elapsed = tickCount() - searchClock.startTick;
    uint64_t nodes = nodeCount.load(Relaxed);
    // The line is built whole and written once, so nothing can land in its middle.
    char text[LineSize];
    char scoreBuffer[32];
    int n = std::snprintf(text, sizeof text, "info depth %d score %s time %d nodes %" PRIu64 " ", depth,
                          scoreText(score, scoreBuffer, sizeof scoreBuffer), int(elapsed), nodes);
    if (elapsed > 0) n += std::snprintf(text + n, sizeof text - size_t(n), "nps %" PRIu64 " ", nodes * 1000 / uint64_t(elapsed));
    n += std::snprintf(text + n, sizeof text - size_t(n), "pv ");
    for (int i = 0; i < depth && line[i] != MOVE_NULL && line[i] != MOVE_NONE; ++i) {
        char move[16];
        if (n + 16 >= LineSize) break;
        n += std::snprintf(text + n, sizeof text - size_t(n), "%s ", MoveToText(line[i], move));
    }
    std::printf("%s\n", text);
}

void reportIteration(int iteration) {
    if (iteration <= 60) std::printf("info depth %d\n", iteration);
}

void reportCurrentMove(Move move, int number) {
    char text[16];
    std::printf("info currmove %s currmovenumber %d\n", MoveToText(move, text), number);
}

}  // namespace brinz
