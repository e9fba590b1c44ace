#include "board/perft.h"

#include <cinttypes>
#include <cstdio>

#include "board/attacks.h"
#include "board/generate.h"
#include "board/make_move.h"
#include "board/move_text.h"

namespace brinz {

MoveListEntry* GenerateLegalMoves(Position& pos, MoveListEntry* list) {
    if (pos.checkerCount) return GenerateEvasions(pos, list);
    MoveListEntry* end = GenerateMoves(pos, list);
    MoveListEntry* kept = list;
    for (MoveListEntry* entry = list; entry != end; ++entry)
        if (IsLegal(pos, entry->move)) *kept++ = *entry;
    return kept;
}

uint64_t Perft(Position& pos, int depth) {
    if (depth <= 0) return 1;
    MoveListEntry list[MaxMoves];
    if (pos.checkerCount) {
        MoveListEntry* end = GenerateEvasions(pos, list);
        if (depth == 1) return uint64_t(end - list);
        uint64_t nodes = 0;
        for (MoveListEntry* entry = list; entry != end; ++entry) {
            UndoRecord undo;
            MakeMove(pos, undo, entry->move);
            nodes += Perft(pos, depth - 1);
            UnmakeMove(pos, undo, entry->move);
        }
        return nodes;
    }
    MoveListEntry* end = GenerateMoves(pos, list);
    uint64_t nodes = 0;
    for (MoveListEntry* entry = list; entry != end; ++entry) {
        if (!IsLegal(pos, entry->move)) continue;
        if (depth == 1) {
            ++nodes;
            continue;
        }
        UndoRecord undo;
        MakeMove(pos, undo, entry->move);
        nodes += Perft(pos, depth - 1);
        UnmakeMove(pos, undo, entry->move);
    }
    return nodes;
}

void PerftDivideLines(Position& pos, int depth, const std::function<void(const char* line)>& emit) {
    if (depth <= 0) {
        emit("Nodes searched: 1\n");
        return;
    }
    char line[64];
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
        std::snprintf(line, sizeof line, "%s: %" PRIu64 "\n", MoveToText(entry->move, buffer, pos), nodes);
        emit(line);
    }
    std::snprintf(line, sizeof line, "\nNodes searched: %" PRIu64 "\n", total);
    emit(line);
}

std::string PerftDivide(Position& pos, int depth) {
    std::string text;
    PerftDivideLines(pos, depth, [&text](const char* line) { text += line; });
    return text;
}

}  // namespace brinz
