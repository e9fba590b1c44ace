// Fuzz target: the FEN parser, and what a parsed position must then bear: every derived
// field agrees with the board; the generators agree with making each move (legality,
// evasions, captures, checks); each legal move is made and taken back exactly and its text
// names a move again; exchange values and the evaluation run on it.
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

    // The legal moves as the search finds them, against making every pseudo-legal move.
    MoveListEntry all[MaxMoves], legal[MaxMoves];
    MoveListEntry* allEnd = GenerateMoves(pos, all);
    MoveListEntry* legalEnd = pos.checkerCount ? GenerateEvasions(pos, legal) : GenerateMoves(pos, legal);
    require(allEnd - all <= MaxMoves && legalEnd - legal <= MaxMoves);
    require((pos.checkerCount > 0) == IsAttacked(pos, pos.kingSquare(pos.side), pos.xside));
    int legalCount = 0, madeLegal = 0;
    for (MoveListEntry* entry = legal; entry < legalEnd; ++entry) {
        const Move move = entry->move;
        if (!IsLegal(pos, move)) continue;
        ++legalCount;
        require(IsLegalByMaking(pos, move));
        char moveText[MoveTextSize];
        require(TextToMove(pos, MoveToText(move, moveText, pos)) != MOVE_NULL);
        StaticExchange(pos, MoveTo(move), MoveFrom(move));
        const bool announced = GivesCheck(pos, move);
        const uint64_t key = pos.key;
        UndoRecord undo;
        MakeMove(pos, undo, move);
        require(CheckPositionConsistency(pos) == nullptr);
        const bool check = IsAttacked(pos, pos.kingSquare(pos.side), pos.xside);
        require((pos.checkerCount > 0) == check);
        // Checks by promotion, castling or through an en-passant square are not announced.
        if (!MovePromotion(move) && !(move & (CASTLE | EN_PASSANT))) require(announced == check);
        else if (announced) require(check);
        UnmakeMove(pos, undo, move);
        require(pos.key == key && CheckPositionConsistency(pos) == nullptr);
    }
    for (MoveListEntry* entry = all; entry < allEnd; ++entry) {
        const bool byMaking = IsLegalByMaking(pos, entry->move);
        if (!pos.checkerCount) require(IsLegal(pos, entry->move) == byMaking);
        madeLegal += byMaking;
    }
    // In check the full generator holds every evasion but castling, which it omits then.
    require(legalCount == madeLegal);
    if (!pos.checkerCount) {
        MoveListEntry captures[MaxMoves], checks[MaxMoves];
        MoveListEntry* capturesEnd = GenerateCaptures(pos, captures);
        for (MoveListEntry* c = captures; c < capturesEnd; ++c) {
            bool listed = false;
            for (MoveListEntry* entry = all; entry < allEnd && !listed; ++entry) listed = entry->move == c->move;
            require(listed);
        }
        MoveListEntry* checksEnd = GenerateQuietChecks(pos, checks);
        for (MoveListEntry* c = checks; c < checksEnd; ++c) {
            if (!IsLegalByMaking(pos, c->move)) continue;
            UndoRecord undo;
            MakeMove(pos, undo, c->move);
            require(pos.checkerCount > 0);
            UnmakeMove(pos, undo, c->move);
        }
    }
    EvalExtras extras;
    uint8_t tablebaseFlag = 0;
    Evaluate(pos, extras, nullptr, tablebaseFlag);
    return 0;
}
