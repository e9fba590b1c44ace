// A real interface: xboard commands through polyglot, the UCI-to-xboard adapter, which
// starts the engine and speaks UCI to it. Runs only where polyglot is installed.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "board/attacks.h"
#include "board/generate.h"
#include "board/make_move.h"
#include "board/move_text.h"
#include "support/engine_process.h"
#include "support/engine_setup.h"

namespace brinz {
namespace {

namespace fs = std::filesystem;

std::string polyglotPath() {
    for (const char* path : {"/usr/games/polyglot", "/usr/bin/polyglot", "/usr/local/bin/polyglot"})
        if (fs::exists(path)) return path;
    return "";
}

// The engine's "move X" line, past any other xboard output.
std::string nextMove(support::EngineProcess& adapter) {
    std::vector<std::string> lines = adapter.readUntil("move ", 30000);
    return lines.empty() ? "" : lines.back().substr(5);
}

TEST(Polyglot, PlaysAGameOverTheXboardProtocol) {
    const std::string polyglot = polyglotPath();
    if (polyglot.empty()) GTEST_SKIP() << "polyglot is not installed";
    support::initialiseTables();
    const std::string dir = testing::TempDir() + "brinz_polyglot";
    fs::create_directories(dir);
    {
        std::ofstream ini(dir + "/polyglot.ini");
        ini << "[PolyGlot]\nEngineDir = " << dir << "\nEngineCommand = " << BRINZ_BINARY
            << "\nBook = false\nLog = false\n[Engine]\nMax CPUs = 1\nHash = 16\n";
    }
    support::EngineProcess adapter(dir, polyglot);
    adapter.send("xboard");
    adapter.send("protover 2");
    std::vector<std::string> features = adapter.readUntil("feature done=1", 30000);
    ASSERT_FALSE(features.empty()) << "no feature done=1";
    EXPECT_NE(std::find(features.begin(), features.end(), "feature myname=\"Brinz 11 MT\""), features.end());
    adapter.send("new");
    adapter.send("sd 3");
    adapter.send("ping 1");
    ASSERT_FALSE(adapter.readUntil("pong 1").empty());

    // The engine plays White; Black answers with its first legal move each time.
    Position pos = support::positionFromFen(StartFen);
    adapter.send("go");
    for (int ply = 0; ply < 12; ++ply) {
        std::string move = nextMove(adapter);
        SCOPED_TRACE("ply " + std::to_string(ply) + " " + move);
        Move played = TextToMove(pos, move.c_str());
        ASSERT_NE(played, MOVE_NULL) << "illegal or missing move";
        UndoRecord undo;
        MakeMove(pos, undo, played);
        // Black's first legal move, if it has one (the engine may have mated it).
        MoveListEntry list[MaxMoves];
        MoveListEntry* end = GenerateMoves(pos, list);
        Move reply = MOVE_NULL;
        for (MoveListEntry* entry = list; entry != end && reply == MOVE_NULL; ++entry) {
            Position scratch = pos;
            if (IsLegalByMaking(scratch, entry->move)) reply = entry->move;
        }
        if (reply == MOVE_NULL) break;
        MakeMove(pos, undo, reply);
        char text[MoveTextSize];
        adapter.send(std::string("usermove ") + MoveToText(reply, text, pos));
    }
    adapter.send("quit");
    EXPECT_EQ(adapter.waitExit(15000), 0);
    fs::remove_all(dir);
}

}  // namespace
}  // namespace brinz
