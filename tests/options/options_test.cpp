#include "options/options.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "support/engine_setup.h"

namespace brinz {
namespace {

class RegistryTest : public testing::Test {
protected:
    void SetUp() override {
        Options.clear();
        registerEngineParameters();
        registerUciOptions();
    }
    void TearDown() override {
        Options.clear();
        registerEngineParameters();
        registerUciOptions();
    }
};

TEST_F(RegistryTest, ListsTheVisibleOptionsByteForByte) {
    testing::internal::CaptureStdout();
    printUciOptions();
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "option name NalimovPath type string default c:\\tb \n"
              "option name NalimovCache type spin default 4 min 1 max 128\n"
              "option name Hash type spin default 64 min 4 max 1024\n"
              "option name Clear Hash type button \n"
              "option name Ponder type check default false \n"
              "option name Max CPUs type spin default 2 min 1 max 8\n"
              "option name MultiPV type spin default 1 min 1 max 32\n"
              "option name Move Overhead type spin default 10 min 0 max 5000\n"
              "option name UCI_Chess960 type check default false \n");
    EXPECT_EQ(Options.count(), 40);
}

TEST_F(RegistryTest, AFullRegistryRefusesMoreAndSaysSo) {
    // The start-up shuts the engine down on the flag; the registry itself stays whole.
    char name[32];
    testing::internal::CaptureStdout();
    while (Options.count() < OptionSlots) {
        std::snprintf(name, sizeof name, "FILL_%d", Options.count());
        ASSERT_TRUE(Options.addOption(name, "0", false, OPTION_SPIN, 0, 1));
    }
    EXPECT_FALSE(Options.overflowed());
    EXPECT_FALSE(Options.addOption("ONE_TOO_MANY", "0", false, OPTION_SPIN, 0, 1));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Demasiadas opciones\n");
    EXPECT_TRUE(Options.overflowed());
    EXPECT_EQ(Options.count(), OptionSlots);
    EXPECT_EQ(Options.findOption("ONE_TOO_MANY"), nullptr);
    Options.clear();
    EXPECT_FALSE(Options.overflowed());
}

TEST_F(RegistryTest, SetOptionReachesHiddenAndVisibleNamesInAnyCase) {
    struct Case {
        const char* line;
        const char* name;
        const char* value;
    } cases[] = {
        {"NULLMOVE value false\n", "NULLMOVE", "false"},
        {"Hash value 128\n", "Hash", "128"},
        {"hash value 16\n", "Hash", "16"},  // names match in any letter case
        {"null_move_reduction_END value 1\n", "NULL_MOVE_REDUCTION_END", "1"},
        {"Hash value 128\n", "Hash", "128"},
        {"Max CPUs value 4\r\n", "Max CPUs", "4"},
        {"NalimovPath value /tb/one;/tb/two\n", "NalimovPath", "/tb/one;/tb/two"},
        {"Clear Hash\n", "Clear Hash", "true"},
        {"Ponder\n", "Ponder", "true"},
        {"value 12\n", "Hash", "128"},
        {"NoSuchOption value 3\n", "Hash", "128"},
        {"LATE_MOVE_REDUCTION value\n", "LATE_MOVE_REDUCTION", ""},
        // Spin values that are not whole numbers once became the minimum or a partial number.
        {"Hash value abc\n", "Hash", "128"},
        {"Hash value 1e3\n", "Hash", "128"},
        {"Hash value 12abc\n", "Hash", "128"},
        {"Hash value\n", "Hash", "128"},
        {"Hash value -\n", "Hash", "128"},
        {"Hash value  256 \n", "Hash", " 256 "},
        {"Hash value -8\n", "Hash", "-8"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        const std::string before = Options.findOption(c.name)->currentValue;
        testing::internal::CaptureStdout();
        handleSetOption(c.line);
        const std::string said = testing::internal::GetCapturedStdout();
        EXPECT_EQ(Options.findOption(c.name)->currentValue, c.value);
        // A refused value says so; a value taken otherwise than written ("-8" is clamped) is
        // explained instead; never more than one line for one value.
        const bool refused = std::string(c.line).rfind("Hash value", 0) == 0 && before == c.value;
        const bool refusal = said.rfind("info string Hash: value ", 0) == 0 &&
                             said.find(" is not a whole number; ignored\n") != std::string::npos;
        EXPECT_EQ(refusal, refused) << said;
        EXPECT_LE(std::count(said.begin(), said.end(), '\n'), 1) << said;
    }
    testing::internal::CaptureStdout();
    printUciOptions();
    std::string listing = testing::internal::GetCapturedStdout();
    EXPECT_NE(listing.find("name Hash type spin default 64 "), std::string::npos) << "defaults never change";
}

// Values were once cut at 127 characters, so folders late in a long NalimovPath were
// never searched; names and registered defaults are still cut safely.
TEST_F(RegistryTest, LongValuesAreCarriedWholeAndLongNamesCutSafely) {
    std::string longName(500, 'x');
    handleSetOption((longName + " value 3\n").c_str());
    std::string longValue = "NalimovPath value " + std::string(600, 'p') + "\r\n";
    handleSetOption(longValue.c_str());
    EXPECT_EQ(Options.findOption("NalimovPath")->currentValue, std::string(600, 'p'));
    Options.addOption(std::string(300, 'n').c_str(), std::string(300, 'v').c_str(), false, OPTION_STRING, 0, 0);
    const OptionRecord& added = Options.record(Options.count() - 1);
    EXPECT_EQ(std::strlen(added.name), size_t(OptionNameSize - 1));
    EXPECT_EQ(std::strlen(added.defaultValue), size_t(OptionValueSize - 1));
}

TEST_F(RegistryTest, ApplyConvertsAndClamps) {
    handleSetOption("LATE_MOVE_REDUCTION value off\n");
    handleSetOption("REDUCE_ON value KNOWLEDGE\n");
    handleSetOption("FUTILITY_MARGIN1 value 100\n");
    handleSetOption("THREAT_DEPTH value 4\n");
    handleSetOption("AGGRESSIVENESS value 200\n");
    handleSetOption("COWARDICE value 50\n");
    handleSetOption("Hash value 100000\n");
    handleSetOption("Max CPUs value 99\n");
    handleSetOption("NalimovCache value -5\n");
    handleSetOption("STATIC_EVAL_CACHE_SIZE value 16384\n");
    handleSetOption("NULLMOVE value false\n");
    applyOptions(BLACK);
    EXPECT_EQ(Parameters.lateMoveReduction, 2);
    EXPECT_EQ(Parameters.reduceOn, 1);
    EXPECT_EQ(Parameters.futilityMargin1, 256);
    EXPECT_EQ(Parameters.threatDepth, 240);
    EXPECT_EQ(Parameters.kingSafetyWeight[WHITE], 200 * 128 / 100);
    EXPECT_EQ(Parameters.kingSafetyWeight[BLACK], 50 * 128 / 100);
    EXPECT_EQ(Parameters.hashMegabytes, 1024);
    EXPECT_EQ(Parameters.threadCount, 8);
    EXPECT_EQ(Parameters.nalimovCache, 1);
    EXPECT_EQ(Parameters.evalCacheSize, 128);
    EXPECT_EQ(Parameters.nullMoveEnabled, 0);
    EXPECT_EQ(Parameters.hashQuiescence, 1);
    handleSetOption("Hash value 0\n");
    handleSetOption("Max CPUs value -3\n");
    applyOptions(WHITE);
    EXPECT_EQ(Parameters.hashMegabytes, 4);
    EXPECT_EQ(Parameters.threadCount, 1);
}

TEST_F(RegistryTest, ParameterFileEntriesSetNamedOptions) {
    std::string path = testing::TempDir() + "brinz_registry_parameter_file.cfg";
    {
        std::ofstream file(path);
        file << "Hash = 256\nNULLMOVE=false\nhash = 8\nUnknown = 1\nNalimovPath = " << std::string(300, 'p') << "\n";
    }
    ParameterFile file(path.c_str(), "=", ";", "EndcConfigFile");
    std::remove(path.c_str());
    applyParameterFile(file);
    EXPECT_EQ(Options.findOption("Hash")->currentValue, "256");
    EXPECT_STREQ(Options.findOption("Hash")->defaultValue, "64");
    EXPECT_EQ(Options.findOption("NULLMOVE")->currentValue, "false");
    EXPECT_EQ(Options.findOption("NalimovPath")->currentValue, std::string(300, 'p'));
    // The file's keys keep their exact case: "hash = 8" names nothing.
    EXPECT_EQ(Options.findOption("hash", true), nullptr);
}

TEST_F(RegistryTest, LongNalimovPathIsCarriedWhole) {
    std::string path = "/a/very/long/tablebase/directory/name/that/goes/on,/and/another/one;" + std::string(200, 'd');
    handleSetOption(("NalimovPath value " + path + "\n").c_str());
    applyOptions(WHITE);
    EXPECT_EQ(NalimovPathText, path);
}

}  // namespace
}  // namespace brinz
