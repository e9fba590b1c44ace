#include "support/engine_setup.h"

#include <cstdlib>
#include <memory>

#include <gtest/gtest.h>

#include "board/attacks.h"
#include "board/generate.h"
#include "board/keys.h"
#include "board/move_text.h"
#include "eval/pawns.h"
#include "options/options.h"

namespace brinz::support {

void initialiseTables() {
    static bool done = false;
    if (done) return;
    done = true;
    InitKeys();
    InitAttacks();
    Options.clear();
    registerEngineParameters();
    registerUciOptions();
}

PawnTable* testPawnTable() {
    static std::unique_ptr<PawnTable> table = NewPawnTable();
    if (!table) std::abort();
    return table.get();
}

Position positionFromFen(const char* fen) {
    initialiseTables();
    Position pos;
    EXPECT_TRUE(SetPositionFromFen(pos, fen)) << fen;
    return pos;
}

std::vector<std::string> legalMoves(const char* fen) {
    Position pos = positionFromFen(fen);
    MoveListEntry list[256];
    MoveListEntry* end = pos.checkerCount ? GenerateEvasions(pos, list) : GenerateMoves(pos, list);
    std::vector<std::string> moves;
    char text[16];
    for (MoveListEntry* e = list; e < end; ++e)
        if (IsLegal(pos, e->move)) moves.push_back(MoveToText(e->move, text, pos));
    return moves;
}

}  // namespace brinz::support
