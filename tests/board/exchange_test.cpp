#include "board/exchange.h"

#include <string>

#include <gtest/gtest.h>

#include "support/engine_setup.h"

namespace brinz {
namespace {

int Square(const char* name) { return (name[0] - 'a') + 16 * (name[1] - '1'); }

struct ExchangeCase {
    const char* name;
    const char* fen;
    const char* target;
    const char* origin;
    int gain;
};

const ExchangeCase ExchangeCases[] = {
    {"PawnTakesUndefendedKnight", "4k3/8/8/3n4/4P3/8/8/4K3 w - - 0 1", "d5", "e4", 832},
    {"QueenTakesPawnDefendedByPawn", "4k3/8/2p5/3p4/8/8/8/3QK3 w - - 0 1", "d5", "d1", 256 - 2560},
    {"RookTakesRookWithSecondRookBehind", "3r2k1/8/8/3r4/8/8/3R4/3R2K1 w - - 0 1", "d5", "d2", 1280},
    {"BlackRookTakesRookWithSecondRookBehind", "3r2k1/3r4/8/8/3R4/8/8/3R2K1 b - - 0 1", "d4", "d7", 1280},
    {"PawnToSquareAttackedByKnight", "4k3/8/8/8/2n5/8/4P3/4K3 w - - 0 1", "e3", "e2", -256},
    {"PawnToSquareAttackedByKnightDefendedByPawn", "4k3/8/8/8/2n5/8/4PP2/4K3 w - - 0 1", "e3", "e2", 0},
    {"KingTakesDefendedPawn", "4k3/8/8/8/8/5b2/4p3/4K3 w - - 0 1", "e2", "e1", 256 - 4096},
    {"LeastValuableDefenderFirstThenXrayQueen", "4r1k1/8/3p4/4p3/8/8/4R3/4Q1K1 w - - 0 1", "e5", "e2", 256 - 1280},
    {"EmptySquareNobodyAttacks", "4k3/8/8/8/8/8/8/4K3 w - - 0 1", "e2", "e1", 0},
};

class ExchangeTest : public testing::TestWithParam<ExchangeCase> {};

TEST_P(ExchangeTest, GainOfTheMovingSide) {
    const ExchangeCase& c = GetParam();
    Position pos = support::positionFromFen(c.fen);
    EXPECT_EQ(StaticExchange(pos, Square(c.target), Square(c.origin)), c.gain);
}

INSTANTIATE_TEST_SUITE_P(Board, ExchangeTest, testing::ValuesIn(ExchangeCases),
                         [](const auto& info) { return std::string(info.param.name); });

struct ThreatCase {
    const char* name;
    const char* fen;
    int colour;
    int margin;
    bool threat;
};

const ThreatCase ThreatCases[] = {
    {"PawnOnSeventhAnyMargin", "4k3/P7/8/8/8/8/8/4K3 w - - 0 1", WHITE, 1000000, true},
    {"BlackPawnOnSeventh", "4k3/8/8/8/8/8/p7/4K3 b - - 0 1", BLACK, 1000000, true},
    {"MarginBelowOne", "4k3/8/8/8/8/8/8/4K3 w - - 0 1", WHITE, 0, true},
    {"NothingToTake", "4k3/8/8/8/8/8/8/4K3 w - - 0 1", WHITE, 1, false},
    {"KnightWinsUndefendedRook", "4k3/8/8/3r4/8/4N3/8/4K3 w - - 0 1", WHITE, 1280, true},
    {"RookWorthLessThanTheMargin", "4k3/8/8/3r4/8/4N3/8/4K3 w - - 0 1", WHITE, 1281, false},
    {"KnightTradeWinsNothing", "4k3/8/2p5/3n4/8/4N3/8/4K3 w - - 0 1", WHITE, 1, false},
    {"PawnTakesDefendedRook", "4k3/8/2p5/3r4/4P3/8/8/4K3 w - - 0 1", WHITE, 1024, true},
    {"BishopSeesOnlyTheFirstPiece", "4k3/8/8/3r4/8/1N6/B7/4K3 w - - 0 1", WHITE, 1, false},
    {"QueenWinsUndefendedRook", "4k3/8/8/3r4/8/8/8/3QK3 w - - 0 1", WHITE, 1280, true},
    {"QueenGainsNothingFromDefendedRook", "4k3/3r4/8/3r4/8/8/8/3QK3 w - - 0 1", WHITE, 1, false},
    {"KingTakesUndefendedKnight", "4k3/8/8/8/8/8/3n4/4K3 w - - 0 1", WHITE, 832, true},
    {"KingLeavesDefendedKnight", "4k3/8/8/8/8/2p5/3n4/4K3 w - - 0 1", WHITE, 832, false},
};

class ThreatTest : public testing::TestWithParam<ThreatCase> {};

TEST_P(ThreatTest, FindsCapturesWorthTheMargin) {
    const ThreatCase& c = GetParam();
    Position pos = support::positionFromFen(c.fen);
    EXPECT_EQ(HasCaptureThreat(pos, c.colour, c.margin), c.threat);
}

INSTANTIATE_TEST_SUITE_P(Board, ThreatTest, testing::ValuesIn(ThreatCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace brinz
