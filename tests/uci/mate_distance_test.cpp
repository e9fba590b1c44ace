#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "support/engine_process.h"

namespace brinz {
namespace {

using support::EngineProcess;

// King and queen or rook against a bare king, with the distance to mate that the generated
// tables give. Their trees overlap, so one search's table entries serve the next one from
// other plies, and the move after it serves from two plies nearer the root.
struct KnownMate {
    const char* fen;
    int mateIn;
};
const KnownMate Mates[] = {
    {"6Q1/8/8/8/5k2/8/3K4/8 w - - 0 1", 6},   {"7R/8/8/8/3K4/8/8/6k1 w - - 0 1", 6},
    {"Q7/8/1k6/8/8/5K2/8/8 w - - 0 1", 7},    {"8/8/8/8/8/8/7k/1R1K4 w - - 0 1", 6},
    {"8/6Q1/8/2K5/8/8/4k3/8 w - - 0 1", 6},   {"8/8/2K5/1Q6/4k3/8/8/8 w - - 0 1", 7},
};

TEST(MateDistance, ReportedMatesAreNeverShorterThanTheTrueDistanceAndFoundExactly) {
    EngineProcess engine;
    const std::regex mateScore("score mate (-?[0-9]+)");
    for (const KnownMate& k : Mates) {
        std::string moves;
        for (int step = 0; step < 2; ++step) {
            const int distance = k.mateIn - step;
            engine.send(std::string("position fen ") + k.fen + moves);
            engine.send("go depth 12");
            std::vector<std::string> lines = engine.readUntil("bestmove", 60000);
            ASSERT_FALSE(lines.empty()) << k.fen;
            int last = 0;
            for (const std::string& line : lines) {
                std::smatch m;
                if (!std::regex_search(line, m, mateScore)) continue;
                last = std::stoi(m[1]);
                EXPECT_GE(last, distance) << k.fen << moves << ": " << line;
            }
            if (step == 0) {
                EXPECT_EQ(last, distance) << k.fen;
            }
            // Play the answer and the expected reply, two plies nearer the mate.
            std::vector<std::string> words;
            std::string word;
            for (std::istringstream in(lines.back()); in >> word;) words.push_back(word);
            ASSERT_GE(words.size(), 4u) << lines.back();
            moves += (moves.empty() ? " moves " : " ") + words[1] + " " + words[3];
        }
    }
}

}  // namespace
}  // namespace brinz
