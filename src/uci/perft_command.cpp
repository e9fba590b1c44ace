#include "uci/perft_command.h"

#include <cstdio>

#include "board/perft.h"

namespace brinz {

bool parsePerftDepth(const char* text, int& depth) {
    const char* p = text;
    while (*p == ' ' || *p == '\t') ++p;
    if (*p < '0' || *p > '9') return false;
    int value = 0;
    for (; *p >= '0' && *p <= '9'; ++p)
        if (value <= PerftDepthLimit) value = value * 10 + (*p - '0');
    // Only blanks and the line end may follow: "3x" is not a depth.
    while (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n') ++p;
    if (*p) return false;
    depth = value < PerftDepthLimit ? value : PerftDepthLimit;
    return true;
}

void handlePerft(const char* text) {
    int depth = 0;
    if (!parsePerftDepth(text, depth)) {
        std::printf("usage: perft N, N the depth from 0 to %d\n", PerftDepthLimit);
        return;
    }
    Position pos = RootPosition;
    // The root keeps its history short (CompactKeyHistory), so the tree always fits.
    CompactKeyHistory(pos);
    PerftDivideLines(pos, depth, [](const char* line) { std::fputs(line, stdout); });
}

}  // namespace brinz
