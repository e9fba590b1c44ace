#include "uci/perft_command.h"

#include <cinttypes>
#include <cstdio>

#include "board/make_move.h"
#include "board/move_text.h"
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
    if (!parsePerftDepth(text, depth)) return;
    if (depth == 0) {
        std::printf("Nodes searched: 1\n");
        return;
    }
    Position pos = RootPosition;
    // The root keeps its history short (CompactKeyHistory), so the tree always fits.
    CompactKeyHistory(pos);
    MoveListEntry list[MaxMoves];
    MoveListEntry* end = GenerateLegalMoves(pos, list);
    uint64_t total = 0;
    for (MoveListEntry* entry = list; entry != end; ++entry) {
        UndoRecord undo;
        MakeMove(pos, undo, entry->move);
        uint64_t nodes = Perft(pos, depth - 1);
        UnmakeMove(pos, undo, entry->move);
        total += nodes;
        char buffer[MoveTextSize];
        std::printf("%s: %" PRIu64 "\n", MoveToText(entry->move, buffer), nodes);
    }
    std::printf("\nNodes searched: %" PRIu64 "\n", total);
}

}  // namespace brinz
