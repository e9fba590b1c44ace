// Fuzz target: the text after "go " as the go handler reads it (limits, search moves) and
// the time limits and poll interval it leads to. Nothing is searched.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "board/attacks.h"
#include "board/keys.h"
#include "board/position.h"
#include "uci/go.h"

using namespace brinz;

namespace {

// The start position, and one with castling, promotions and an en-passant capture, so that
// the search-move tokens can name every kind of move.
const char* const RootFens[] = {StartFen, "r3k2r/1P6/8/3pP3/8/8/6p1/R3K2R w KQkq d6 0 1"};

void require(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    InitKeys();
    InitAttacks();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);  // terminated at the end
    const GoParameters go = parseGoLine(text.c_str());
    for (int32_t value : {go.wtime, go.btime, go.winc, go.binc, go.movestogo, go.depth, go.nodes, go.mate,
                          go.movetime})
        require(value >= 0);

    for (const char* fen : RootFens) {
        require(SetPositionFromFen(RootPosition, fen));
        // The full list the handler uses, and a short one whose end must hold.
        for (int listSize : {SearchMovesSize, 3}) {
            Move list[SearchMovesSize + 1];
            list[listSize] = MOVE_NONE;
            const char* at = std::strstr(text.c_str(), "searchmoves");
            const char* moves = at && std::strlen(at) >= 12 ? at + 12 : text.c_str();
            parseSearchMoves(moves, list, listSize);
            require(list[listSize] == MOVE_NONE);
            int count = 0;
            while (list[count] != 0) require(++count < listSize);
        }
    }

    for (int side = 0; side < 2; ++side)
        for (bool ponder : {false, true}) {
            const TimeLimits limits = computeTimeLimits(side ? go.btime : go.wtime, side ? go.binc : go.winc,
                                                        go.movestogo, ponder);
            (void)limits;
        }
    const uint32_t interval = pollIntervalFor(go.nodes);
    require(interval >= 1 && interval <= uint32_t(PollIntervalNodes));
    return 0;
}
