#include "options/options.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "board/position.h"
#include "eval/eval_cache.h"
#include "search/hash.h"
#include "tablebases/registry.h"

namespace brinz {

cOptions Options;
EngineParameters Parameters;
std::string NalimovPathText;

namespace {

// Copies at most size - 1 characters and always terminates.
void CopyText(char* target, const char* source, size_t size) {
    size_t length = source ? std::strlen(source) : 0;
    if (length > size - 1) length = size - 1;
    if (length) std::memcpy(target, source, length);
    target[length] = '\0';
}

const char* const TypeWords[] = {"spin", "combo", "check", "string", "button"};

// Digits with an optional sign, blanks around allowed: "abc", "1e3" and "12abc" are not.
bool IsWholeNumber(const std::string& text) {
    size_t at = text.find_first_not_of(" \t");
    if (at == std::string::npos) return false;
    if (text[at] == '+' || text[at] == '-') ++at;
    size_t end = text.find_first_not_of("0123456789", at);
    if (end == at || at == text.size()) return false;
    return end == std::string::npos || text.find_first_not_of(" \t", end) == std::string::npos;
}

// Stores a new current value. A spin value that is not a whole number would silently
// become the minimum or a partial number: it is refused, with a line saying so.
bool SetValue(OptionRecord& record, std::string value) {
    if (record.type == OPTION_SPIN && !IsWholeNumber(value)) {
        std::printf("info string %s: value %s is not a whole number; ignored\n", record.name, value.c_str());
        return false;
    }
    record.currentValue = std::move(value);
    return true;
}

// One "info string" line when the value just set will not be read as it was written.
void explainValue(const OptionRecord& r) {
    const char* value = r.currentValue.c_str();
    switch (r.type) {
        case OPTION_SPIN: {
            char used[16];
            std::snprintf(used, sizeof used, "%d", optionInteger(r.name));
            if (std::strcmp(used, value) != 0)
                std::printf("info string %s: value %s taken as %s (range %d to %d)\n", r.name, value, used, r.min,
                            r.max);
            break;
        }
        case OPTION_CHECK:
            if (std::strcmp(value, "true") != 0 && std::strcmp(value, "false") != 0)
                std::printf("info string %s: value %s taken as %s\n", r.name, value, r.on() ? "true" : "false");
            break;
        case OPTION_COMBO: {
            bool listed = false;
            for (int c = 0; c < OptionChoiceCount && r.choices[c][0]; ++c) listed |= std::strcmp(r.choices[c], value) == 0;
            if (!listed) {
                std::printf("info string %s: value %s is not one of", r.name, value);
                for (int c = 0; c < OptionChoiceCount && r.choices[c][0]; ++c) std::printf(" %s", r.choices[c]);
                std::printf("\n");
            }
            break;
        }
        case OPTION_STRING:  // carried whole
        case OPTION_BUTTON:
            break;
    }
}

}  // namespace

bool cOptions::addOption(const char* name, const char* defaultValue, bool visible, OptionType type, int min,
                         int max, const char* const* choices) {
    if (recordCount >= OptionSlots) {
        std::printf("Demasiadas opciones\n");
        overflow = true;
        return false;
    }
    OptionRecord& record = records[recordCount++];
    record = OptionRecord{};
    CopyText(record.name, name, sizeof record.name);
    CopyText(record.defaultValue, defaultValue, sizeof record.defaultValue);
    record.currentValue = record.defaultValue;
    record.type = type;
    record.min = min;
    record.max = max;
    record.visible = visible ? 1 : 0;
    if (type == OPTION_COMBO && choices) {
        int stored = 0;
        for (int i = 0; i < max && stored < OptionChoiceCount - 1; ++i)
            if (choices[i]) CopyText(record.choices[stored++], choices[i], OptionChoiceSize);
    }
    return true;
}

OptionRecord* cOptions::findOption(const char* name, bool exactCase) {
    for (int i = 0; i < recordCount; ++i)
        if ((exactCase ? std::strcmp(records[i].name, name) : strcasecmp(records[i].name, name)) == 0)
            return &records[i];
    return nullptr;
}

const OptionRecord* cOptions::findOption(const char* name, bool exactCase) const {
    return const_cast<cOptions*>(this)->findOption(name, exactCase);
}

void registerEngineParameters() {
    static const char* const ReductionModes[] = {"ALL", "NON_PV", "OFF"};
    static const char* const ReduceOn[] = {"KNOWLEDGE", "HISTORY", "KNOWLEDGE_AND_HISTORY"};
    cOptions& o = Options;
    o.addOption("AGGRESSIVENESS", "130", false, OPTION_SPIN, 0, 300);
    o.addOption("COWARDICE", "100", false, OPTION_SPIN, 0, 300);
    o.addOption("PASSED_PAWNS_MIDDLE", "100", false, OPTION_SPIN, 0, 300);
    o.addOption("PASSED_PAWNS_END", "140", false, OPTION_SPIN, 0, 300);
    o.addOption("PAWN_STRUCTURE_MIDDLE", "150", false, OPTION_SPIN, 0, 300);
    o.addOption("PAWN_STRUCTURE_END", "150", false, OPTION_SPIN, 0, 300);
    o.addOption("MOBILITY_MIDDLE", "160", false, OPTION_SPIN, 0, 300);
    o.addOption("MOBILITY_END", "150", false, OPTION_SPIN, 0, 300);
    o.addOption("DEVELOPMENT", "130", false, OPTION_SPIN, 0, 300);
    o.addOption("PAWN_DANGER", "100", false, OPTION_SPIN, 0, 300);
    o.addOption("STATIC_EVAL_CACHE", "true", false, OPTION_CHECK, 0, 0);
    o.addOption("STATIC_EVAL_CACHE_SIZE", "4", false, OPTION_SPIN, 1, 128);
    o.addOption("NULLMOVE", "true", false, OPTION_CHECK, 0, 0);
    o.addOption("STATIC_PRUNING_DEPTH", "3", false, OPTION_SPIN, 1, 6);
    o.addOption("NULL_MOVE_REDUCTION_MIDDLE", "3", false, OPTION_SPIN, 1, 3);
    o.addOption("NULL_MOVE_REDUCTION_END", "2", false, OPTION_SPIN, 1, 3);
    o.addOption("LATE_MOVE_REDUCTION", "ALL", false, OPTION_COMBO, 0, 3, ReductionModes);
    o.addOption("REDUCE_ON", "KNOWLEDGE_AND_HISTORY", false, OPTION_COMBO, 0, 3, ReduceOn);
    o.addOption("FUTILITY_PRUNING", "ALL", false, OPTION_COMBO, 0, 3, ReductionModes);
    o.addOption("FUTILITY_MARGIN0", "100", false, OPTION_SPIN, 0, 1000);
    o.addOption("FUTILITY_MARGIN1", "150", false, OPTION_SPIN, 0, 1000);
    o.addOption("FUTILITY_MARGIN2", "300", false, OPTION_SPIN, 0, 1000);
    o.addOption("CHECK_EXTENSION", "60", false, OPTION_SPIN, 0, 60);
    o.addOption("REPLAY_TO_CHECK_EXTENSION_1", "45", false, OPTION_SPIN, 0, 60);
    o.addOption("REPLAY_TO_CHECK_EXTENSION_2", "20", false, OPTION_SPIN, 0, 60);
    o.addOption("MATE_THREAT_EXTENSION", "45", false, OPTION_SPIN, 0, 60);
    o.addOption("PAWN_ON_7TH_RANK_EXTENSION", "45", false, OPTION_SPIN, 0, 60);
    o.addOption("THREAT_DEPTH", "5", false, OPTION_SPIN, 0, 20);
    o.addOption("CHECKS_IN_QUIESCENCE_SEARCH", "3", false, OPTION_SPIN, 0, 20);
    o.addOption("HASH_QUIESCENCE_SEARCH", "true", false, OPTION_CHECK, 0, 0);
    o.addOption("MINIMUM_TREE_SPLIT_DEPTH", "5", false, OPTION_SPIN, 4, 7);
}

void registerUciOptions() {
    cOptions& o = Options;
    o.addOption("NalimovPath", "c:\\tb", true, OPTION_STRING, 0, 0);
    o.addOption("NalimovCache", "4", true, OPTION_SPIN, 1, 128);
    o.addOption("Hash", "64", true, OPTION_SPIN, 4, 1024);
    o.addOption("Clear Hash", "false", true, OPTION_BUTTON, 0, 0);
    o.addOption("Ponder", "false", true, OPTION_CHECK, 0, 0);
    o.addOption("Max CPUs", "2", true, OPTION_SPIN, 1, 8);
    // Analysts want the best few moves side by side; 1 gives the single-line search.
    o.addOption("MultiPV", "1", true, OPTION_SPIN, 1, 32);
    // Taken off every clock budget, for interfaces and networks that add lag to each move.
    o.addOption("Move Overhead", "10", true, OPTION_SPIN, 0, 5000);
    o.addOption("UCI_Chess960", "false", true, OPTION_CHECK, 0, 0);
}

void applyParameterFile() {
    applyParameterFile(ParameterFile(ParameterFileName, "=", ";", "EndcConfigFile"));
}

void applyParameterFile(const ParameterFile& file) {
    for (const auto& [key, value] : file.entries())
        if (OptionRecord* record = Options.findOption(key.c_str(), true)) SetValue(*record, value);
}

void printUciOptions() {
    for (int i = 0; i < Options.count(); ++i) {
        const OptionRecord& r = Options.record(i);
        if (!r.visible) continue;
        std::printf("option name %s ", r.name);
        std::printf("type %s ", TypeWords[r.type]);
        if (r.type != OPTION_BUTTON) std::printf("default %s ", r.defaultValue);
        if (r.type == OPTION_SPIN) std::printf("min %d max %d", r.min, r.max);
        if (r.type == OPTION_COMBO)
            for (int c = 0; c < OptionChoiceCount && r.choices[c][0]; ++c) std::printf("var %s ", r.choices[c]);
        std::printf("\n");
    }
}

void handleSetOption(const char* text) {
    char name[OptionValueSize + 1];
    CopyText(name, text, sizeof name);
    if (char* value = std::strstr(name, "value")) {
        // The value starts one separator past "value" and runs to the line end, whole;
        // it may lie past the end of the text, in which case it is empty.
        size_t valueStart = size_t(value - name) + 6;
        const char* newValue = valueStart <= std::strlen(text) ? text + valueStart : "";
        if (value > name) value[-1] = '\0';
        else value[0] = '\0';
        // One line at most per value: the refusal of a non-number, or what the value is taken as.
        if (OptionRecord* record = Options.findOption(name))
            if (SetValue(*record, std::string(newValue, std::strcspn(newValue, "\r\n")))) explainValue(*record);
    } else {
        name[std::strcspn(name, "\r\n")] = '\0';
        if (OptionRecord* record = Options.findOption(name)) record->currentValue = "true";
    }
}

int optionInteger(const char* name) {
    const OptionRecord* record = Options.findOption(name);
    if (!record) return 0;
    long value = std::strtol(record->currentValue.c_str(), nullptr, 10);
    // Every spin is held to its advertised range, so no size or count can run wild.
    if (record->type == OPTION_SPIN) {
        if (value < record->min) value = record->min;
        if (value > record->max) value = record->max;
    }
    if (value > INT32_MAX) value = INT32_MAX;
    if (value < INT32_MIN) value = INT32_MIN;
    return int(value);
}

bool optionOn(const char* name) {
    const OptionRecord* record = Options.findOption(name);
    return record && record->on();
}

const char* optionText(const char* name) {
    const OptionRecord* record = Options.findOption(name);
    return record ? record->currentValue.c_str() : "";
}

void applyOptions(int rootSide) {
    EngineParameters& p = Parameters;
    auto percent = [](const char* name) { return optionInteger(name) * 128 / 100; };
    auto centipawns = [](const char* name) { return optionInteger(name) * 256 / 100; };
    auto mode = [](const char* name) {
        const char* value = optionText(name);
        return std::strcmp(value, "ALL") == 0 ? 0 : std::strcmp(value, "NON_PV") == 0 ? 1 : 2;
    };

    p.kingSafetyWeight[rootSide ^ 1] = percent("AGGRESSIVENESS");
    p.kingSafetyWeight[rootSide] = percent("COWARDICE");
    p.passedPawnsMiddle = percent("PASSED_PAWNS_MIDDLE");
    p.passedPawnsEnd = percent("PASSED_PAWNS_END");
    p.pawnStructureMiddle = percent("PAWN_STRUCTURE_MIDDLE");
    p.pawnStructureEnd = percent("PAWN_STRUCTURE_END");
    p.mobilityMiddle = percent("MOBILITY_MIDDLE");
    p.mobilityEnd = percent("MOBILITY_END");
    p.development = percent("DEVELOPMENT");
    p.pawnDanger = percent("PAWN_DANGER");
    p.evalCacheEnabled = optionOn("STATIC_EVAL_CACHE");
    p.evalCacheSize = optionInteger("STATIC_EVAL_CACHE_SIZE");
    p.nullMoveEnabled = optionOn("NULLMOVE");
    p.staticPruningDepth = optionInteger("STATIC_PRUNING_DEPTH") * 60;
    p.lateMoveReduction = mode("LATE_MOVE_REDUCTION");
    const char* reduceOn = optionText("REDUCE_ON");
    p.reduceOn = std::strncmp(reduceOn, "KNOWLEDGE_AND_HISTORY", 21) == 0 ? 3
                 : std::strncmp(reduceOn, "KNOWLEDGE", 9) == 0        ? 1
                                                                      : 2;
    p.futilityPruning = mode("FUTILITY_PRUNING");
    p.futilityMargin0 = centipawns("FUTILITY_MARGIN0");
    p.futilityMargin1 = centipawns("FUTILITY_MARGIN1");
    p.futilityMargin2 = centipawns("FUTILITY_MARGIN2");
    p.nullMoveReductionMiddle = optionInteger("NULL_MOVE_REDUCTION_MIDDLE");
    p.nullMoveReductionEnd = optionInteger("NULL_MOVE_REDUCTION_END");
    p.checkExtension = optionInteger("CHECK_EXTENSION");
    p.replyToCheckExtension1 = optionInteger("REPLAY_TO_CHECK_EXTENSION_1");
    p.replyToCheckExtension2 = optionInteger("REPLAY_TO_CHECK_EXTENSION_2");
    p.mateThreatExtension = optionInteger("MATE_THREAT_EXTENSION");
    p.pawnOn7thExtension = optionInteger("PAWN_ON_7TH_RANK_EXTENSION");
    p.threatDepth = optionInteger("THREAT_DEPTH") * 60;
    p.checksInQuiescence = optionInteger("CHECKS_IN_QUIESCENCE_SEARCH");
    p.hashQuiescence = optionOn("HASH_QUIESCENCE_SEARCH");
    // Eight thread slots exist; the clamp to 1..8 comes from the option's range.
    p.threadCount = optionInteger("Max CPUs");
    p.minimumSplitDepth = optionInteger("MINIMUM_TREE_SPLIT_DEPTH");
    p.ponder = optionOn("Ponder");
    // Held to 4..1024 megabytes by the option's range, so the byte count fits 32 bits.
    p.hashMegabytes = optionInteger("Hash");
    if (!resizeHash(uint32_t(p.hashMegabytes)))
        std::printf("info string hash table of %d MB could not be allocated; keeping %u KiB\n", p.hashMegabytes,
                    unsigned(clusterCount / 16));
    p.nalimovCache = optionInteger("NalimovCache");
    NalimovPathText = optionText("NalimovPath");
    refreshTablebases();
    p.multiPv = optionInteger("MultiPV");
    p.moveOverhead = optionInteger("Move Overhead");
    Chess960Castling = optionOn("UCI_Chess960");
    if (OptionRecord* clear = Options.findOption("Clear Hash"); clear && clear->on()) {
        clear->currentValue = "false";
        clearHash();
    }
    if (!ConfigureEvalCache(p.evalCacheEnabled != 0, p.evalCacheSize))
        std::printf("info string evaluation cache of %d MB could not be allocated; it stays off\n", p.evalCacheSize);
}

void refreshTablebases() {
    // A scan reopens every file and empties the block cache: only when its inputs change.
    static bool scanned = false;
    static std::string scannedPath;
    static int32_t scannedCache = 0;
    if (scanned && NalimovPathText == scannedPath && Parameters.nalimovCache == scannedCache) return;
    scanned = true;
    scannedPath = NalimovPathText;
    scannedCache = Parameters.nalimovCache;
    initTablebases(uint32_t(Parameters.nalimovCache), NalimovPathText.c_str());
}

}  // namespace brinz
