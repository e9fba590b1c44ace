#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/engine_process.h"

namespace brinz {
namespace {

using support::EngineProcess;

std::string secondWord(const std::string& line) {
    size_t start = line.find(' ');
    if (start == std::string::npos) return "";
    size_t end = line.find(' ', start + 1);
    return line.substr(start + 1, end == std::string::npos ? std::string::npos : end - start - 1);
}

TEST(Bench, StopPrintsTheResultTwiceTheSecondWithoutANewline) {
    EngineProcess engine;
    engine.send("bench");
    std::vector<std::string> lines = engine.readUntil("info depth 3");
    ASSERT_FALSE(lines.empty()) << "no analysis started";
    engine.send("stop");
    lines = engine.readUntil("bestmove ");
    ASSERT_FALSE(lines.empty());
    const std::string move = secondWord(lines.back());
    // The bench position: White's queen on a8 or king on b7 moves.
    EXPECT_TRUE(move.rfind("a8", 0) == 0 || move.rfind("b7", 0) == 0) << lines.back();
    // The fragment "bestmove <move> " has no newline: the next output continues the line.
    engine.send("isready");
    std::string line;
    ASSERT_TRUE(engine.readLine(line));
    EXPECT_EQ(line, "bestmove " + move + " readyok");

    // The bench position stays the current one.
    engine.send("go depth 2");
    lines = engine.readUntil("bestmove ");
    ASSERT_FALSE(lines.empty());
    const std::string next = secondWord(lines.back());
    EXPECT_TRUE(next.rfind("a8", 0) == 0 || next.rfind("b7", 0) == 0) << lines.back();
}

TEST(Bench, QuitEndsTheProcessWithoutResultLines) {
    EngineProcess engine;
    engine.send("bench");
    ASSERT_FALSE(engine.readUntil("info depth 3").empty());
    engine.send("quit");
    for (const std::string& line : engine.drain(500)) EXPECT_EQ(line.find("bestmove"), std::string::npos) << line;
    EXPECT_EQ(engine.waitExit(), 0);
}

}  // namespace
}  // namespace brinz
