#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "board/move_text.h"
#include "platform/clock.h"
#include "search/search.h"
#include "support/engine_process.h"
#include "support/engine_setup.h"
#include "uci/report.h"

namespace brinz {
namespace {

using support::EngineProcess;

struct ScoreCase {
    int score;
    const char* text;
};

TEST(Reports, ScoreConversion) {
    const ScoreCase cases[] = {
        {0, "cp 0"},           {256, "cp 100"},       {100, "cp 39"},         {-1, "cp 0"},
        {-256, "cp -100"},     {29699, "cp 11601"},   {-29699, "cp -11601"},  {29700, "mate 150"},
        {29999, "mate 1"},     {29997, "mate 2"},     {29996, "mate 2"},      {-29998, "mate -1"},
        {-29996, "mate -2"},   {-29700, "mate -150"},
    };
    for (const ScoreCase& c : cases) {
        char buffer[32];
        EXPECT_STREQ(scoreText(c.score, buffer, sizeof buffer), c.text) << c.score;
    }
}

// reportPv on its own, with the search state the root would leave.
class PvLineTest : public testing::Test {
protected:
    void SetUp() override {
        support::initialiseTables();
        Position pos = support::positionFromFen("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1");
        line[0] = TextToMove(pos, "e2e4");
        line[1] = MOVE_NONE;
        beginReports();
        searchClock.startTick = tickCount();
        nodeCount.store(1234, Relaxed);
        SearchState.store(Searching, Relaxed);
    }
    void TearDown() override { SearchState.store(Idle, Relaxed); }

    static std::string print(int score, const Move* moves, int depth) {
        testing::internal::CaptureStdout();
        reportPv(score, moves, depth);
        return testing::internal::GetCapturedStdout();
    }

