#include "board/position.h"

#include <cctype>
#include <cstdio>
#include <cstring>

#include "board/attacks.h"
#include "board/keys.h"
#include "board/lines.h"
#include "board/piece_square.h"
#include "board/text.h"

namespace brinz {

bool Chess960Castling = false;

Position RootPosition;

Position::Position() {
    std::memset(static_cast<void*>(this), 0, sizeof *this);
    board = boardFrame + 64;
    pawnFiles[WHITE] = pawnFileBytes[WHITE] + 4;
    pawnFiles[BLACK] = pawnFileBytes[BLACK] + 4;
    for (int i = 0; i < 256; ++i) boardFrame[i] = OFFBOARD;
    for (int sq = 0; sq < 128; ++sq)
        if (OnBoard(sq)) board[sq] = EMPTY;
    lastMove = MOVE_NONE;
    xside = BLACK;
    castleLost = 15;
    kingFile = 4;
    kingsideRookFile = 7;
    queensideRookFile = 0;
    RebuildPieceLists(*this);
}

Position::Position(const Position& other) { *this = other; }

Position& Position::operator=(const Position& other) {
    if (this != &other) {
        std::memcpy(static_cast<void*>(this), &other, sizeof *this);
        board = boardFrame + 64;
        pawnFiles[WHITE] = pawnFileBytes[WHITE] + 4;
        pawnFiles[BLACK] = pawnFileBytes[BLACK] + 4;
    }
    return *this;
}

void RebuildPieceLists(Position& pos) {
    for (int colour = WHITE; colour <= BLACK; ++colour) {
        // head(king) -> head(queen) -> ... -> head(pawn) -> LIST_END
        for (int type = KING; type >= PAWN; --type) {
            int head = LIST_HEAD + MakeCode(type, colour);
            pos.links[head][0] = uint8_t(type == KING ? LIST_END : head + 1);
            pos.links[head][1] = uint8_t(type == PAWN ? LIST_END : head - 1);
        }
    }
    pos.occupied = 0;
    for (int sq = 0; sq < 120; ++sq) {
        int code = pos.board[sq];
        if (code >= EMPTY || !OnBoard(sq)) continue;
        pos.occupied |= SquareBit(sq);
        int head = LIST_HEAD + code;
        int next = pos.links[head][1];
        pos.links[sq][0] = uint8_t(head);
        pos.links[sq][1] = uint8_t(next);
        pos.links[head][1] = uint8_t(sq);
        if (next != LIST_END) pos.links[next][0] = uint8_t(sq);
    }
}

void RebuildPawnFiles(Position& pos) {
    std::memset(pos.pawnFileBytes, 0, sizeof pos.pawnFileBytes);
    for (int sq = 0; sq < 120; ++sq) {
        int code = pos.board[sq];
        if (OnBoard(sq) && (code == WHITE_PAWN || code == BLACK_PAWN))
            pos.pawnFiles[ColourOf(code)][FileOf(sq)] |= uint8_t(1 << RankOf(sq));
    }
}

void CountPieces(Position& pos) {
    for (int colour = WHITE; colour <= BLACK; ++colour)
        for (int type = PAWN; type <= QUEEN; ++type) {
            int code = MakeCode(type, colour), count = 0;
            for (int node = pos.links[LIST_HEAD + code][1]; node <= 119; node = pos.links[node][1]) ++count;
            pos.pieceCount[code] = count;
        }
}

int SumPieceSquare(const Position& pos, int colour) {
    int sum = 0;
    for (int node = pos.links[LIST_HEAD + MakeCode(KING, colour)][1]; node != LIST_END; node = pos.links[node][1])
        if (node <= 119) sum += PieceSquare[pos.board[node]][node];
    return sum;
}

uint64_t ComputeKey(const Position& pos) {
    uint64_t key = 0;
    for (int sq = 0; sq < 120; ++sq)
        if (OnBoard(sq) && pos.board[sq] < EMPTY) key ^= PieceKeys[pos.board[sq]][Index64(sq)];
    key ^= EnPassantKeys[Index64(pos.epSquare)];
    key ^= CastleKeys[pos.castleLost];
    if (pos.side == BLACK) key ^= SideKey;
    return key;
}

uint64_t ComputePawnKey(const Position& pos) {
    uint64_t key = 0;
    for (int sq = 0; sq < 120; ++sq)
        if (OnBoard(sq) && (pos.board[sq] == WHITE_PAWN || pos.board[sq] == BLACK_PAWN))
            key ^= PieceKeys[pos.board[sq]][Index64(sq)];
    return key;
}

namespace {

// Fields are parted by any run of blanks and tabs.
bool IsFieldSeparator(char c) { return c == ' ' || c == '\t'; }

int PieceFromLetter(char c) {
    switch (c) {
        case 'P': return WHITE_PAWN;
        case 'N': return WHITE_KNIGHT;
        case 'B': return WHITE_BISHOP;
        case 'R': return WHITE_ROOK;
        case 'Q': return WHITE_QUEEN;
        case 'K': return WHITE_KING;
        case 'p': return BLACK_PAWN;
        case 'n': return BLACK_KNIGHT;
        case 'b': return BLACK_BISHOP;
        case 'r': return BLACK_ROOK;
        case 'q': return BLACK_QUEEN;
        case 'k': return BLACK_KING;
        default: return 0;
    }
}

// Material a game can reach: one king, at most 8 pawns, and no more promoted pieces
// than missing pawns. Anything else would break the piece lists or the move buffers.
bool PlausibleMaterial(const Position& pos) {
    for (int colour = WHITE; colour <= BLACK; ++colour) {
        int count[7] = {};
        for (int sq = 0; sq < 120; ++sq) {
            int code = pos.board[sq];
            if (OnBoard(sq) && code < EMPTY && ColourOf(code) == colour) ++count[TypeOf(code)];
        }
        auto extra = [](int have, int start) { return have > start ? have - start : 0; };
        int promoted = extra(count[QUEEN], 1) + extra(count[ROOK], 2) + extra(count[BISHOP], 2) +
                       extra(count[KNIGHT], 2);
        if (count[KING] != 1 || count[PAWN] > 8 || promoted > 8 - count[PAWN]) return false;
    }
    for (int file = 0; file < 8; ++file) {
        int first = pos.board[file], last = pos.board[112 + file];
        if (first == WHITE_PAWN || first == BLACK_PAWN || last == WHITE_PAWN || last == BLACK_PAWN) return false;
    }
    return true;
}

// Drops castling rights whose king or rook is not on its back-rank square.
void DropUnbackedCastling(Position& pos) {
    struct Right { int bit, colour, rookFile; };
    const Right rights[4] = {{LOST_WHITE_KINGSIDE, WHITE, pos.kingsideRookFile},
                             {LOST_WHITE_QUEENSIDE, WHITE, pos.queensideRookFile},
                             {LOST_BLACK_KINGSIDE, BLACK, pos.kingsideRookFile},
                             {LOST_BLACK_QUEENSIDE, BLACK, pos.queensideRookFile}};
    const int kingFile = pos.kingFile;
    for (const Right& right : rights) {
        if (pos.castleLost & right.bit) continue;
        int base = right.colour * 112;
        bool backed = kingFile >= 0 && kingFile < 8 && right.rookFile >= 0 && right.rookFile < 8 &&
                      pos.board[base + kingFile] == MakeCode(KING, right.colour) &&
                      pos.board[base + right.rookFile] == MakeCode(ROOK, right.colour);
        if (!backed) pos.castleLost |= right.bit;
    }
}

// Keeps an en-passant square only behind a pawn of the side that just moved.
int BackedEnPassant(const Position& pos, int square) {
    if (!square) return 0;
    if (pos.side == WHITE && RankOf(square) == 5 && pos.board[square - 16] == BLACK_PAWN &&
        pos.board[square] == EMPTY)
        return square;
    if (pos.side == BLACK && RankOf(square) == 2 && pos.board[square + 16] == WHITE_PAWN &&
        pos.board[square] == EMPTY)
        return square;
    return 0;
}

}  // namespace

bool SetPositionFromFen(Position& target, const char* text) {
    // Parsed into a scratch record so that a bad FEN leaves the old position whole.
    Position pos;
    int geometry[3] = {target.kingFile, target.kingsideRookFile, target.queensideRookFile};
    auto fail = [] {
        std::printf("Error FEN\n");
        return false;
    };

    // Eight ranks of exactly eight files each, a8 first: anything else is some other
    // position than the sender meant, so it is refused rather than guessed at.
    const char* p = text;
    int rank = 7, file = 0;
    for (;; ++p) {
        char c = *p;
        if (c == '\0') return fail();
        if (IsFieldSeparator(c)) break;
        if (c >= '1' && c <= '8') {
            file += c - '0';
            if (file > 8) return fail();
        } else if (c == '/') {
            if (file != 8 || rank == 0) return fail();
            --rank;
            file = 0;
        } else if (int code = PieceFromLetter(c)) {
            if (file >= 8) return fail();
            pos.board[16 * rank + file++] = uint8_t(code);
        } else {
            return fail();
        }
    }
    if (rank != 0 || file != 8) return fail();
    while (IsFieldSeparator(*p)) ++p;
    char sideLetter = char(std::tolower(static_cast<unsigned char>(*p)));
    if (sideLetter == 'w') {
        pos.side = WHITE;
    } else if (sideLetter == 'b') {
        pos.side = BLACK;
    } else {
        return fail();
    }
    ++p;
    if (*p && !IsBlank(*p)) return fail();  // the side is one letter
    pos.xside = pos.side ^ 1;
    while (*p && IsBlank(*p)) ++p;

    RebuildPieceLists(pos);
    RebuildPawnFiles(pos);
    if (!PlausibleMaterial(pos)) return fail();

    pos.castleLost = 15;
    for (; *p && !IsBlank(*p); ++p) {
        char c = *p;
        if (c == 'K' || c == 'k' || c == 'Q' || c == 'q') {
            // In Chess960 (X-FEN) the letter names the outermost rook on that side of the
            // king; otherwise the corner rook beside a king on the e-file.
            const int colour = c == 'K' || c == 'Q' ? WHITE : BLACK;
            const bool kingside = c == 'K' || c == 'k';
            pos.castleLost ^= kingside ? (colour == WHITE ? LOST_WHITE_KINGSIDE : LOST_BLACK_KINGSIDE)
                                       : (colour == WHITE ? LOST_WHITE_QUEENSIDE : LOST_BLACK_QUEENSIDE);
            const int king = pos.kingSquare(colour);
            geometry[0] = 4;
            geometry[kingside ? 1 : 2] = kingside ? 7 : 0;
            if (Chess960Castling && RankOf(king) == (colour == WHITE ? 0 : 7)) {
                const int kingFile = FileOf(king), rook = MakeCode(ROOK, colour), base = colour * 112;
                for (int f = kingside ? 7 : 0; f != kingFile; f += kingside ? -1 : 1)
                    if (pos.board[base + f] == rook) {
                        geometry[0] = kingFile;
                        geometry[kingside ? 1 : 2] = f;
                        break;
                    }
            }
        } else if ((c >= 'A' && c <= 'H') || (c >= 'a' && c <= 'h')) {
            int colour = c >= 'a' ? BLACK : WHITE;
            int file = c - (colour == WHITE ? 'A' : 'a');
            geometry[0] = FileOf(pos.kingSquare(colour));
            if (file > geometry[0]) {
                pos.castleLost ^= colour == WHITE ? LOST_WHITE_KINGSIDE : LOST_BLACK_KINGSIDE;
                geometry[1] = file;
            } else {
                pos.castleLost ^= colour == WHITE ? LOST_WHITE_QUEENSIDE : LOST_BLACK_QUEENSIDE;
                geometry[2] = file;
            }
        }
    }

    while (*p && IsBlank(*p)) ++p;
    int epSquare = 0;
    if (*p) {
        if (p[0] >= 'a' && p[0] <= 'h' && p[1] >= '1' && p[1] <= '8')
            epSquare = (p[0] - 'a') + 16 * (p[1] - '1');
        while (*p && !IsBlank(*p)) ++p;
        while (*p && IsBlank(*p)) ++p;
        int fifty = 0;
        // Capped far above any meaningful clock so that a long digit run cannot overflow.
        for (; *p >= '0' && *p <= '9'; ++p)
            if (fifty < 100000) fifty = fifty * 10 + (*p - '0');
        pos.fifty = fifty;
    }

    // A position whose side not to move stands in check cannot arise, and would let
    // the search capture a king.
    if (IsAttacked(pos, pos.kingSquare(pos.xside), pos.side)) return fail();

    pos.kingFile = int8_t(geometry[0]);
    pos.kingsideRookFile = int8_t(geometry[1]);
    pos.queensideRookFile = int8_t(geometry[2]);
    DropUnbackedCastling(pos);
    pos.epSquare = BackedEnPassant(pos, epSquare);

    pos.lastMove = MOVE_NONE;
    for (int colour = WHITE; colour <= BLACK; ++colour) {
        int material = 0;
        for (int node = pos.links[LIST_HEAD + MakeCode(QUEEN, colour)][1]; node != LIST_END;
             node = pos.links[node][1])
            if (node <= 119) material += PieceValue[pos.board[node]];
        pos.material[colour] = material;
        pos.pstSum[colour] = SumPieceSquare(pos, colour);
    }
    FindCheckers(pos);
    CountPieces(pos);
    pos.key = ComputeKey(pos);
    pos.pawnKey = ComputePawnKey(pos);
    pos.ply = 0;
    target = pos;
    return true;
}

void CompactKeyHistory(Position& pos) {
    if (pos.ply < KeyHistoryCompactAt) return;
    std::memmove(pos.keyHistory, pos.keyHistory + pos.ply - KeyHistoryKeep, KeyHistoryKeep * sizeof(uint64_t));
    pos.ply = KeyHistoryKeep;
}

const char* CheckPositionConsistency(const Position& pos) {
    Position fresh = pos;
    RebuildPieceLists(fresh);
    if (std::memcmp(fresh.links, pos.links, sizeof pos.links) != 0) {
        // Lists may legitimately be ordered differently after incremental updates;
        // compare membership instead.
        for (int colour = WHITE; colour <= BLACK; ++colour)
            for (int type = PAWN; type <= KING; ++type) {
                int code = MakeCode(type, colour), seen = 0;
                for (int node = pos.links[LIST_HEAD + code][1]; node <= 119; node = pos.links[node][1]) {
                    if (pos.board[node] != code || ++seen > 64) return "piece lists";
                }
                int onBoard = 0;
                for (int sq = 0; sq < 120; ++sq)
                    if (OnBoard(sq) && pos.board[sq] == code) ++onBoard;
                if (onBoard != seen) return "piece lists";
            }
    }
    if (fresh.occupied != pos.occupied) return "occupied";
    for (int i = 0; i < 256; ++i) {
        int sq = i - 64;
        bool on = sq >= 0 && sq < 128 && OnBoard(sq);
        if (!on && pos.boardFrame[i] != OFFBOARD) return "board frame";
    }
    RebuildPawnFiles(fresh);
    if (std::memcmp(fresh.pawnFileBytes, pos.pawnFileBytes, sizeof pos.pawnFileBytes) != 0) return "pawnFiles";
    CountPieces(fresh);
    if (std::memcmp(fresh.pieceCount, pos.pieceCount, sizeof pos.pieceCount) != 0) return "pieceCount";
    for (int colour = WHITE; colour <= BLACK; ++colour) {
        int material = 0;
        for (int sq = 0; sq < 120; ++sq)
            if (OnBoard(sq) && pos.board[sq] < EMPTY && ColourOf(pos.board[sq]) == colour &&
                TypeOf(pos.board[sq]) != KING)
                material += PieceValue[pos.board[sq]];
        if (material != pos.material[colour]) return "material";
        if (SumPieceSquare(pos, colour) != pos.pstSum[colour]) return "pstSum";
    }
    if (pos.xside != (pos.side ^ 1)) return "xside";
    if (ComputeKey(pos) != pos.key) return "key";
    if (ComputePawnKey(pos) != pos.pawnKey) return "pawnKey";
    return nullptr;
}

}  // namespace brinz
