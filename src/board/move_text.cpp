#include "board/move_text.h"

#include <cstring>

#include "board/attacks.h"
#include "board/generate.h"

namespace brinz {

namespace {

// The 0x88 square named by two characters, or -1.
int ParseSquare(const char* text) {
    if (text[0] < 'a' || text[0] > 'h' || text[1] < '1' || text[1] > '8') return -1;
    return (text[0] - 'a') + 16 * (text[1] - '1');
}

int ParsePromotion(char letter) {
    switch (letter) {
        case 'q': case 'Q': return QUEEN;
        case 'r': case 'R': return ROOK;
        case 'b': case 'B': return BISHOP;
        case 'n': case 'N': return KNIGHT;
        default: return 0;
    }
}

}  // namespace

char* MoveToText(Move move, char* buffer, const Position& game) {
    if (move == MOVE_NULL) {
        std::strcpy(buffer, "0000");
    } else if (move == MOVE_NONE) {
        std::strcpy(buffer, "(none)");
    } else {
        int from = MoveFrom(move), to = MoveTo(move);
        if ((move & CASTLE) && Chess960Castling)
            to = (from & 0x70) + (FileOf(to) == 6 ? game.kingsideRookFile : game.queensideRookFile);
        buffer[0] = char('a' + FileOf(from));
        buffer[1] = char('1' + RankOf(from));
        buffer[2] = char('a' + FileOf(to));
        buffer[3] = char('1' + RankOf(to));
        buffer[4] = MovePromotion(move) ? " pnbrqk"[MovePromotion(move)] : '\0';
        buffer[5] = '\0';
    }
    return buffer;
}

Move TextToMove(const Position& pos, const char* text) {
    if (!text || std::strlen(text) < 4) return MOVE_NULL;
    const int from = ParseSquare(text), to = ParseSquare(text + 2);
    if (from < 0 || to < 0) return MOVE_NULL;
    const int promotion = ParsePromotion(text[4]);
    const int base = pos.side * 112;

    MoveListEntry list[MaxMoves];
    MoveListEntry* end = GenerateMoves(pos, list);
    // In the Chess960 notation a castling named by its king's destination gives way to an
    // ordinary king move of the same text (b1c1 with the king on b1).
    Move castlingByDestination = MOVE_NULL;
    for (MoveListEntry* entry = list; entry != end; ++entry) {
        const Move move = entry->move;
        const bool byDestination = MoveFrom(move) == from && MoveTo(move) == to && MovePromotion(move) == promotion;
        bool byRook = false;
        if ((move & CASTLE) && MoveFrom(move) == from) {
            const int rookFile = FileOf(MoveTo(move)) == 6 ? pos.kingsideRookFile : pos.queensideRookFile;
            byRook = to == base + rookFile;
        }
        if (!byDestination && !byRook) continue;
        // A move leaving the own king attacked would let the next search capture a king.
        Position scratch = pos;
        if (!IsLegalByMaking(scratch, move)) continue;
        if (Chess960Castling && (move & CASTLE) && !byRook) {
            if (castlingByDestination == MOVE_NULL) castlingByDestination = move;
            continue;
        }
        return move;
    }
    return castlingByDestination;
}

}  // namespace brinz
