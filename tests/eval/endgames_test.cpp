#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>

#include "eval/endgames.h"
#include "eval/eval_cache.h"
#include "eval/evaluate.h"
#include "eval/pawns.h"
#include "options/options.h"
#include "support/engine_setup.h"
#include "support/tablebase_files.h"
#include "tablebases/probe.h"
#include "tablebases/registry.h"

namespace brinz {
namespace {

constexpr int Any = -1;

struct Classified {
    int selector;
    int scale[2];
};

Classified Classify(const char* fen) {
    Position pos = support::positionFromFen(fen);
    PawnEntry entry;
    ComputePawnEntry(pos, entry);
    Classified c{0, {FullScale, FullScale}};
    int score = 0;
    c.selector = endgameClassifier(pos, c.scale, entry, score, 0);
    return c;
}

// The driver's score, without the evaluation cache.
int Score(const char* fen, EvalBreakdown& terms) {
    Position pos = support::positionFromFen(fen);
    applyOptions(pos.side);
    EvalExtras extras{};
    uint8_t tablebase = 0;
    return EvaluateTerms(pos, extras, support::testPawnTable(), tablebase, terms);
}
int Score(const char* fen) {
    EvalBreakdown terms;
    return Score(fen, terms);
}

struct ClassifierCase {
    const char* name;
    const char* fen;
    int selector;
    int scaleWhite, scaleBlack;  // Any: not checked
};

const ClassifierCase ClassifierCases[] = {
    {"TwoKnightsCannotMate", "8/8/4k3/8/8/8/8/1NN1K3 w - - 0 1", ENDGAME_CONTINUE, 0, 0},
    {"BishopAndKnightMate", "8/8/4k3/8/8/8/8/1NB1K3 w - - 0 1", ENDGAME_BISHOP_KNIGHT, Any, 0},
    {"RookAgainstBareKing", "8/8/4k3/8/8/8/8/R3K3 b - - 0 1", ENDGAME_BARE_KING, Any, 0},
    {"TwoBishopsAgainstBareKing", "8/8/4k3/8/8/8/8/2B1KB2 w - - 0 1", ENDGAME_BARE_KING, Any, 0},
    {"QueenAgainstRook", "8/8/4k3/8/8/3r4/8/Q3K3 b - - 0 1", ENDGAME_QUEEN_ROOK, Any, Any},
    {"RookAgainstPawn", "8/8/8/8/8/2k5/p7/4K2R w - - 0 1", ENDGAME_ROOK_PAWN, Any, Any},
    {"RookAndPawnAgainstRook", "r1k5/8/8/4P3/4K3/8/8/7R w - - 0 1", ENDGAME_ROOK_PAWN_ROOK, Any, Any},
    {"RookAgainstKnight", "8/8/4k3/3n4/8/8/8/R3K3 w - - 0 1", ENDGAME_ROOK_KNIGHT, Any, Any},
    {"RookAgainstBishop", "8/8/4k3/3b4/8/8/8/R3K3 w - - 0 1", ENDGAME_ROOK_BISHOP, Any, Any},
    // The same material sums made of pawns pick no evaluator.
    {"SixPawnsAgainstFive", "4k3/ppppp3/8/8/8/8/PPPPPP2/4K3 w - - 0 1", ENDGAME_CONTINUE, FullScale, FullScale},
    {"FivePawnsAgainstOne", "4k3/p7/8/8/8/8/1PPPPP2/4K3 w - - 0 1", ENDGAME_CONTINUE, FullScale, FullScale},
    {"RookAndFivePawnsAgainstRook", "r3k3/8/8/8/8/8/PPPPP3/4K2R w - - 0 1", ENDGAME_CONTINUE, FullScale, FullScale},
    {"FivePawnsAgainstKnight", "4k3/8/3n4/8/8/8/PPPPP3/4K3 w - - 0 1", ENDGAME_CONTINUE, FullScale, 0},
    // A rook pawn whose corner the bishop does not cover, the defending king in front.
    {"WrongBishopRookPawn", "1k6/8/8/P7/8/8/8/2B1K3 w - - 0 1", ENDGAME_CONTINUE, 0, 0},
    {"RightBishopRookPawn", "1k6/8/8/P7/8/8/8/3BK3 w - - 0 1", ENDGAME_CONTINUE, FullScale, 0},
    {"WrongBishopKingOutOfReach", "8/8/8/P7/8/8/8/2B1K1k1 w - - 0 1", ENDGAME_CONTINUE, FullScale, 0},
    {"DoubledRookPawnsHeld", "k7/8/P7/P7/8/8/8/4K3 w - - 0 1", ENDGAME_CONTINUE, 0, 0},
    // A lone bishop cannot win, as a lone knight cannot.
    {"LoneBishopAgainstPawn", "8/8/4k3/8/8/8/p7/2B1K3 w - - 0 1", ENDGAME_CONTINUE, 0, FullScale},
    // Rook and two pawns against rook and pawn, no passer, the king in front: by the rank.
    {"RookTwoPawnsFifthRank", "8/4k3/5p2/5P2/4P3/8/r7/4K2R w - - 0 1", ENDGAME_CONTINUE, 70, FullScale},
    {"RookTwoPawnsFourthRank", "8/4k3/8/5p2/4PP2/8/r7/4K2R w - - 0 1", ENDGAME_CONTINUE, 40, FullScale},
    {"SevenPawnsAgainstSix", "6k1/pppppp2/8/8/8/8/PPPPPPP1/4K3 w - - 0 1", ENDGAME_CONTINUE, FullScale, FullScale},
    {"RookAgainstRook", "8/8/4k3/8/8/2r5/8/R3K3 w - - 0 1", ENDGAME_CONTINUE, 0, 0},
    {"RookAgainstFivePawns", "4k3/ppppp3/8/8/8/8/8/R3K3 w - - 0 1", ENDGAME_CONTINUE, 0, FullScale},
    {"RookAndBishopAgainstRook", "8/8/4k3/8/8/2r5/8/R1B1K3 w - - 0 1", ENDGAME_CONTINUE, 32, 0},
    {"KnightAgainstBishopAndPawn", "8/p7/4k3/8/8/2b5/8/1N2K3 w - - 0 1", ENDGAME_CONTINUE, 0, FullScale},
    // Bishop and pawn against bishops of the other colour, the defending king in front.
    // (Black's lone bishop cannot win either.)
    {"OppositeBishopsKingInFront", "8/8/3k4/8/3P4/8/8/2b1KB2 w - - 0 1", ENDGAME_CONTINUE, 0, 0},
    // Queen against rook and pawn: the rook on the pawn's diagonal in front of its king.
    {"QueenAgainstRookFortress", "5k2/5p2/4r3/8/3K4/8/2Q5/8 w - - 0 1", ENDGAME_CONTINUE, 0, FullScale},
};

class ClassifierTest : public testing::TestWithParam<ClassifierCase> {};

TEST_P(ClassifierTest, SelectorAndScales) {
    const ClassifierCase& c = GetParam();
    Classified got = Classify(c.fen);
    EXPECT_EQ(got.selector, c.selector);
    if (c.scaleWhite != Any) {
        EXPECT_EQ(got.scale[WHITE], c.scaleWhite);
    }
    if (c.scaleBlack != Any) {
        EXPECT_EQ(got.scale[BLACK], c.scaleBlack);
    }
}

INSTANTIATE_TEST_SUITE_P(Eval, ClassifierTest, testing::ValuesIn(ClassifierCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Endgames, DriverUsesTheEvaluatorsAndScales) {
    EvalBreakdown terms;
    // Queen against rook: the queen's side is ahead whichever side is to move.
    EXPECT_LT(Score("8/8/4k3/8/8/3r4/8/Q3K3 b - - 0 1", terms), 0);
    EXPECT_EQ(terms.source, SOURCE_ENDGAME);
    EXPECT_GT(Score("8/8/4k3/8/8/3r4/8/Q3K3 w - - 0 1"), 0);
    // Two knights: both scales 0, a draw without further ado.
    EXPECT_EQ(Score("8/8/4k3/8/8/8/8/1NN1K3 w - - 0 1", terms), 0);
    EXPECT_EQ(terms.source, SOURCE_NO_WINNER);
    EXPECT_EQ(Score("8/8/4k3/8/8/2r5/8/R3K3 w - - 0 1"), 0);
}

TEST(Endgames, BishopAndKnightDriveToTheBishopsCorner) {
    // The same men, the bare king in the corner the bishop covers or in the other one.
    struct Pair { const char* right; const char* wrong; int strong; };
    const Pair pairs[] = {
        {"8/8/8/8/3K4/8/3B4/k2N4 w - - 0 1", "k7/8/8/8/3K4/8/3B4/3N4 w - - 0 1", WHITE},  // dark bishop: a1
        {"k7/8/8/8/3K4/8/4B3/3N4 w - - 0 1", "8/8/8/8/3K4/8/4B3/k2N4 w - - 0 1", WHITE},  // light bishop: a8
        {"k7/8/8/8/3K4/8/4B3/3N4 b - - 0 1", "8/8/8/8/3K4/8/4B3/k2N4 b - - 0 1", WHITE},  // the bare king to move
        {"8/8/8/8/3k4/8/3b4/K2n4 b - - 0 1", "K7/8/8/8/3k4/8/3b4/3n4 b - - 0 1", BLACK},
    };
    for (const Pair& p : pairs) {
        SCOPED_TRACE(p.right);
        EvalBreakdown terms;
        const int right = Score(p.right, terms);
        EXPECT_EQ(terms.source, SOURCE_ENDGAME);
        const int sign = support::positionFromFen(p.right).side == p.strong ? 1 : -1;
        EXPECT_GT(sign * right, sign * Score(p.wrong));
    }
}

TEST(Endgames, RookEndingsByTheBook) {
    // Rook against pawn: the rook's king in front of the pawn wins; a pawn on its second rank
    // with its king beside it and the other king far away is worth little more than a draw.
    EXPECT_GT(Score("7R/8/4k3/p7/8/8/K7/8 w - - 0 1"), 1000);
    EXPECT_LT(Score("K7/8/8/8/8/8/1kp4R/8 w - - 0 1"), 400);
    // Rook and pawn against rook: the defence on the sixth rank holds; the pawn on the seventh
    // with the rook behind it and the defending king cut off wins.
    EXPECT_EQ(Score("4k3/8/r7/4P3/4K3/8/8/R7 w - - 0 1"), 0);
    EXPECT_GT(Score("r7/3P4/2K5/8/8/7k/8/3R4 w - - 0 1"), 1000);
}

// The colour-reversed twin, and the twin reflected across the d/e line.
std::string ReverseColours(const std::string& fen) {
    std::string board = fen.substr(0, fen.find(' ')), rest = fen.substr(fen.find(' '));
    std::string out;
    size_t end = board.size();
    for (;;) {
        size_t start = board.rfind('/', end - 1);
        std::string rank = board.substr(start == std::string::npos ? 0 : start + 1,
                                        end - (start == std::string::npos ? 0 : start + 1));
        for (char& ch : rank) ch = char(std::isupper(static_cast<unsigned char>(ch)) ? std::tolower(ch) : std::toupper(ch));
        out += rank;
        if (start == std::string::npos) break;
        out += '/';
        end = start;
    }
    rest[1] = rest[1] == 'w' ? 'b' : 'w';
    return out + rest;
}
std::string ReflectFiles(const std::string& fen) {
    std::string board = fen.substr(0, fen.find(' ')), out, rank;
    for (char ch : board + "/") {
        if (ch != '/') {
            rank += ch;
            continue;
        }
        std::reverse(rank.begin(), rank.end());
        out += rank + "/";
        rank.clear();
    }
    out.pop_back();
    return out + fen.substr(fen.find(' '));
}

TEST(Endgames, EvaluatorsAgreeOnReflectedTwins) {
    int evaluated = 0;
    for (const ClassifierCase& c : ClassifierCases) {
        EvalBreakdown terms;
        const int score = Score(c.fen, terms);
        if (terms.source != SOURCE_ENDGAME) continue;
        ++evaluated;
        for (const std::string& twin : {ReverseColours(c.fen), ReflectFiles(c.fen)}) {
            SCOPED_TRACE(std::string(c.fen) + "  |  " + twin);
            EvalBreakdown twinTerms;
            EXPECT_EQ(Score(twin.c_str(), twinTerms), score);
            EXPECT_EQ(twinTerms.source, SOURCE_ENDGAME);
        }
    }
    EXPECT_GE(evaluated, 7);
}

class TablebaseFirst : public testing::Test {
protected:
    void SetUp() override {
        support::initialiseTables();
        if (support::threeManTables().plain.empty()) GTEST_SKIP() << support::threeManTables().reason;
        ASSERT_EQ(initTablebases(1, support::threeManTables().plain.c_str()), 3);
    }
    void TearDown() override { initTablebases(1, ""); }
};

TEST_F(TablebaseFirst, AHitTakesPrecedenceWheneverTheMaterialIsCovered) {
    struct Case { const char* fen; bool covered; };
    const Case cases[] = {
        {"8/8/4k3/8/8/8/8/R3K3 w - - 0 1", true},    // instead of the bare-king evaluator
        {"8/8/4k3/8/8/8/8/3QK3 b - - 0 1", true},
        {"8/8/4k3/8/8/8/8/1N2K3 w - - 0 1", true},   // instead of the lone-knight scale
        {"8/8/4k3/8/8/8/4P3/4K3 w - - 0 1", true},
        {"8/8/4k3/3n4/8/8/8/R3K3 w - - 0 1", false},  // four men: the rook-knight evaluator
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fen);
        Position pos = support::positionFromFen(c.fen);
        RootPosition = pos;
        EvalBreakdown terms;
        EvalExtras extras{};
        uint8_t flag = 0;
        const int score = EvaluateTerms(pos, extras, support::testPawnTable(), flag, terms);
        EXPECT_EQ(flag, c.covered ? 1 : 0);
        EXPECT_EQ(terms.source, c.covered ? SOURCE_TABLEBASE : SOURCE_ENDGAME);
        if (c.covered) {
            EXPECT_EQ(score, tableValueToScore(lookupTableValue(pos), 0));
        }
    }
}

TEST_F(TablebaseFirst, ScoresCountFromTheRootAndAreNotCached) {
    ASSERT_TRUE(ConfigureEvalCache(true, 1));
    Position pos = support::positionFromFen("8/8/4k3/8/8/8/8/R3K3 w - - 0 1");
    const int value = lookupTableValue(pos);
    ASSERT_GT(value, 0);
    for (int ply : {0, 3}) {
        SCOPED_TRACE(ply);
        EvalExtras extras{};
        uint8_t flag = 0;
        EXPECT_EQ(Evaluate(pos, extras, support::testPawnTable(), flag, ply), tableValueToScore(value, ply));
        EXPECT_EQ(flag, 1);
        int cached;
        EXPECT_FALSE(ProbeEvalCache(pos, cached, extras));
    }
}

}  // namespace
}  // namespace brinz
