#include "board/perft.h"

#include <cctype>
#include <string>

#include <gtest/gtest.h>

#include "support/engine_setup.h"
#include "support/mirror.h"

namespace brinz {
namespace {

// Published counts. Depths stay within a few million leaves; deeper runs are in bench/.
struct PerftCase {
    const char* name;
    const char* fen;
    int depth;
    uint64_t nodes;
};

const PerftCase Cases[] = {
    {"StartPosition", "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", 5, 4865609},
    {"Kiwipete", "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1", 4, 4085603},
    {"EnPassantRankPin", "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1", 5, 674624},
    {"PromotionsAndRookCaptures", "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1", 4, 422333},
    {"PromotionsAndRookCapturesBlack", "r2q1rk1/pP1p2pp/Q4n2/bbp1p3/Np6/1B3NBn/pPPP1PPP/R3K2R b KQ - 0 1", 4,
     422333},
    {"UnderPromotionChecks", "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8", 4, 2103487},
    {"MiddleGame", "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10", 4, 3894594},
    {"Chess960RooksOnFAndH", "bqnb1rkr/pp3ppp/3ppn2/2p5/5P2/P2P4/NPP1P1PP/BQ1BNRKR w HFhf - 2 9", 4, 326672},
    {"Chess960KingB1RookA1", "rk4r1/pppppppp/8/8/8/8/PPPPPPPP/RK4R1 w GAga - 0 1", 4, 316079},
    {"Chess960KingG1RookH1", "rn4kr/pppppppp/8/8/8/8/PPPPPPPP/RN4KR w HAha - 0 1", 4, 169885},
    {"Chess960EnemyQueenBehindRookB1", "1rk4r/pppppppp/8/8/8/8/1PPPPPPP/qRK4R w HBhb - 0 1", 4, 407035},
};

std::string CaseName(const testing::TestParamInfo<PerftCase>& info) { return info.param.name; }

class PerftTest : public testing::TestWithParam<PerftCase> {};

// The split by root move is built only when a count is wrong.
TEST_P(PerftTest, MatchesPublishedCount) {
    Position pos = support::positionFromFen(GetParam().fen);
    uint64_t nodes = Perft(pos, GetParam().depth);
    EXPECT_EQ(nodes, GetParam().nodes) << PerftDivide(pos, GetParam().depth);
}

// Catches faults that only one colour's code paths have (pawn directions, castling bits).
TEST_P(PerftTest, MirroredPositionHasTheSameCount) {
    std::string fen = support::mirrorFen(GetParam().fen);
    Position pos = support::positionFromFen(fen.c_str());
    uint64_t nodes = Perft(pos, GetParam().depth);
    EXPECT_EQ(nodes, GetParam().nodes) << fen << "\n" << PerftDivide(pos, GetParam().depth);
}

INSTANTIATE_TEST_SUITE_P(Board, PerftTest, testing::ValuesIn(Cases), CaseName);

// The Chess960 arrays above in X-FEN, read in Chess960 mode: K and Q name the outermost
// rook on each side of the king. Outside that mode they name corner rooks beside a king
// on the e-file, so these rights are dropped.
const PerftCase XFenCases[] = {
    {"RooksOnFAndH", "bqnb1rkr/pp3ppp/3ppn2/2p5/5P2/P2P4/NPP1P1PP/BQ1BNRKR w KQkq - 2 9", 4, 326672},
    {"KingB1RookA1", "rk4r1/pppppppp/8/8/8/8/PPPPPPPP/RK4R1 w KQkq - 0 1", 4, 316079},
    {"KingG1RookH1", "rn4kr/pppppppp/8/8/8/8/PPPPPPPP/RN4KR w KQkq - 0 1", 4, 169885},
    {"EnemyQueenBehindRookB1", "1rk4r/pppppppp/8/8/8/8/1PPPPPPP/qRK4R w KQkq - 0 1", 4, 407035},
};

class XFenPerftTest : public testing::TestWithParam<PerftCase> {
protected:
    void TearDown() override { Chess960Castling = false; }
};

TEST_P(XFenPerftTest, MatchesTheShredderFenCountInChess960Mode) {
    Chess960Castling = true;
    Position pos = support::positionFromFen(GetParam().fen);
    EXPECT_EQ(Perft(pos, GetParam().depth), GetParam().nodes);
    std::string mirrored = support::mirrorFen(GetParam().fen);
    Position mirror = support::positionFromFen(mirrored.c_str());
    EXPECT_EQ(Perft(mirror, GetParam().depth), GetParam().nodes) << mirrored;
    Chess960Castling = false;
    Position standard = support::positionFromFen(GetParam().fen);
    EXPECT_EQ(pos.castleLost, 0);
    EXPECT_EQ(standard.castleLost, 15);
}

INSTANTIATE_TEST_SUITE_P(Board, XFenPerftTest, testing::ValuesIn(XFenCases), CaseName);

TEST(PerftDivideTest, ListsRootMovesInGenerationOrderThenTheTotal) {
    Position pos = support::positionFromFen("7k/8/8/8/8/8/8/K7 w - - 0 1");
    EXPECT_EQ(PerftDivide(pos, 2), "a1b2: 3\na1a2: 3\na1b1: 3\n\nNodes searched: 9\n");
    EXPECT_EQ(PerftDivide(pos, 0), "Nodes searched: 1\n");
}

TEST(PerftDivideTest, MatedSideHasNoMoves) {
    Position pos = support::positionFromFen("R5k1/5ppp/8/8/8/8/8/6K1 b - - 0 1");
    EXPECT_EQ(Perft(pos, 3), 0u);
    EXPECT_EQ(PerftDivide(pos, 3), "\nNodes searched: 0\n");
}

}  // namespace
}  // namespace brinz
