// Fuzz target: the command loop fed arbitrary bytes, in-process.
//
// The bytes reach the loop through the platform's in-memory input, so the loop and the
// search's polls read them exactly as they read standard input. Three things of a real
// session would end or stall the run; the harness rewrites the input against them rather
// than giving the engine a mode of its own, so that the code under test is the shipped code:
// - "quit", read by the loop or by a poll, ends the process: every "quit" in the input,
//   in any letter case, has its "t" replaced.
// - A search runs until a limit or "stop" arrives, so "go infinite", "bench" or a clock of
//   hours would hold the run: every line is followed by a "stop" line, except a go or bench
//   line, whose next line stays before the stop so that the search's polls also read
//   fuzzed lines ("ponderhit", "isready"). Each search therefore meets "stop" within a few
//   polls (at most 1000 nodes apart). The input ends with "stop" as well, since end of
//   input during a search counts as "quit"; and since a go line read during a search is
//   kept and run after it, possibly with no input left, the end holds one more "stop" for
//   every search line (each search takes at most one of them).
// - "perft" deeper than 2 may run for minutes: such lines are dropped.
// Every input starts from the start position and the options' defaults. Sizes are capped
// (8 MB tables, two threads) so that an input cannot make each run allocate gigabytes, and
// "NalimovPath" starts empty so that no directory is scanned unless an input names one.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <strings.h>

#include "board/position.h"
#include "options/options.h"
#include "platform/input.h"
#include "search/search.h"
#include "smp/threads.h"
#include "uci/command_loop.h"
#include "uci/perft_command.h"

using namespace brinz;

namespace {

constexpr size_t MaxInputBytes = 4000;  // below the loop's line buffer: no line is cut by the loop
constexpr int MaxPerftDepth = 2;

void capOption(const char* name, int max) {
    if (OptionRecord* record = Options.findOption(name)) record->max = max;
}

bool startsSearch(const std::string& line) {
    return strncasecmp(line.c_str(), "go", 2) == 0 || strncasecmp(line.c_str(), "bench", 5) == 0;
}

bool deepPerft(const std::string& line) {
    if (strncasecmp(line.c_str(), "perft", 5) != 0) return false;
    int depth = 0;
    return parsePerftDepth(line.size() >= 6 ? line.c_str() + 6 : "", depth) && depth > MaxPerftDepth;
}

std::string harnessInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    for (size_t at = 0; at + 4 <= text.size(); ++at)
        if (strncasecmp(text.c_str() + at, "quit", 4) == 0) text[at + 3] = '_';
    std::string input;
    int searches = 0;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(start, end - start) + "\n";
        start = end + 1;
        if (deepPerft(line)) continue;
        input += line;
        if (startsSearch(line)) ++searches;
        else input += "stop\n";
    }
    for (int i = 0; i <= searches; ++i) input += "stop\n";
    return input;
}

void resetEngine() {
    for (int i = 0; i < Options.count(); ++i) {
        OptionRecord* record = Options.findOption(Options.record(i).name);
        record->currentValue = record->defaultValue;
    }
    SetPositionFromFen(RootPosition, StartFen);
    SearchState.store(Idle, Relaxed);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    initialiseEngine();
    // The helpers must end before the static thread records go at exit.
    std::atexit([] { stopThreads(); });
    capOption("Hash", 8);
    capOption("NalimovCache", 8);
    capOption("STATIC_EVAL_CACHE_SIZE", 8);
    capOption("Max CPUs", 2);
    if (OptionRecord* path = Options.findOption("NalimovPath")) path->defaultValue[0] = '\0';
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > MaxInputBytes) return -1;
    resetEngine();
    const std::string input = harnessInput(data, size);
    setInputText(input.data(), input.size());
    runCommands();
    setInputText(nullptr, 0);
    return 0;
}
