#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/engine_process.h"

namespace brinz {
namespace {

using support::EngineProcess;

// Sends "eval" and returns every line up to and including "Evaluation: ...".
std::vector<std::string> Eval(EngineProcess& engine) {
    engine.send("eval");
    return engine.readUntil("Evaluation:");
}

bool HasLineStarting(const std::vector<std::string>& lines, const std::string& prefix) {
    for (const std::string& line : lines)
        if (line.rfind(prefix, 0) == 0) return true;
    return false;
}

struct EvalCase {
    const char* name;
    const char* position;  // the text after "position "
    const char* answer;    // the final line
};

const EvalCase EvalCases[] = {
    // The side-to-move bonus, 40/256 of a pawn, from White's point of view.
    {"StartPosition", "startpos", "Evaluation: 15"},
    {"StartPositionBlackToMove", "fen rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR b KQkq - 0 1", "Evaluation: -15"},
    // A runaway pawn, white or black to move: still good for White.
    {"RunawayPawn", "fen 7k/8/8/P7/8/8/8/4K3 w - - 0 1", "Evaluation: 753"},
    {"RunawayPawnBlackToMove", "fen 7k/8/8/P7/8/8/8/4K3 b - - 0 1", "Evaluation: 746"},
    {"BlackRunawayPawn", "fen 4k3/8/8/8/p7/8/8/7K b - - 0 1", "Evaluation: -753"},
};

class EvalCommandTest : public testing::TestWithParam<EvalCase> {};

TEST_P(EvalCommandTest, PrintsTheBreakdownAndTheScore) {
    EngineProcess engine;
    engine.send(std::string("position ") + GetParam().position);
    std::vector<std::string> lines = Eval(engine);
    ASSERT_FALSE(lines.empty()) << "no Evaluation line";
    EXPECT_EQ(lines.back(), GetParam().answer);
    for (const char* term : {"Material", "Piece-square", "Pawn structure", "Passed pawns", "Mobility",
                             "King safety", "Other pieces", "Phase:", "Scale:"})
        EXPECT_TRUE(HasLineStarting(lines, term)) << term;
}

INSTANTIATE_TEST_SUITE_P(Uci, EvalCommandTest, testing::ValuesIn(EvalCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(EvalCommand, ChangesNoState) {
    EngineProcess engine;
    engine.send("position fen 4k3/8/8/3q4/8/8/PPP5/R3K3 w Q - 0 1");
    std::vector<std::string> first = Eval(engine);
    ASSERT_FALSE(first.empty());
    std::vector<std::string> second = Eval(engine);
    EXPECT_EQ(first, second);
    // A refused FEN keeps the position the command reads.
    engine.send("position fen not a fen");
    std::vector<std::string> expected{"Error FEN"};
    expected.insert(expected.end(), first.begin(), first.end());
    EXPECT_EQ(Eval(engine), expected);
    engine.send("isready");
    EXPECT_FALSE(engine.readUntil("readyok").empty());
}

// The first number of the line starting with `term` (White's middle-game value), or of
// "Evaluation:".
double FirstValue(const std::vector<std::string>& lines, const std::string& term) {
    for (const std::string& line : lines)
        if (line.rfind(term, 0) == 0) return std::stod(line.substr(term.size()));
    ADD_FAILURE() << "no line " << term;
    return 0;
}

double ValueFor(EngineProcess& engine, const std::string& fen, const std::string& term) {
    engine.send("position fen " + fen);
    return FirstValue(Eval(engine), term);
}

// Pairs of positions that differ only in the feature an evaluation rule is about.
TEST(EvalCommand, RulesReadTheirFeatureTheRightWayRound) {
    EngineProcess engine;
    // Kings on opposite wings, White's on g1: pawns advanced against Black's king on c8
    // are White's storm; pawns pushed in front of its own king are not.
    const std::string base = "2kr1b1r/ppp2ppp/2n1bn2/8/8/2N1BN2/PPP1BPPP/3R1RK1 w - - 0 1";
    const double storm = ValueFor(engine, base, "Pawn storm");
    EXPECT_EQ(ValueFor(engine, "2kr1b1r/ppp2ppp/2n1bn2/8/6P1/2N1BN2/PPP1BP1P/3R1RK1 w - - 0 1", "Pawn storm"), storm)
        << "g2-g4 opens White's own king";
    EXPECT_GT(ValueFor(engine, "2kr1b1r/ppp2ppp/2n1bn2/8/1P6/2N1BN2/P1P1BPPP/3R1RK1 w - - 0 1", "Pawn storm"), storm)
        << "b2-b4 runs at Black's king";

    // Rook and bishop against rook: the rook side keeps its chances when it has pawns.
    EXPECT_LT(ValueFor(engine, "7r/8/4k3/8/1K6/2B2ppp/8/6R1 w - - 0 1", "Evaluation:"), -200)
        << "three connected pawns with the rook win for Black";
    EXPECT_GT(ValueFor(engine, "7r/8/4k3/8/1K6/2B5/8/6R1 w - - 0 1", "Evaluation:"), 0);

    // A lone minor piece cannot win, bishop or knight; with a pawn beside it, it can.
    EXPECT_EQ(ValueFor(engine, "8/8/4k3/8/8/2B5/8/4K3 w - - 0 1", "Evaluation:"), 0);
    EXPECT_EQ(ValueFor(engine, "8/8/4k3/8/8/2N5/8/4K3 w - - 0 1", "Evaluation:"), 0);
    EXPECT_GT(ValueFor(engine, "8/8/4k3/8/8/2B5/P7/4K3 w - - 0 1", "Evaluation:"), 300);
}

// Promotions push the seventh-rank, undeveloped and poorly-placed counts past their
// tables; each reads the table's last entry and the engine answers.
TEST(EvalCommand, CountsPastTheirTables) {
    struct Case { const char* fen; const char* line; };
    const Case cases[] = {
        {"7k/RRRRRRRR/8/8/8/8/8/4K3 b - - 0 1", "White pieces: poorly placed 0, undeveloped 0, seventh rank 16"},
        {"k7/8/8/8/8/8/PPP5/NNNNKNNN w - - 0 1", "White pieces: poorly placed 4, undeveloped 14, seventh rank 0"},
        {"7k/8/8/8/4K3/8/BNRQRNB1/BBBBBBBB w - - 0 1", "White pieces: poorly placed 9, undeveloped 16, seventh rank 0"},
    };
    EngineProcess engine;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fen);
        engine.send(std::string("position fen ") + c.fen);
        std::vector<std::string> lines = Eval(engine);
        ASSERT_FALSE(lines.empty()) << "no Evaluation line";
        EXPECT_TRUE(HasLineStarting(lines, c.line)) << c.line;
    }
    engine.send("quit");
    EXPECT_EQ(engine.waitExit(), 0);
}

}  // namespace
}  // namespace brinz
