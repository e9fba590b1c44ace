#include "options/parameter_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <string>

namespace brinz {
namespace {

std::map<std::string, std::string> Read(const std::string& text) {
    // One file per test: the tests run in parallel processes.
    std::string path = testing::TempDir() + "brinz_parameter_file_" +
                       testing::UnitTest::GetInstance()->current_test_info()->name() + ".cfg";
    for (char& c : path)
        if (c == '/' && &c > &path[testing::TempDir().size()]) c = '_';
    {
        std::ofstream file(path, std::ios::binary);
        file << text;
    }
    ParameterFile table(path.c_str(), "=", ";", "EndcConfigFile");
    std::remove(path.c_str());
    return table.entries();
}

struct FileCase {
    const char* name;
    const char* text;
    std::map<std::string, std::string> expected;
};
void PrintTo(const FileCase& c, std::ostream* out) { *out << c.name; }

const FileCase Cases[] = {
    {"CommentsAndBlanks", "NULLMOVE = false ; off for tests\n  THREAT_DEPTH=4\r\n", {{"NULLMOVE", "false"}, {"THREAT_DEPTH", "4"}}},
    {"EndMarkerStopsReading", "A=1\nEndcConfigFile\nB=2\n", {{"A", "1"}}},
    {"EndMarkerInsideValue", "A=1\nB=xEndcConfigFilex\nC=3\n", {{"A", "1"}}},
    {"EndMarkerInCommentIgnored", "A=1 ; EndcConfigFile\nB=2\n", {{"A", "1"}, {"B", "2"}}},
    {"Continuation", "A = one\n two ; comment\nthree\n\nfour\nB=2", {{"A", "one\n two \nthree"}, {"B", "2"}}},
    {"ContinuationEndsAtNewEntry", "A = one\nB = two\n", {{"A", "one"}, {"B", "two"}}},
    {"ContinuationEndsAtEndMarker", "A = one\nEndcConfigFile\nB=2", {{"A", "one"}}},
    {"RepeatedKeyKeepsLast", "A=1\nA=2\n", {{"A", "2"}}},
    {"LinesWithoutDelimiterIgnored", "just text\nA=1\n", {{"A", "1"}}},
    {"EmptyKey", "=value\n", {{"", "value"}}},
    {"NoTrailingNewline", "A=1", {{"A", "1"}}},
};

class ParameterFileTest : public testing::TestWithParam<FileCase> {};

TEST_P(ParameterFileTest, ReadsEntries) { EXPECT_EQ(Read(GetParam().text), GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(Options, ParameterFileTest, testing::ValuesIn(Cases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ParameterFile, MissingFileGivesEmptyTable) {
    ParameterFile table("/nonexistent/brinz.cfg", "=", ";", "EndcConfigFile");
    EXPECT_TRUE(table.entries().empty());
}

}  // namespace
}  // namespace brinz
