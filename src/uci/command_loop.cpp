#include "uci/command_loop.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <strings.h>

#include "board/attacks.h"
#include "board/keys.h"
#include "board/make_move.h"
#include "board/move_text.h"
#include "board/position.h"
#include "board/text.h"
#include "options/options.h"
#include "search/hash.h"
#include "uci/bench.h"
#include "smp/threads.h"
#include "uci/eval_command.h"
#include "uci/go.h"
#include "uci/perft_command.h"
#include "uci/poll.h"

namespace brinz {

namespace {

bool StartsWith(const char* text, const char* word) { return strncasecmp(text, word, std::strlen(word)) == 0; }

// Plays one move token on the root position; false when it names no legal move.
bool PlayMoveToken(const char* token) {
    Move move = TextToMove(RootPosition, token);
    if (move == MOVE_NULL) return false;
    UndoRecord undo;
    MakeMove(RootPosition, undo, move);
    // Long games would otherwise run keyHistory past its end.
    CompactKeyHistory(RootPosition);
    return true;
}

}  // namespace

void initialiseEngine() {
    // Nothing here may wait until it is needed: helpers start, and pawn tables are
    // allocated, when a search asks for them ("Max CPUs"); the hash table's pages are
    // given by the system as they are first written.
    InitKeys();
    InitAttacks();
    // Start-up size; the first search resizes to the "Hash" option.
    if (!resizeHash(StartupHashMegabytes))
        std::printf("info string hash table: only %u KiB could be allocated\n", unsigned(clusterCount / 16));
    registerEngineParameters();
    registerUciOptions();
    if (Options.overflowed()) shutdownEngine();
    applyParameterFile();
    Chess960Castling = optionOn("UCI_Chess960");
    SetPositionFromFen(RootPosition, StartFen);
}

void runCommands() {
    std::string line;
    while (nextCommand(line)) dispatchCommand(line.c_str());
}

void commandLoop() {
    runCommands();
    shutdownEngine();
}

void dispatchCommand(const char* line) {
    // The handlers get the text past the command word and one separator; for a bare
    // command word that is the empty text.
    auto rest = [line](size_t offset) { return std::strlen(line) >= offset ? line + offset : ""; };
    if (strncasecmp(line, "ucinewgame", 10) == 0) return;
    if (strncasecmp(line, "uci", 3) == 0) return handleUci();
    if (strncasecmp(line, "isready", 7) == 0) {
        std::printf("readyok\n");
        return;
    }
    if (strncasecmp(line, "position", 8) == 0) return handlePosition(rest(9));
    if (strncasecmp(line, "quit", 4) == 0) shutdownEngine();
    if (strncasecmp(line, "go", 2) == 0) return handleGo(rest(3));
    if (strncasecmp(line, "setoption name", 14) == 0) {
        handleSetOption(rest(15));
        // Moves are read and written in the chosen notation from the next command on.
        Chess960Castling = optionOn("UCI_Chess960");
        return;
    }
    if (strncasecmp(line, "bench", 5) == 0) return bench();
    if (strncasecmp(line, "perft", 5) == 0) return handlePerft(rest(6));
    if (strncasecmp(line, "eval", 4) == 0) return handleEval();
}

void handleUci() {
    SearchState.store(Idle, Relaxed);
    SetPositionFromFen(RootPosition, StartFen);
    std::printf("id name %s %s MT\n", "Brinz", "11");
    std::printf("id author Quelmar\n");
    printUciOptions();
    std::printf("uciok\n");
}

void handlePosition(const char* text) {
    const char* p = SkipBlanks(text);
    if (StartsWith(p, "startpos")) {
        p = SkipBlanks(p + 8);
        SetPositionFromFen(RootPosition, StartFen);
    } else if (StartsWith(p, "fen")) {
        p = SkipBlanks(p + 3);
        // The moves belong to the refused position: played on the old one they would
        // give a position nobody asked for.
        if (!SetPositionFromFen(RootPosition, p)) return;
        while (*p && !StartsWith(p, "moves")) ++p;
    }
    p = SkipBlanks(p);
    if (!StartsWith(p, "moves")) return;
    p = SkipBlanks(p + 5);
    while (*p) {
        const char* end = p;
        while (*end && !IsBlank(*end)) ++end;
        int length = int(end - p);
        char token[MoveTokenLimit + 1];
        bool played = false;
        // A token too long for the buffer cannot be a move; it is reported whole.
        if (length <= MoveTokenLimit) {
            std::memcpy(token, p, size_t(length));
            token[length] = '\0';
            played = PlayMoveToken(token);
        }
        // The moves after an unplayable one were meant for another position: the
        // position stays as the last good move left it.
        if (!played) {
            std::printf("Movimiento ilegal: %.*s\n", length, p);
            return;
        }
        p = SkipBlanks(end);
    }
}

void shutdownEngine() {
    // Every helper ends before anything it might touch goes away.
    stopThreads();
    freeHash();
    std::exit(0);
}

}  // namespace brinz
