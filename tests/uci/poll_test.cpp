#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "board/make_move.h"
#include "board/move_text.h"
#include "support/engine_process.h"
#include "support/engine_setup.h"

namespace brinz {
namespace {

using support::EngineProcess;

const char* const Fen = "r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 2 3";

std::vector<std::string> answersOf(const std::vector<std::string>& lines) {
    std::vector<std::string> answers;
    for (const std::string& l : lines)
        if (l == "readyok" || l == "uciok" || l.rfind("bestmove ", 0) == 0) answers.push_back(l.substr(0, l.find(' ')));
    return answers;
}

// Every line that arrives within the next `ms` milliseconds.
std::vector<std::string> readFor(EngineProcess& engine, int ms) {
    std::vector<std::string> lines;
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (std::string line;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        if (left.count() <= 0 || !engine.readLine(line, int(left.count()))) return lines;
        lines.push_back(line);
    }
}

// Input sent while a search runs, and what the engine answers to it.
struct InputCase {
    const char* name;
    const char* go;
    int settleMs;                      // time given to the search before the input, with no answer
    std::string input;                 // raw bytes, sent in one write ("-": a long unknown line)
    bool closeInput;                   // then close standard input
    std::vector<std::string> answers;  // answer lines ("readyok", "bestmove"), in order, before the final stop
    bool exits;                        // the engine ends with status 0 and no bestmove
    std::vector<std::string> kept = {};  // answers of the lines kept for after the search
};

const char* const Infinite = "go infinite";
const char* const PonderDepth = "go ponder depth 3";

const InputCase InputCases[] = {
    {"Stop", Infinite, 0, "stop\n", false, {"bestmove"}, false},
    {"StopInCapitals", Infinite, 0, "STOP\n", false, {"bestmove"}, false},
    {"StopIsAPrefix", Infinite, 0, "Stopping now\n", false, {"bestmove"}, false},
    {"IsReadyIsAnsweredAndTheSearchGoesOn", Infinite, 0, "isready\n", false, {"readyok"}, false},
    {"IsReadyInCapitals", Infinite, 0, "ISREADY\n", false, {"readyok"}, false},
    // The poll reads one line; the second is left for the command loop, not swallowed.
    {"TwoLinesTogetherOnePerPoll", Infinite, 0, "stop\nisready\n", false, {"bestmove", "readyok"}, false},
    {"IsReadyThenStopTogether", Infinite, 0, "isready\nstop\n", false, {"readyok", "bestmove"}, false},
    // Other commands are kept, in order, and carried out once the search has answered;
    // they were once dropped. A long line is read whole (and, unknown, ignored then).
    {"OtherCommandsWaitForTheAnswer", Infinite, 0,
     "position startpos moves e2e4\nsetoption name Hash value 4\nucinewgame\nposition fen " +
         std::string(Fen) + "\ngo depth 1\n",
     false, {}, false, {"bestmove"}},
    {"LongLineIsKeptWhole", Infinite, 0, "-", false, {}, false},
    {"Quit", Infinite, 0, "quit\n", false, {}, true},
    {"QuitInMixedCase", Infinite, 0, "QuIt\n", false, {}, true},
    {"ClosedInput", Infinite, 0, "", true, {}, true},
    // After ponderhit with time left the search goes on as a timed one: it still answers isready.
    {"PonderhitContinuesOnTheClock", "go ponder wtime 1000000 btime 1000000", 300, "ponderhit\nisready\n", false,
     {"readyok"}, false},
    // The hard limit (125 ms here) passed while pondering: ponderhit stops before the next poll.
    {"PonderhitAfterTheHardLimitStopsAtOnce", "go ponder wtime 1000 btime 1000", 300, "ponderhit\nisready\n", false,
     {"bestmove", "readyok"}, false},
    // A ponder search that has finished its iterations waits for ponderhit, stop or quit.
    {"FinishedPonderSearchWaitsForPonderhit", PonderDepth, 300, "isready\nponderhit\n", false,
     {"readyok", "bestmove"}, false},
    {"FinishedPonderSearchWaitsForStop", PonderDepth, 300, "stop\n", false, {"bestmove"}, false},
    {"QuitWhileWaitingToPonder", PonderDepth, 300, "quit\n", false, {}, true},
    {"InputClosedWhileWaitingToPonder", PonderDepth, 300, "", true, {}, true},
};

class InputDuringSearchTest : public testing::TestWithParam<InputCase> {};

// A bestmove line names a legal move of Fen.
bool legalAnswer(const std::string& line) {
    support::initialiseTables();
    Position pos = support::positionFromFen(Fen);
    std::string move = line.substr(9, line.find(' ', 9) - 9);
    return TextToMove(pos, move.c_str()) != MOVE_NULL;
}

TEST_P(InputDuringSearchTest, IsHandledByThePoll) {
    const InputCase& c = GetParam();
    EngineProcess engine;
    engine.send(std::string("position fen ") + Fen);
    engine.send(c.go);
    if (c.settleMs) {
        EXPECT_TRUE(answersOf(readFor(engine, c.settleMs)).empty()) << "an answer before any input";
    }
    engine.sendRaw(c.input != "-" ? c.input : std::string(10000, 'x') + "\n");
    if (c.closeInput) engine.closeInput();
    if (c.exits) {
        EXPECT_EQ(engine.waitExit(5000), 0);
        EXPECT_TRUE(answersOf(engine.drain(100)).empty()) << "no bestmove after quit";
        return;
    }
    bool stoppedEarly = false;
    for (const std::string& a : c.answers) stoppedEarly |= a == "bestmove";
    std::vector<std::string> lines;
    for (std::string line; answersOf(lines).size() < c.answers.size() && engine.readLine(line, 10000);)
        lines.push_back(line);
    if (!stoppedEarly) {
        // The search must still be running: nothing more is answered until it is stopped.
        std::vector<std::string> more = readFor(engine, 200);
        lines.insert(lines.end(), more.begin(), more.end());
    }
    EXPECT_EQ(answersOf(lines), c.answers);

    // Then a stop (ignored if the search has already ended), an isready as a fence, and a
    // short search that shows the position and the engine are as they were.
    engine.send("stop");
    engine.send("isready");
    engine.send("go depth 2");
    std::vector<std::string> expected;
    if (!stoppedEarly) expected.push_back("bestmove");
    expected.insert(expected.end(), c.kept.begin(), c.kept.end());
    expected.push_back("readyok");
    expected.push_back("bestmove");
    std::vector<std::string> after;
    for (std::string line; answersOf(after).size() < expected.size() && engine.readLine(line, 10000);)
        after.push_back(line);
    std::vector<std::string> extra = engine.drain(100);
    after.insert(after.end(), extra.begin(), extra.end());
    EXPECT_EQ(answersOf(after), expected);
    lines.insert(lines.end(), after.begin(), after.end());
    for (const std::string& l : lines)
        if (l.rfind("bestmove ", 0) == 0) {
            EXPECT_TRUE(legalAnswer(l)) << l;
        }
}

INSTANTIATE_TEST_SUITE_P(Poll, InputDuringSearchTest, testing::ValuesIn(InputCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A GUI's ponderhit, position and go in one write: the position was once dropped while
// its go searched the old position.
TEST(InputDuringSearch, PositionAndGoAfterPonderhitRunInOrder) {
    const char* const next = "r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 2 3";
    support::initialiseTables();
    for (const char* moves : {"f1b5", "f1b5 a7a6 b5a4"}) {
        SCOPED_TRACE(moves);
        EngineProcess engine;
        engine.send(std::string("position fen ") + next);
        engine.send("go ponder wtime 1000 btime 1000");
        readFor(engine, 200);
        engine.sendRaw(std::string("ponderhit\nposition fen ") + next + " moves " + moves + "\ngo depth 2\n");
        std::vector<std::string> first = engine.readUntil("bestmove");
        ASSERT_FALSE(first.empty());
        std::vector<std::string> second = engine.readUntil("bestmove");
        ASSERT_FALSE(second.empty());
        Position pos = support::positionFromFen(next);
        std::string played = moves;
        for (size_t at = 0; at < played.size();) {
            size_t end = played.find(' ', at);
            if (end == std::string::npos) end = played.size();
            UndoRecord undo;
            Move m = TextToMove(pos, played.substr(at, end - at).c_str());
            ASSERT_NE(m, MOVE_NULL);
            MakeMove(pos, undo, m);
            at = end + 1;
        }
        const std::string& answer = second.back();
        std::string move = answer.substr(9, answer.find(' ', 9) - 9);
        EXPECT_NE(TextToMove(pos, move.c_str()), MOVE_NULL) << answer;
    }
}

}  // namespace
}  // namespace brinz
