#pragma once

#include <cstdint>
#include <string>

#include "options/parameter_file.h"

namespace brinz {

enum OptionType : int32_t { OPTION_SPIN = 0, OPTION_COMBO = 1, OPTION_CHECK = 2, OPTION_STRING = 3, OPTION_BUTTON = 4 };

inline constexpr int OptionNameSize = 64;    // 63 characters
inline constexpr int OptionValueSize = 128;  // 127 characters
inline constexpr int OptionChoiceSize = 32;  // 31 characters
inline constexpr int OptionChoiceCount = 16; // at most 15 choices and an empty end
inline constexpr int OptionSlots = 128;

struct OptionRecord {
    char name[OptionNameSize];
    char defaultValue[OptionValueSize];
    std::string currentValue;  // whole, however long: a list of tablebase folders may be
    OptionType type;
    int32_t min;
    int32_t max;
    char choices[OptionChoiceCount][OptionChoiceSize];
    uint8_t visible;

    // Checks and buttons count as on when their value begins with "t".
    bool on() const { return !currentValue.empty() && currentValue[0] == 't'; }
};

// Every tunable of the engine as text: the UCI options and the hidden engine parameters.
// Values stay text until applyOptions converts them at a search start.
class cOptions {
public:
    // Appends a record; names, defaults and choices longer than their fields are cut.
    // Overflowing the 128 slots prints "Demasiadas opciones\n", adds nothing and returns
    // false; the engine's start-up shuts the engine down then (see overflowed).
    bool addOption(const char* name, const char* defaultValue, bool visible, OptionType type, int min, int max,
                   const char* const* choices = nullptr);
    // First record with this name, or nullptr. Letter case does not count, as the UCI
    // protocol asks for "setoption", unless `exactCase` (the parameter file's keys).
    OptionRecord* findOption(const char* name, bool exactCase = false);
    const OptionRecord* findOption(const char* name, bool exactCase = false) const;

    int count() const { return recordCount; }
    const OptionRecord& record(int index) const { return records[index]; }
    // Whether an addOption was refused since the last clear.
    bool overflowed() const { return overflow; }

    // Empties the registry; for tests that register afresh.
    void clear() {
        recordCount = 0;
        overflow = false;
    }

private:
    OptionRecord records[OptionSlots]{};
    int32_t recordCount = 0;
    bool overflow = false;
};

extern cOptions Options;

// Registration, in this order, at start-up.
void registerEngineParameters();
void registerUciOptions();
// The parameter file of the engine: "brinz.cfg" in the current folder.
inline constexpr const char* ParameterFileName = "brinz.cfg";
// Sets each registered option whose name is a key of the parameter file to the file's value.
// The first form reads ParameterFileName (a missing file sets nothing); the engine calls it
// once at start-up, after registering its options.
void applyParameterFile();
void applyParameterFile(const ParameterFile& file);

// Prints the visible options for "uci".
void printUciOptions();
// Takes the text after "setoption name ". A spin value that is not a whole number is
// ignored with an "info string" (so is such a value in the parameter file); any other value
// that will not be read as written (out of range, not a choice) is explained by one
// "info string" line.
void handleSetOption(const char* text);

// The option value as the engine reads it: a decimal integer as strtol/atoi takes it,
// a spin clamped into its registered range. 0 for an unknown name.
int optionInteger(const char* name);
bool optionOn(const char* name);
const char* optionText(const char* name);

// Integer engine parameters, written only by applyOptions between searches.
struct EngineParameters {
    int32_t kingSafetyWeight[2];          // 128 = 100 %, by colour
    int32_t passedPawnsMiddle, passedPawnsEnd;
    int32_t pawnStructureMiddle, pawnStructureEnd;
    int32_t mobilityMiddle, mobilityEnd, development, pawnDanger;
    int32_t evalCacheEnabled, evalCacheSize;  // size in megabytes
    int32_t nullMoveEnabled;
    int32_t staticPruningDepth;           // 1/60 ply
    int32_t lateMoveReduction;            // 0 all, 1 non-PV, 2 off
    int32_t reduceOn;                     // 1 knowledge, 2 history, 3 both
    int32_t futilityPruning;              // 0 all, 1 non-PV, 2 off
    int32_t futilityMargin0, futilityMargin1, futilityMargin2;  // 1/256 pawn
    int32_t nullMoveReductionMiddle, nullMoveReductionEnd;      // plies
    int32_t checkExtension, replyToCheckExtension1, replyToCheckExtension2;  // 1/60 ply
    int32_t mateThreatExtension, pawnOn7thExtension;
    int32_t threatDepth;                  // 1/60 ply
    int32_t checksInQuiescence;           // plies
    int32_t hashQuiescence;
    int32_t threadCount;                  // 1..8
    int32_t minimumSplitDepth;
    int32_t ponder;
    int32_t hashMegabytes;
    int32_t nalimovCache;                 // megabytes
    int32_t multiPv;                      // principal variations per iteration, 1..32
    int32_t moveOverhead;                 // milliseconds taken off every clock budget
};
extern EngineParameters Parameters;
// The "NalimovPath" text, carried whole.
extern std::string NalimovPathText;

// Converts every option into Parameters at a search start. `rootSide` is the side to
// move at the root: the engine's own colour for the king-safety weights.
void applyOptions(int rootSide);
// Rescans the tablebase directories when "NalimovPath" or "NalimovCache" has changed since
// the last scan (the first call always scans); called by applyOptions.
void refreshTablebases();

}  // namespace brinz