    Move line[4];
    const Move empty[1] = {MOVE_NONE};
};

TEST_F(PvLineTest, TextEndsWithASpaceAndStopsAtTheDepthOrTheLineEnd) {
    EXPECT_TRUE(std::regex_match(print(256, line, 5),
                                 std::regex("info depth 5 score cp 100 time \\d+ nodes 1234 (nps \\d+ )?pv e2e4 \n")));
    EXPECT_TRUE(std::regex_match(print(0, empty, 3), std::regex("info depth 3 score cp 0 time \\d+ nodes 1234 (nps \\d+ )?pv \n")));
    Move twice[3] = {line[0], line[0], MOVE_NONE};
    EXPECT_NE(print(0, twice, 1).find("pv e2e4 \n"), std::string::npos) << "at most depth moves";
    EXPECT_EQ(print(0, line, 61), "") << "no line beyond depth 60";
}

TEST_F(PvLineTest, AStoppedSearchRepeatsTheLastScore) {
    print(29999, line, 7);
    SearchState.store(Stopping, Relaxed);
    EXPECT_NE(print(-512, line, 8).find("score mate 1 "), std::string::npos);
}

// Every principal-variation line: exact head, optional nps, moves each followed by a space.
const std::regex PvLine("info depth (\\d+) score (cp|mate) -?\\d+ time \\d+ nodes \\d+ (nps \\d+ )?pv( [a-h][1-8][a-h][1-8][qrbn]?)* ");
const std::regex StatusLine("info nodes \\d+ nps \\d+ time (\\d+) hashfull (\\d+) tbhits 0");
const std::regex CurrentMoveLine("info currmove [a-h][1-8][a-h][1-8][qrbn]? currmovenumber ([1-9]\\d*)");

std::vector<std::string> linesWith(const std::vector<std::string>& lines, const std::string& prefix) {
    std::vector<std::string> found;
    for (const std::string& l : lines)
        if (l.rfind(prefix, 0) == 0) found.push_back(l);
    return found;
}

int timeField(const std::string& line) {
    size_t at = line.find(" time ");
    return at == std::string::npos ? -1 : std::stoi(line.substr(at + 6));
}

struct ScoreLineCase {
    const char* name;
    const char* fen;
    const char* go;
    const char* score;  // expected in the last principal-variation line
};

TEST(Reports, EveryLineOfADepthSearchIsWellFormed) {
    const ScoreLineCase cases[] = {
        {"Opening", "r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 2 3", "go depth 6", nullptr},
        {"MateInOne", "6k1/5ppp/8/8/8/8/5PPP/R5K1 w - - 0 1", "go depth 4", "score mate 1 "},
        {"MatedInOne", "k7/8/1K6/8/8/8/8/7R b - - 0 1", "go depth 4", "score mate -1 "},
    };
    for (const ScoreLineCase& c : cases) {
        SCOPED_TRACE(c.name);
        EngineProcess engine;
        engine.send(std::string("position fen ") + c.fen);
        engine.send(c.go);
        std::vector<std::string> lines = engine.readUntil("bestmove");
        ASSERT_FALSE(lines.empty());
        std::vector<std::string> pv;
        for (const std::string& l : lines) {
            if (std::regex_match(l, std::regex("info depth \\d+")) || l.rfind("bestmove ", 0) == 0) continue;
            // A slow run (a sanitizer build, a loaded machine) passes the first second: the
            // current-move and status lines then come too, each in its own form.
            if (l.rfind("info currmove ", 0) == 0) {
                EXPECT_TRUE(std::regex_match(l, CurrentMoveLine)) << "[" << l << "]";
                continue;
            }
            if (l.rfind("info nodes ", 0) == 0) {
                EXPECT_TRUE(std::regex_match(l, StatusLine)) << "[" << l << "]";
                continue;
            }
            std::smatch m;
            ASSERT_TRUE(std::regex_match(l, m, PvLine)) << "[" << l << "]";
            pv.push_back(l);
        }
        ASSERT_FALSE(pv.empty());
        if (c.score) {
            EXPECT_NE(pv.back().find(c.score), std::string::npos) << pv.back();
        }
    }
}

// The status and current-move lines wait for the first second; status lines then come a
// second or more apart.
TEST(Reports, StatusAndCurrentMoveLinesComeAfterTheFirstSecond) {
    EngineProcess engine;
    engine.send("setoption name Max CPUs value 1");
    engine.send("position startpos");
    engine.send("go infinite");
    std::vector<std::string> lines = engine.readUntil("info nodes", 15000);
    std::vector<std::string> more = engine.readUntil("info nodes", 15000);
    lines.insert(lines.end(), more.begin(), more.end());
    engine.send("stop");
    engine.readUntil("bestmove");
    std::vector<std::string> status = linesWith(lines, "info nodes");
    ASSERT_EQ(status.size(), 2u);

    bool late = false;  // a status or current-move line has been seen
    for (const std::string& l : lines) {
        std::smatch m;
        if (l.rfind("info nodes", 0) == 0) {
            ASSERT_TRUE(std::regex_match(l, m, StatusLine)) << l;
            EXPECT_GE(std::stoi(m[1]), 1000) << l;
            EXPECT_LE(std::stoi(m[2]), 1000) << l;
            late = true;
        } else if (l.rfind("info currmove", 0) == 0) {
            EXPECT_TRUE(std::regex_match(l, m, CurrentMoveLine)) << l;
            EXPECT_LE(std::stoi(m[1]), 20) << l;
            late = true;
        } else if (late && timeField(l) >= 0) {
            EXPECT_GT(timeField(l), 1000) << "a line printed after a late one: " << l;
        }
    }
    EXPECT_GE(timeField(status[1]) - timeField(status[0]), 1000);
}

struct MultiPvCase {
    const char* name;
    int lines;
    const char* fen;
    const char* go;
    std::vector<std::string> firstMoves;  // of the last iteration's lines, best first
};

// Black's rook and knight hang to the promoting pawn: taking the rook with a new queen is
// best; the pawns keep the ending out of the drawish special cases.
const char* const PromotionFen = "r1n5/1P5p/8/8/7k/8/6PP/5K2 w - - 0 1";

TEST(Reports, MultiPvPrintsOneLinePerBestMoveBestFirst) {
    const MultiPvCase cases[] = {
        {"ThreeRankedLines", 3, PromotionFen, "go depth 6", {"b7a8q", "", ""}},
        {"MoreLinesThanMoves", 32, "k7/8/8/8/8/8/1r6/K7 w - - 0 1", "go depth 4", {"a1b2"}},
    };
    for (const MultiPvCase& c : cases) {
        SCOPED_TRACE(c.name);
        EngineProcess engine;
        engine.send("setoption name MultiPV value " + std::to_string(c.lines));
        engine.send(std::string("position fen ") + c.fen);
        engine.send(c.go);
        std::vector<std::string> lines = engine.readUntil("bestmove");
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.back().rfind("bestmove " + c.firstMoves[0] + " ", 0), 0u) << lines.back();
        // The lines of the deepest iteration, in the order printed.
        std::vector<std::string> last;
        for (const std::string& l : lines) {
            std::smatch m;
            if (!std::regex_match(l, m, std::regex("info multipv (\\d+) depth (\\d+) (score .*)"))) continue;
            EXPECT_TRUE(std::regex_match("info depth " + m[2].str() + " " + m[3].str(), PvLine)) << l;
            if (m[1] == "1") last.clear();
            EXPECT_EQ(std::stoi(m[1]), int(last.size()) + 1) << l;
            last.push_back(l);
        }
        ASSERT_EQ(last.size(), c.firstMoves.size());
        int previous = 1 << 30;
        for (size_t k = 0; k < last.size(); ++k) {
            if (!c.firstMoves[k].empty()) {
                EXPECT_NE(last[k].find(" pv " + c.firstMoves[k] + " "), std::string::npos) << last[k];
            }
            std::smatch m;
            ASSERT_TRUE(std::regex_search(last[k], m, std::regex("score cp (-?\\d+)")));
            EXPECT_LE(std::stoi(m[1]), previous) << last[k];
            previous = std::stoi(m[1]);
        }
        EXPECT_TRUE(linesWith(lines, "info depth 6 score").empty()) << "one format per search";
    }
}

TEST(Reports, OneLineWantedKeepsTheSingleLineFormat) {
    EngineProcess engine;
    engine.send("setoption name MultiPV value 1");
    engine.send(std::string("position fen ") + PromotionFen);
    engine.send("go depth 6");
    std::vector<std::string> lines = engine.readUntil("bestmove");
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back().rfind("bestmove b7a8q ", 0), 0u) << lines.back();
    EXPECT_TRUE(linesWith(lines, "info multipv").empty());
    EXPECT_FALSE(linesWith(lines, "info depth 6 score cp").empty());
}

}  // namespace
}  // namespace brinz
