// Walks whole move trees and checks, at every node, what the incremental code promises:
// make keeps every derived field equal to a recomputation, unmake restores the position,
// the fast checker and legality tests agree with the slow ones, and the generators agree
// with each other.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "board/attacks.h"
#include "board/generate.h"
#include "board/keys.h"
#include "board/lines.h"
#include "board/make_move.h"
#include "move_lists.h"
#include "support/engine_setup.h"

namespace brinz {
namespace {

using test::Text;

// Name of the first field (list order aside) in which two positions differ, or "".
std::string Difference(const Position& a, const Position& b) {
    if (std::memcmp(a.boardFrame, b.boardFrame, sizeof a.boardFrame)) return "board";
    if (a.lastMove != b.lastMove) return "lastMove";
    if (a.epSquare != b.epSquare) return "epSquare";
    if (a.castleLost != b.castleLost) return "castleLost";
    if (a.fifty != b.fifty) return "fifty";
    if (a.ply != b.ply) return "ply";
    if (a.side != b.side || a.xside != b.xside) return "side";
    if (std::memcmp(a.pieceCount, b.pieceCount, sizeof a.pieceCount)) return "pieceCount";
    if (std::memcmp(a.material, b.material, sizeof a.material)) return "material";
    if (std::memcmp(a.pstSum, b.pstSum, sizeof a.pstSum)) return "pstSum";
    if (a.checkerCount != b.checkerCount || a.checkers[0] != b.checkers[0] || a.checkers[1] != b.checkers[1])
        return "checkers";
    if (a.key != b.key) return "key";
    if (a.pawnKey != b.pawnKey) return "pawnKey";
    if (std::memcmp(a.pawnFileBytes, b.pawnFileBytes, sizeof a.pawnFileBytes)) return "pawnFiles";
    if (a.occupied != b.occupied) return "occupied";
    if (std::memcmp(a.keyHistory, b.keyHistory, sizeof(uint64_t) * size_t(a.ply))) return "keyHistory";
    if (const char* lists = CheckPositionConsistency(b)) return lists;
    return "";
}

std::vector<Move> Sorted(std::vector<Move> moves) {
    std::sort(moves.begin(), moves.end());
    return moves;
}

class TreeWalker {
public:
    explicit TreeWalker(Position& pos) : pos(pos) {}

    // Checks this node, every move from it and, to `depth` more plies, its legal children.
    void visit(int depth) {
        if (!failure.empty()) return;
        checkNode();
        std::vector<Move> all = test::Generate(GenerateMoves, pos);
        std::vector<Move> captures, quietChecks, legal;
        const Position before = pos;
        for (Move move : all) {
            bool quiet = !IsCapture(move) && !MovePromotion(move) && !(move & CASTLE);
            if ((IsCapture(move) && !MovePromotion(move)) || MovePromotion(move) == QUEEN)
                captures.push_back(move);
            bool claimedCheck = GivesCheck(pos, move);
            bool claimedLegal = IsLegal(pos, move);
            UndoRecord undo;
            MakeMove(pos, undo, move);
            path.push_back(move);
            if (const char* field = CheckPositionConsistency(pos)) fail(std::string("after make: ") + field);
            checkCheckers();
            bool givesCheck = IsAttacked(pos, pos.kingSquare(pos.side), pos.xside);
            bool isLegal = !IsAttacked(pos, pos.kingSquare(pos.xside), pos.side);
            if (isLegal && depth > 0) visit(depth - 1);
            path.pop_back();
            UnmakeMove(pos, undo, move);
            if (std::string field = Difference(before, pos); !field.empty())
                fail("unmake of " + Text(move, pos) + " changed " + field);

            if (isLegal) legal.push_back(move);
            if (quiet && givesCheck) quietChecks.push_back(move);
            if (!pos.checkerCount && claimedLegal != isLegal) fail("IsLegal wrong for " + Text(move, pos));
            // Checks by a promoted piece, the castling rook or an en-passant discovery are
            // deliberately not seen; what is claimed must still be true.
            bool special = MovePromotion(move) || (move & (CASTLE | EN_PASSANT));
            if (!special && claimedCheck != givesCheck) fail("GivesCheck wrong for " + Text(move, pos));
            if (special && !(move & CASTLE) && claimedCheck && !givesCheck)
                fail("GivesCheck claims a check for " + Text(move, pos));
        }
        if (Sorted(test::Generate(GenerateCaptures, pos)) != Sorted(captures))
            fail("GenerateCaptures disagrees with GenerateMoves");
        if (Sorted(test::Generate(GenerateQuietChecks, pos)) != Sorted(quietChecks))
            fail("GenerateQuietChecks: " + test::Texts(test::Generate(GenerateQuietChecks, pos), pos) + " but expected " +
                 test::Texts(quietChecks, pos));
        if (pos.checkerCount && Sorted(test::Generate(GenerateEvasions, pos)) != Sorted(legal))
            fail("GenerateEvasions: " + test::Texts(test::Generate(GenerateEvasions, pos), pos) + " but legal are " +
                 test::Texts(legal, pos));
        if (!pos.checkerCount) checkNullMove();
    }

