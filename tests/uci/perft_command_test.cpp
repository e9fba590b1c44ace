#include "uci/perft_command.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "board/perft.h"
#include "support/engine_process.h"
#include "support/engine_setup.h"

namespace brinz {
namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

std::vector<std::string> Exchange(support::EngineProcess& engine, const std::vector<std::string>& commands) {
    for (const std::string& command : commands) engine.send(command);
    engine.send("isready");
    std::vector<std::string> output = engine.readUntil("readyok", 60000);
    EXPECT_FALSE(output.empty()) << "no readyok";
    if (!output.empty()) output.pop_back();
    return output;
}

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
    EXPECT_EQ(Exchange(engine, {"position startpos", "perft 0"}), std::vector<std::string>{"Nodes searched: 1"});
}

TEST(PerftCommandTest, SplitsByRootMoveInGenerationOrder) {
    std::vector<std::string> expected = {"g1h3: 1", "g1f3: 1", "b1c3: 1", "b1a3: 1", "h2h3: 1", "h2h4: 1",
                                         "g2g3: 1", "g2g4: 1", "f2f3: 1", "f2f4: 1", "e2e3: 1", "e2e4: 1",
                                         "d2d3: 1", "d2d4: 1", "c2c3: 1", "c2c4: 1", "b2b3: 1", "b2b4: 1",
                                         "a2a3: 1", "a2a4: 1", "",        "Nodes searched: 20"};
    support::EngineProcess engine;
    EXPECT_EQ(Exchange(engine, {"position startpos", "perft 1"}), expected);
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
    std::vector<std::string> expected = Lines(PerftDivide(pos, GetParam().depth));
    support::EngineProcess engine;
    EXPECT_EQ(Exchange(engine, {std::string("position fen ") + GetParam().fen,
                                "perft " + std::to_string(GetParam().depth)}),
              expected);
}

INSTANTIATE_TEST_SUITE_P(Uci, PerftCommandCaseTest, testing::ValuesIn(CommandCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PerftCommandTest, BadDepthsPrintNothing) {
    support::EngineProcess engine;
    EXPECT_EQ(Exchange(engine, {"position startpos", "perft", "perft -1", "perft x", "perft 2x", "perft -"}),
              std::vector<std::string>{});
}

TEST(PerftCommandTest, LeavesTheRootPositionAlone) {
    support::EngineProcess engine;
    std::vector<std::string> output =
        Exchange(engine, {"position startpos moves e2e4", "perft 3", "position moves e7e5", "perft 1"});
    ASSERT_FALSE(output.empty());
    EXPECT_EQ(output.back(), "Nodes searched: 29");
}

TEST(PerftCommandTest, HugeDepthOnAMatedPositionEndsAtOnce) {
    support::EngineProcess engine;
    EXPECT_EQ(Exchange(engine, {"position fen R5k1/5ppp/8/8/8/8/8/6K1 b - - 0 1", "PERFT 99999999999999999999"}),
              (std::vector<std::string>{"", "Nodes searched: 0"}));
}

}  // namespace
}  // namespace brinz
