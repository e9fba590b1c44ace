#include "uci/report.h"

#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <mutex>

#include "board/move_text.h"
#include "platform/clock.h"
#include "search/hash.h"
#include "search/search.h"
#include "tablebases/registry.h"

namespace brinz {

Lock outputLock;

namespace {

constexpr int MateReportBound = 29700;
constexpr int MaxReportDepth = 60;
constexpr int LineSize = 1024;  // a head and 60 moves of at most 6 characters fit easily
constexpr int MoveTextRoom = 16;

int lastReportedScore = 0;

// One line of text built in a fixed buffer; a fragment that would not fit is dropped.
struct LineText {
    char text[LineSize];
    int length = 0;

    LineText() { text[0] = '\0'; }

    __attribute__((format(printf, 2, 3))) void add(const char* format, ...) {
        int room = LineSize - length;
        va_list args;
        va_start(args, format);
        int n = std::vsnprintf(text + length, size_t(room), format, args);
        va_end(args);
        if (n > 0 && n < room) length += n;
        else text[length] = '\0';
    }
};

// Writes the line and its newline in one call under outputLock.
void writeLine(const LineText& line) {
    std::lock_guard<Lock> guard(outputLock);
    std::printf("%s\n", line.text);
}

// The fields that follow the head of every principal-variation line:
// "score ... time T nodes N [nps N ]pv m1 m2 ... ".
void addScoreAndLine(LineText& out, int score, const Move* line, int depth) {
    int64_t elapsed = searchElapsedMs();
    uint64_t nodes = nodeCount.load(Relaxed);
    char scoreBuffer[32];
    out.add("score %s time %d nodes %" PRIu64 " ", scoreText(score, scoreBuffer, sizeof scoreBuffer), int(elapsed),
            nodes);
    if (elapsed > 0) out.add("nps %" PRIu64 " ", nodes * 1000 / uint64_t(elapsed));
    out.add("pv ");
    for (int i = 0; i < depth && line[i] != MOVE_NULL && line[i] != MOVE_NONE; ++i) {
        char move[MoveTextRoom];
        out.add("%s ", MoveToText(line[i], move, RootPosition));
    }
}

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
    if (depth > MaxReportDepth) return;
    // A stopped iteration's score is partial: the interface keeps seeing the last whole one.
    if (SearchState.load(Relaxed) == Stopping) score = lastReportedScore;
    else lastReportedScore = score;
    LineText out;
    out.add("info depth %d ", depth);
    addScoreAndLine(out, score, line, depth);
    writeLine(out);
}

void reportMultiPv(int number, int score, const Move* line, int depth) {
    if (depth > MaxReportDepth) return;
    if (number == 1) lastReportedScore = score;
    LineText out;
    out.add("info multipv %d depth %d ", number, depth);
    addScoreAndLine(out, score, line, depth);
    writeLine(out);
}

void reportIteration(int iteration) {
    if (iteration > MaxReportDepth) return;
    LineText out;
    out.add("info depth %d", iteration);
    writeLine(out);
}

void reportCurrentMove(Move move, int number) {
    char text[MoveTextRoom];
    LineText out;
    out.add("info currmove %s currmovenumber %d", MoveToText(move, text, RootPosition), number);
    writeLine(out);
}

void reportStatus() {
    int64_t elapsed = searchElapsedMs();
    uint64_t nodes = nodeCount.load(Relaxed);
    uint64_t nps = elapsed > 0 ? nodes * 1000 / uint64_t(elapsed) : 0;
    LineText out;
    out.add("info nodes %" PRIu64 " nps %" PRIu64 " time %d hashfull %d tbhits %" PRIu64, nodes, nps, int(elapsed),
            hashFullPermill(), Nalimov.tbHits.load(Relaxed));
    writeLine(out);
}

}  // namespace brinz