    std::string failure;

private:
    void fail(const std::string& what) {
        if (!failure.empty()) return;
        failure = what + " (after moves:";
        for (Move move : path) failure.append(" ").append(Text(move, pos));
        failure += ")";
    }

    void checkNode() {
        std::vector<Move> all = test::Generate(GenerateMoves, pos);
        if (all.size() > size_t(MaxMoves)) fail("more than MaxMoves moves");
        std::vector<Move> sorted = Sorted(all);
        if (std::adjacent_find(sorted.begin(), sorted.end()) != sorted.end()) fail("a move generated twice");
        if (InCheck(pos) != (pos.checkerCount != 0)) fail("InCheck disagrees with checkerCount");
        checkLines();
    }

    // What the occupancy says a slider reaches along each line, and whether the squares
    // between two squares are empty, agree with a walk on the board.
    void checkLines() {
        static constexpr uint64_t (*Attacks[8])(uint64_t, int) = {
            LineAttacks<0>, LineAttacks<1>, LineAttacks<2>, LineAttacks<3>,
            LineAttacks<4>, LineAttacks<5>, LineAttacks<6>, LineAttacks<7>};
        static constexpr int Steps[8] = {16, 1, 17, 15, -16, -1, -17, -15};
        for (int sq = 0; sq < 120; ++sq) {
            if (!OnBoard(sq)) continue;
            for (int d = 0; d < 8; ++d) {
                uint64_t walked = 0;
                for (int to = sq + Steps[d]; OnBoard(to); to += Steps[d]) {
                    walked |= SquareBit(to);
                    if (pos.board[to] != EMPTY) break;
                }
                if (Attacks[d](pos.occupied, Index64(sq)) != walked) fail("line attacks differ from a walk");
                for (int to = sq + Steps[d]; OnBoard(to); to += Steps[d])
                    if (!(SquaresBetween(sq, to, Steps[d]) & pos.occupied) != RayReaches(pos, sq, to))
                        fail("squares between differ from a walk");
            }
        }
    }

    // The checkers found from the last move equal those of a scan of every enemy piece.
    void checkCheckers() {
        std::vector<int> fast(pos.checkers, pos.checkers + pos.checkerCount), full;
        const int king = pos.kingSquare(pos.side);
        for (int sq = 0; sq < 120; ++sq)
            if (OnBoard(sq) && ColourOf(pos.board[sq]) == pos.xside && PieceAttacks(pos, pos.board[sq], sq, king))
                full.push_back(sq);
        std::sort(fast.begin(), fast.end());
        if (fast != full) fail("checkers differ from a full scan");
    }

    void checkNullMove() {
        Position before = pos;
        UndoRecord undo;
        MakeNullMove(pos, undo);
        if (const char* field = CheckPositionConsistency(pos)) fail(std::string("after null move: ") + field);
        if (pos.key != (before.key ^ SideKey ^ EnPassantKeys[Index64(before.epSquare)])) fail("null move key");
        UnmakeNullMove(pos, undo);
        if (std::string field = Difference(before, pos); !field.empty()) fail("null move unmake changed " + field);
    }

    Position& pos;
    std::vector<Move> path;
};

struct TreeCase {
    const char* name;
    const char* fen;
    int depth;  // plies below the root whose moves are all made and checked
};

const TreeCase TreeCases[] = {
    {"StartPosition", "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", 3},
    {"Kiwipete", "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1", 3},
    {"EnPassantRankPin", "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1", 4},
    {"PromotionsAndRookCaptures", "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1", 3},
    {"UnderPromotionChecks", "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8", 3},
    {"Chess960RooksOnFAndH", "bqnb1rkr/pp3ppp/3ppn2/2p5/5P2/P2P4/NPP1P1PP/BQ1BNRKR w HFhf - 2 9", 3},
    {"Chess960KingB1RookA1", "rk4r1/pppppppp/8/8/8/8/PPPPPPPP/RK4R1 w GAga - 0 1", 3},
    {"Chess960KingG1RookH1", "rn4kr/pppppppp/8/8/8/8/PPPPPPPP/RN4KR w HAha - 0 1", 3},
    {"Chess960EnemyQueenBehindRookB1", "1rk4r/pppppppp/8/8/8/8/1PPPPPPP/qRK4R w HBhb - 0 1", 3},
    {"Chess960KingF1RookG1", "1r3kr1/pppppppp/8/8/8/8/PPPPPPPP/1R3KR1 w GBgb - 0 1", 3},
    {"EnPassantAgainstCheck", "7k/8/8/1Pp5/3K4/8/8/8 w - c6 0 1", 4},
    {"PawnsAboutToPromote", "n1n5/PPPk4/8/8/8/8/4Kppp/5N1N b - - 0 1", 3},
};

class TreeConsistencyTest : public testing::TestWithParam<TreeCase> {};

TEST_P(TreeConsistencyTest, EveryNodeAgreesWithRecomputation) {
    Position pos = support::positionFromFen(GetParam().fen);
    TreeWalker walker(pos);
    walker.visit(GetParam().depth - 1);
    EXPECT_EQ(walker.failure, "");
}

INSTANTIATE_TEST_SUITE_P(Board, TreeConsistencyTest, testing::ValuesIn(TreeCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace brinz
