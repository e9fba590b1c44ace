#include "board/make_move.h"

#include <cassert>

#include "board/attacks.h"
#include "board/keys.h"
#include "board/lines.h"
#include "board/piece_square.h"

namespace brinz {

namespace {

// The list node of `from` moves to `to` keeping its place in the list.
inline void MoveNode(Position& pos, int from, int to) {
    int previous = pos.links[from][0], next = pos.links[from][1];
    pos.links[to][0] = uint8_t(previous);
    pos.links[to][1] = uint8_t(next);
    pos.links[previous][1] = uint8_t(to);
    pos.links[next][0] = uint8_t(to);
}

inline void Unlink(Position& pos, int square) {
    int previous = pos.links[square][0], next = pos.links[square][1];
    pos.links[previous][1] = uint8_t(next);
    pos.links[next][0] = uint8_t(previous);
}

inline void LinkAfterHead(Position& pos, int square, int code) {
    int head = LIST_HEAD + code, next = pos.links[head][1];
    pos.links[square][0] = uint8_t(head);
    pos.links[square][1] = uint8_t(next);
    pos.links[head][1] = uint8_t(square);
    pos.links[next][0] = uint8_t(square);
}

inline uint8_t RankBit(int square) { return uint8_t(1 << RankOf(square)); }

// Rights lost by a move from `from` to `to`, whichever piece makes it: leaving a king or
// rook start square, or landing on a rook start square. White back-rank squares equal
// their file.
int RightsTouched(const Position& pos, int from, int to) {
    const int kingFile = pos.kingFile, kingsideFile = pos.kingsideRookFile, queensideFile = pos.queensideRookFile;
    int lost = 0;
    if (from == kingFile || from == kingsideFile || to == kingsideFile) lost |= LOST_WHITE_KINGSIDE;
    if (from == kingFile || from == queensideFile || to == queensideFile) lost |= LOST_WHITE_QUEENSIDE;
    int king = 112 + kingFile, kingside = 112 + kingsideFile, queenside = 112 + queensideFile;
    if (from == king || from == kingside || to == kingside) lost |= LOST_BLACK_KINGSIDE;
    if (from == king || from == queenside || to == queenside) lost |= LOST_BLACK_QUEENSIDE;
    return lost;
}

inline bool OnBackRank(int square) { return RankOf(square) == 0 || RankOf(square) == 7; }

}  // namespace

void MakeMove(Position& pos, UndoRecord& undo, Move move) {
    assert(pos.ply >= 0 && pos.ply < KeyHistorySize);
    undo.key = pos.key;
    undo.pawnKey = pos.pawnKey;
    undo.epSquare = pos.epSquare;
    undo.fifty = pos.fifty;
    undo.castleLost = pos.castleLost;
    undo.checkerCount = pos.checkerCount;
    undo.checkers[0] = pos.checkers[0];
    undo.checkers[1] = pos.checkers[1];
    undo.lastMove = pos.lastMove;
    pos.keyHistory[pos.ply] = pos.key;

    const int s = pos.side, x = pos.xside;
    const int from = MoveFrom(move), to = MoveTo(move);
    const int promotion = MovePromotion(move), capturedType = MoveCaptured(move);
    const int mover = pos.board[from];
    const int arriving = promotion ? MakeCode(promotion, s) : mover;

    pos.fifty = (capturedType || MovePiece(move) == PAWN) ? 0 : pos.fifty + 1;
    pos.material[s] += PieceValue[arriving] - PieceValue[mover];
    pos.pstSum[s] += PieceSquare[arriving][to] - PieceSquare[mover][from];
    uint64_t key = pos.key ^ PieceKeys[mover][Index64(from)] ^ PieceKeys[arriving][Index64(to)] ^ SideKey ^
                   EnPassantKeys[Index64(pos.epSquare)];

    if (TypeOf(mover) == PAWN) {
        pos.pawnKey ^= PieceKeys[mover][Index64(from)];
        pos.pawnFiles[s][FileOf(from)] &= uint8_t(~RankBit(from));
        if (!promotion) {
            pos.pawnKey ^= PieceKeys[mover][Index64(to)];
            pos.pawnFiles[s][FileOf(to)] |= RankBit(to);
        }
    }

    if (capturedType) {
        const int captured = MakeCode(capturedType, x);
        const int square = (move & EN_PASSANT) ? to - PawnPush[s] : to;
        Unlink(pos, square);
        pos.board[square] = EMPTY;
        pos.occupied &= ~SquareBit(square);
        key ^= PieceKeys[captured][Index64(square)];
        if (capturedType == PAWN) {
            pos.pawnKey ^= PieceKeys[captured][Index64(square)];
            pos.pawnFiles[x][FileOf(square)] &= uint8_t(~RankBit(square));
        }
        --pos.pieceCount[captured];
        pos.material[x] -= PieceValue[captured];
        pos.pstSum[x] -= PieceSquare[captured][square];
    }

    if (promotion) {
        Unlink(pos, from);
        LinkAfterHead(pos, to, arriving);
        --pos.pieceCount[mover];
        ++pos.pieceCount[arriving];
    } else {
        MoveNode(pos, from, to);
    }
    pos.board[to] = uint8_t(arriving);
    pos.board[from] = EMPTY;
    pos.occupied = (pos.occupied & ~SquareBit(from)) | SquareBit(to);

    // The en-passant square is only kept when an enemy pawn stands ready to use it, so
    // that transpositions without a possible capture share one key.
    pos.epSquare = 0;
    if (TypeOf(mover) == PAWN && to - from == 2 * PawnPush[s]) {
        const int enemyPawn = MakeCode(PAWN, x);
        if (pos.board[to + 1] == enemyPawn || pos.board[to - 1] == enemyPawn) {
            pos.epSquare = (from + to) / 2;
            key ^= EnPassantKeys[Index64(pos.epSquare)];
        }
    }

    if (move & CASTLE) {
        const int base = s * 112;
        const bool kingside = FileOf(to) == 6;
        const int rookFrom = base + (kingside ? pos.kingsideRookFile : pos.queensideRookFile);
        const int rookTo = base + (kingside ? 5 : 3);
        const int rook = MakeCode(ROOK, s);
        // In this order, so that Chess960 arrays where the rook stands on the king's
        // destination, or the king does not move, come out right.
        pos.board[rookFrom] = EMPTY;
        pos.board[rookTo] = uint8_t(rook);
        pos.board[base + (kingside ? 6 : 2)] = uint8_t(MakeCode(KING, s));
        pos.pstSum[s] += PieceSquare[rook][rookTo] - PieceSquare[rook][rookFrom];
        key ^= PieceKeys[rook][Index64(rookFrom)] ^ PieceKeys[rook][Index64(rookTo)];
        // The node move above does not hold when king and rook squares overlap.
        RebuildPieceLists(pos);
    }

    if (pos.castleLost != 15 && (OnBackRank(from) || OnBackRank(to))) {
        int lost = pos.castleLost | RightsTouched(pos, from, to);
        key ^= CastleKeys[pos.castleLost] ^ CastleKeys[lost];
        pos.castleLost = lost;
    }

    pos.key = key;
    pos.lastMove = move;
    ++pos.ply;
    pos.side = x;
    pos.xside = s;
    FindCheckers(pos);
}

void UnmakeMove(Position& pos, UndoRecord& undo, Move move) {
    pos.side ^= 1;
    pos.xside ^= 1;
    const int s = pos.side, x = pos.xside;
    pos.castleLost = undo.castleLost;
    pos.epSquare = undo.epSquare;
    pos.key = undo.key;
    pos.fifty = undo.fifty;
    pos.pawnKey = undo.pawnKey;
    pos.lastMove = undo.lastMove;
    pos.checkerCount = undo.checkerCount;
    pos.checkers[0] = undo.checkers[0];
    pos.checkers[1] = undo.checkers[1];
    --pos.ply;

    const int from = MoveFrom(move), to = MoveTo(move);
    const int promotion = MovePromotion(move), capturedType = MoveCaptured(move);
    const int mover = MakeCode(MovePiece(move), s);

    if (promotion) {
        const int promoted = MakeCode(promotion, s);
        Unlink(pos, to);
        LinkAfterHead(pos, from, mover);
        ++pos.pieceCount[mover];
        --pos.pieceCount[promoted];
        pos.material[s] += PieceValue[mover] - PieceValue[promoted];
        pos.pstSum[s] += PieceSquare[mover][from] - PieceSquare[promoted][to];
        pos.pawnFiles[s][FileOf(from)] |= RankBit(from);
    } else {
        MoveNode(pos, to, from);
        pos.pstSum[s] += PieceSquare[mover][from] - PieceSquare[mover][to];
        if (TypeOf(mover) == PAWN) {
            pos.pawnFiles[s][FileOf(to)] &= uint8_t(~RankBit(to));
            pos.pawnFiles[s][FileOf(from)] |= RankBit(from);
        }
    }
    pos.board[from] = uint8_t(mover);
    pos.board[to] = EMPTY;
    pos.occupied = (pos.occupied & ~SquareBit(to)) | SquareBit(from);

    if (capturedType) {
        const int captured = MakeCode(capturedType, x);
        const int square = (move & EN_PASSANT) ? to - PawnPush[s] : to;
        pos.board[square] = uint8_t(captured);
        pos.occupied |= SquareBit(square);
        LinkAfterHead(pos, square, captured);
        ++pos.pieceCount[captured];
        pos.material[x] += PieceValue[captured];
        pos.pstSum[x] += PieceSquare[captured][square];
        if (capturedType == PAWN) pos.pawnFiles[x][FileOf(square)] |= RankBit(square);
    }

    if (move & CASTLE) {
        const int base = s * 112;
        const bool kingside = FileOf(to) == 6;
        pos.board[base + (kingside ? 6 : 2)] = EMPTY;
        pos.board[base + (kingside ? 5 : 3)] = EMPTY;
        pos.board[base + (kingside ? pos.kingsideRookFile : pos.queensideRookFile)] = uint8_t(MakeCode(ROOK, s));
        pos.board[base + pos.kingFile] = uint8_t(mover);
        RebuildPieceLists(pos);
        pos.pstSum[s] = SumPieceSquare(pos, s);
    }
}

void MakeNullMove(Position& pos, UndoRecord& undo) {
    assert(pos.ply >= 0 && pos.ply < KeyHistorySize);
    assert(pos.checkerCount == 0);
    undo.epSquare = pos.epSquare;
    undo.castleLost = pos.castleLost;
    undo.fifty = pos.fifty;
    undo.key = pos.key;
    undo.lastMove = pos.lastMove;
    pos.keyHistory[pos.ply] = pos.key;
    pos.key ^= SideKey ^ EnPassantKeys[Index64(pos.epSquare)];
    ++pos.fifty;
    pos.side ^= 1;
    pos.xside ^= 1;
    pos.epSquare = 0;
    pos.lastMove = MOVE_NULL;
    ++pos.ply;
}

void UnmakeNullMove(Position& pos, UndoRecord& undo) {
    --pos.ply;
    pos.xside ^= 1;
    pos.side ^= 1;
    pos.epSquare = undo.epSquare;
    pos.castleLost = undo.castleLost;
    pos.fifty = undo.fifty;
    pos.key = undo.key;
    pos.lastMove = undo.lastMove;
}

}  // namespace brinz
