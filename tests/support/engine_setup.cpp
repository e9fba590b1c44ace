#include "support/engine_setup.h"

#include <gtest/gtest.h>

#include "board/attacks.h"
#include "board/keys.h"
#include "eval/pawns.h"
#include "options/options.h"

namespace brinz::support {

void initialiseTables() {
    static bool done = false;
    if (done) return;
    done = true;
    InitKeys();
    InitAttacks();
    AllocatePawnTables(PawnTableSlots);
    Options.clear();
    registerEngineParameters();
    registerUciOptions();
}

Position positionFromFen(const char* fen) {
    initialiseTables();
    Position pos;
    EXPECT_TRUE(SetPositionFromFen(pos, fen)) << fen;
    return pos;
}

}  // namespace brinz::support
