#include "uci/perft_command.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "board/perft.h"
#include "support/engine_process.h"
#include "support/engine_setup.h"

namespace brinz {
namespace {

using support::commandOutput;
using support::splitLines;

// Deep perft runs take a while in the sanitizer builds.
constexpr int PerftTimeoutMs = 60000;

TEST(PerftDepthTest, ReadsDigitsAndCapsTheDepth) {
    struct Case {
        const char* text;
        bool accepted;
        int depth;
    };
    const Case cases[] = {
        {"3", true, 3},          {" 7\n", true, 7},       {"0", true, 0},
        {"20", true, 20},        {"21", true, 20},        {"99999999999999999999999", true, 20},
        {"", false, 0},          {"\n", false, 0},        {"-1", false, 0},
        {"x", false, 0},         {"3x", false, 0},        {"+3", false, 0},
        {"3 4", false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        int depth = -5;
        EXPECT_EQ(parsePerftDepth(c.text, depth), c.accepted);
        EXPECT_EQ(depth, c.accepted ? c.depth : -5);
    }
}

TEST(PerftCommandTest, DepthZeroPrintsOnlyTheTotal) {
    support::EngineProcess engine;
    EXPECT_EQ(commandOutput(engine, {"position startpos", "perft 0"}, PerftTimeoutMs),
              std::vector<std::string>{"Nodes searched: 1"});
}

TEST(PerftCommandTest, SplitsByRootMoveInGenerationOrder) {
    std::vector<std::string> expected = {"g1h3: 1", "g1f3: 1", "b1c3: 1", "b1a3: 1", "h2h3: 1", "h2h4: 1",
                                         "g2g3: 1", "g2g4: 1", "f2f3: 1", "f2f4: 1", "e2e3: 1", "e2e4: 1",
                                         "d2d3: 1", "d2d4: 1", "c2c3: 1", "c2c4: 1", "b2b3: 1", "b2b4: 1",
                                         "a2a3: 1", "a2a4: 1", "",        "Nodes searched: 20"};
    support::EngineProcess engine;
    EXPECT_EQ(commandOutput(engine, {"position startpos", "perft 1"}, PerftTimeoutMs), expected);
}

struct CommandCase {
    const char* name;
    const char* fen;
    int depth;
};

const CommandCase CommandCases[] = {
    {"Kiwipete", "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1", 3},
    {"InCheckUsesEvasions", "7k/8/8/1Pp5/3K4/8/8/8 w - c6 0 1", 3},
    {"Chess960", "1rk4r/pppppppp/8/8/8/8/1PPPPPPP/qRK4R w HBhb - 0 1", 2},
};

class PerftCommandCaseTest : public testing::TestWithParam<CommandCase> {};

TEST_P(PerftCommandCaseTest, PrintsWhatPerftDivideComputes) {
    Position pos = support::positionFromFen(GetParam().fen);
    std::vector<std::string> expected = splitLines(PerftDivide(pos, GetParam().depth));
    support::EngineProcess engine;
    EXPECT_EQ(commandOutput(engine, {std::string("position fen ") + GetParam().fen,
                                "perft " + std::to_string(GetParam().depth)}, PerftTimeoutMs),
              expected);
}

INSTANTIATE_TEST_SUITE_P(Uci, PerftCommandCaseTest, testing::ValuesIn(CommandCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A missing or bad depth once printed nothing at all.
TEST(PerftCommandTest, BadDepthsPrintTheUsage) {
    support::EngineProcess engine;
    EXPECT_EQ(commandOutput(engine, {"position startpos", "perft", "perft -1", "perft abc", "perft 2x", "perft -"},
                            PerftTimeoutMs),
              std::vector<std::string>(5, "usage: perft N, N the depth from 0 to 20"));
}

TEST(PerftCommandTest, LeavesTheRootPositionAlone) {
    support::EngineProcess engine;
    std::vector<std::string> output = commandOutput(
        engine, {"position startpos moves e2e4", "perft 3", "position moves e7e5", "perft 1"}, PerftTimeoutMs);
    ASSERT_FALSE(output.empty());
    EXPECT_EQ(output.back(), "Nodes searched: 29");
}

TEST(PerftCommandTest, HugeDepthOnAMatedPositionEndsAtOnce) {
    support::EngineProcess engine;
    EXPECT_EQ(commandOutput(engine, {"position fen R5k1/5ppp/8/8/8/8/8/6K1 b - - 0 1", "PERFT 99999999999999999999"},
                            PerftTimeoutMs),
              (std::vector<std::string>{"", "Nodes searched: 0"}));
}

}  // namespace
}  // namespace brinz
