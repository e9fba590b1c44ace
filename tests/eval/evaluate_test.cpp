#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "eval/evaluate.h"
#include "eval/pawns.h"
#include "options/options.h"
#include "support/engine_setup.h"
#include "support/mirror.h"

namespace brinz {
namespace {

struct Evaluation {
    int score;
    EvalBreakdown terms;
    EvalExtras extras;
};

// Evaluates with the weights a search of this position would use.
Evaluation EvaluateFen(const std::string& fen) {
    Position pos = support::positionFromFen(fen.c_str());
    applyOptions(pos.side);
    Evaluation e{};
    uint8_t tablebase = 1;
    e.score = EvaluateTerms(pos, e.extras, support::testPawnTable(), tablebase, e.terms);
    EXPECT_EQ(tablebase, 0);
    EvalExtras extras{};
    EXPECT_EQ(Evaluate(pos, extras, support::testPawnTable(), tablebase), e.score) << "cached pawn entry, same score";
    return e;
}

TEST(Evaluate, StartPositionIsTheSideToMoveBonus) {
    // Only the middle game counts and every symmetric term cancels.
    EXPECT_EQ(EvaluateFen(StartFen).score, 40);
    EXPECT_EQ(EvaluateFen("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR b KQkq - 0 1").score, 40);
    EXPECT_EQ(EvaluateFen(StartFen).terms.npmTotal, 16960);
}

TEST(Evaluate, KingAndPawnAgainstKingByHand) {
    // Material and piece-square 246; the endgame swaps the king rows: 246 + 12 + 10 = 268.
    // The isolated a-pawn costs 7 at weight 192; the runaway pawn is worth 100 + 17 * 64.
    Evaluation e = EvaluateFen("7k/8/8/P7/8/8/8/4K3 w - - 0 1");
    EXPECT_EQ(e.terms.total[TERM_PAWN_STRUCTURE][MG], -7 * 192 / 128);
    EXPECT_EQ(e.terms.total[TERM_PASSED_PAWNS][EG], 1188 * 179 / 128);
    EXPECT_EQ(e.terms.mg, 246 - 10 + 1188 + 40);
    EXPECT_EQ(e.terms.eg, 268 - 10 + 1661);
    EXPECT_EQ(e.terms.egScaled, 1919 + 10);
    EXPECT_EQ(e.score, 1928);  // no pieces: the endgame alone, rounded down to a multiple of 4
}

TEST(Evaluate, PawnlessSideKeepsLittleOfItsEdge) {
    // Queen and knight against queen and pawn: no pawns, at most 3408, a knight ahead in pieces.
    Evaluation e = EvaluateFen("3qk3/p7/8/8/8/8/8/3QK1N1 w - - 0 1");
    EXPECT_EQ(e.terms.scale[WHITE], 48);
    EXPECT_EQ(e.terms.scale[BLACK], 128);
    ASSERT_GT(e.terms.eg + 10, 0);
    EXPECT_EQ(e.terms.egScaled, (e.terms.eg + 10) * 48 / 128);
    EXPECT_EQ(e.score, e.terms.egScaled & ~3);  // 5952 of pieces: the endgame alone counts

    // The same against queen and four pawns.
    e = EvaluateFen("3qk3/pppp4/8/8/8/8/8/3QK1N1 w - - 0 1");
    EXPECT_EQ(e.terms.scale[WHITE], 48);
    // A rook more in pieces is too much to call it drawish.
    EXPECT_EQ(EvaluateFen("3qk3/p7/8/8/8/8/8/2RQK3 w - - 0 1").terms.scale[WHITE], 128);
}

TEST(Evaluate, OppositeColouredBishops) {
    struct Case { const char* fen; int scale; };
    const Case cases[] = {
        {"4k3/5p2/3b2p1/8/8/1P3B2/P4P2/4K3 w - - 0 1", 64},     // the bishops alone
        {"4k3/5p2/3b2p1/8/2n5/1P3B2/P4PN1/4K3 w - - 0 1", 96},  // with a knight each
        {"4k3/5p2/2b3p1/8/8/1P3B2/P4P2/4K3 w - - 0 1", 128},    // same colour
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fen);
        Evaluation e = EvaluateFen(c.fen);
        EXPECT_EQ(e.terms.scale[WHITE], c.scale);
        EXPECT_EQ(e.terms.scale[BLACK], c.scale);
    }
}

TEST(Evaluate, CountsPastTheirTablesEvaluate) {
    // Eight rooks on the seventh, seven knights at home, eight boxed bishops: each count
    // reads its table's last entry.
    Evaluation rooks = EvaluateFen("7k/RRRRRRRR/8/8/8/8/8/4K3 b - - 0 1");
    EXPECT_EQ(rooks.terms.pieces[WHITE].seventh, 16);
    Evaluation knights = EvaluateFen("k7/8/8/8/8/8/PPP5/NNNNKNNN w - - 0 1");
    EXPECT_EQ(knights.terms.byColour[TERM_DEVELOPMENT][WHITE][MG], -110);
    Evaluation bishops = EvaluateFen("7k/8/8/8/4K3/8/BNRQRNB1/BBBBBBBB w - - 0 1");
    EXPECT_GE(bishops.terms.pieces[WHITE].badPieces, 8);
}

std::vector<std::string> EpdFens(const char* name) {
    std::vector<std::string> fens;
    std::ifstream file(std::string(BRINZ_TEST_DATA) + "/" + name);
    for (std::string line; std::getline(file, line);) {
        std::istringstream in(line);
        std::string fields[4];
        in >> fields[0] >> fields[1] >> fields[2] >> fields[3];
        if (!fields[3].empty()) fens.push_back(fields[0] + " " + fields[1] + " " + fields[2] + " " + fields[3]);
    }
    return fens;
}

// Random placements of varied material, fixed seed: endgames and middlegames with
// passed pawns, pawn storms and exposed kings that the test suites rarely show.
std::vector<std::string> RandomFens(int count) {
    support::initialiseTables();  // the legality filter below needs the attack tables
    std::mt19937 random(20260101);
    std::vector<std::string> fens;
    const char* letters = "PNBRQ";
    while (int(fens.size()) < count) {
        char board[64];
        std::fill(board, board + 64, '.');
        int wk = random() % 64, bk = random() % 64;
        if (std::abs(wk % 8 - bk % 8) <= 1 && std::abs(wk / 8 - bk / 8) <= 1) continue;
        board[wk] = 'K';
        board[bk] = 'k';
        for (int colour = 0; colour < 2; ++colour) {
            const int limits[5] = {8, 2, 2, 2, 1};
            for (int type = 0; type < 5; ++type) {
                int n = random() % (limits[type] + 1);
                for (int i = 0; i < n; ++i) {
                    int sq;
                    do sq = type == 0 ? 8 + random() % 48 : random() % 64;
                    while (board[sq] != '.');
                    board[sq] = colour ? char(std::tolower(letters[type])) : letters[type];
                }
            }
        }
        std::string fen;
        for (int rank = 7; rank >= 0; --rank) {
            int empty = 0;
            for (int file = 0; file < 8; ++file) {
                char c = board[rank * 8 + file];
                if (c == '.') { ++empty; continue; }
                if (empty) fen += char('0' + empty), empty = 0;
                fen += c;
            }
            if (empty) fen += char('0' + empty);
            if (rank) fen += '/';
        }
        fen += random() % 2 ? " w - - 0 1" : " b - - 0 1";
        // The parser refuses a side not to move standing in check; such draws are dropped.
        Position pos;
        testing::internal::CaptureStdout();
        bool legal = SetPositionFromFen(pos, fen.c_str());
        testing::internal::GetCapturedStdout();
        if (legal) fens.push_back(fen);
    }
    return fens;
}

const char* const Endgames[] = {
    "8/8/8/4k3/8/8/3PK3/8 w - - 0 1",
    "8/5k2/8/3P4/8/8/8/4K3 b - - 0 1",
    "8/8/1p6/p1p1k3/P1P5/1P2K3/8/8 w - - 0 1",
    "8/8/4k3/3p4/3P4/4K3/8/8 w - - 0 1",
    "6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1",
    "4r1k1/5ppp/8/8/8/8/1P3PPP/3R2K1 b - - 0 1",
    "8/5pk1/6p1/8/8/4BPP1/6K1/8 w - - 0 1",
    "8/8/3bk3/8/3P4/4K3/8/8 w - - 0 1",
    "8/8/2n1k3/8/3P4/3NK3/8/8 b - - 0 1",
    "2r3k1/1P6/8/8/8/8/6K1/1R6 w - - 0 1",
    "8/1P6/8/8/8/8/6k1/K7 b - - 0 1",
    "8/8/8/8/1k6/8/pK6/8 w - - 0 1",
    "3q2k1/5ppp/8/8/8/8/5PPP/3Q2K1 w - - 0 1",
    "r4rk1/pp3ppp/8/3p4/3P4/8/PP3PPP/R4RK1 w - - 0 1",
    "2kr3r/ppp2ppp/8/8/8/8/PPP2PPP/2KR3R b - - 0 1",
    "6k1/8/8/8/8/8/8/4K2R w - - 0 1",
    "4k3/8/8/8/8/8/8/2B1KB2 w - - 0 1",
    "4k3/pppppppp/8/8/8/8/8/4K3 w - - 0 1",
};

// KingEndgame is indexed by the king's own square for both colours and holds 1 on h2 but 4
// on h7, so mirrored twins differ by 3 in the endgame score when a king stands on either
// square. Their endgame scores are left out of the property, and so are their final scores
// unless the middle game alone counts.
bool KingOnH2OrH7(const std::string& fen) {
    Position pos = support::positionFromFen(fen.c_str());
    for (int c = WHITE; c <= BLACK; ++c)
        if (pos.kingSquare(c) == 0x17 || pos.kingSquare(c) == 0x67) return true;
    return false;
}

TEST(Evaluate, ColourMirroredTwinsAgreeAndScoresRoundDown) {
    std::vector<std::string> fens = EpdFens("wac.epd");
    if (fens.empty()) GTEST_SKIP() << "tests/data/wac.epd is missing";
    for (const std::string& fen : EpdFens("perft.epd")) fens.push_back(fen);
    for (const char* fen : Endgames) fens.emplace_back(fen);
    for (const std::string& fen : RandomFens(300)) fens.push_back(fen);

    int compared = 0, skipped = 0, roundedDown = 0;
    for (const std::string& fen : fens) {
        std::string twin = support::mirrorFen(fen);
        SCOPED_TRACE(fen + "  |  " + twin);
        Evaluation a = EvaluateFen(fen), b = EvaluateFen(twin);

        for (const Evaluation* e : {&a, &b}) {
            if (e->terms.source == SOURCE_ENDGAME) continue;  // specialised evaluators do not round
            EXPECT_EQ(e->score % 4, 0);
            EXPECT_EQ(e->score, e->terms.unrounded & ~3);
            if (e->terms.unrounded < 0 && e->terms.unrounded % 4 != 0) ++roundedDown;
        }
        EXPECT_EQ(a.terms.mg, b.terms.mg);
        EXPECT_EQ(a.extras.kingSafety[WHITE], b.extras.kingSafety[BLACK]);
        EXPECT_EQ(a.extras.passedPawns[WHITE], b.extras.passedPawns[BLACK]);
        if (KingOnH2OrH7(fen)) {
            ++skipped;
            if (a.terms.npmTotal < PhaseMiddle) continue;
        } else {
            EXPECT_EQ(a.terms.eg, b.terms.eg);
        }
        ++compared;
        EXPECT_EQ(a.score, b.score);
    }
    EXPECT_GT(compared, 500);
    EXPECT_LT(skipped, 100);
    // Negative scores off the grid round towards minus infinity (-5 to -8).
    EXPECT_GT(roundedDown, 0);
}

TEST(Evaluate, MirroredFenExchangesColours) {
    EXPECT_EQ(support::mirrorFen("r3k2r/8/8/8/4P3/8/8/R3K2R w KQq e3 0 1"), "r3k2r/8/8/4p3/8/8/8/R3K2R b kqQ e6 0 1");
}

}  // namespace
}  // namespace brinz
