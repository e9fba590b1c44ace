// Fuzz target: the FEN parser, and what a parsed position must then bear: every derived
// field agrees with the board, each legal move is made and taken back exactly, its text
// names it again, exchange values and the evaluation run on it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "board/attacks.h"
#include "board/exchange.h"
#include "board/generate.h"
#include "board/make_move.h"
#include "board/move_text.h"
#include "board/position.h"
#include "eval/evaluate.h"
#include "options/options.h"
#include "smp/threads.h"
#include "uci/command_loop.h"

using namespace brinz;

namespace {

void require(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    initialiseEngine();
    // The helpers must end before the static thread records go at exit.
    std::atexit([] { stopThreads(); });
    applyOptions(WHITE);  // the evaluation reads the engine parameters
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    Position pos;
    SetPositionFromFen(pos, StartFen);
    const Position before = pos;
    if (!SetPositionFromFen(pos, text.c_str())) {
        // A refused FEN leaves the position as it was.
        require(std::memcmp(&before.boardFrame, &pos.boardFrame, sizeof pos.boardFrame) == 0 && pos.key == before.key);
        return 0;
    }
    require(CheckPositionConsistency(pos) == nullptr);

    MoveListEntry list[MaxMoves];
    MoveListEntry* end = pos.checkerCount ? GenerateEvasions(pos, list) : GenerateMoves(pos, list);
    require(end - list <= MaxMoves);
    for (MoveListEntry* entry = list; entry < end; ++entry) {
        const Move move = entry->move;
        if (!IsLegal(pos, move)) continue;
        char moveText[MoveTextSize];
        require(TextToMove(pos, MoveToText(move, moveText)) != MOVE_NULL);
        StaticExchange(pos, MoveTo(move), MoveFrom(move));
        const uint64_t key = pos.key;
        UndoRecord undo;
        MakeMove(pos, undo, move);
        require(CheckPositionConsistency(pos) == nullptr);
        UnmakeMove(pos, undo, move);
        require(pos.key == key && CheckPositionConsistency(pos) == nullptr);
    }
    EvalExtras extras;
    uint8_t tablebaseFlag = 0;
    Evaluate(pos, extras, 0, tablebaseFlag);
    return 0;
}
