#include "app/command_line.h"

#include <gtest/gtest.h>

namespace {

struct ModeCase {
    const char* line;
    ModeFlags expected;
};

class ModeParsing : public ::testing::TestWithParam<ModeCase> {};

TEST_P(ModeParsing, GivesTheModeOfTheLastWordSearched) {
    EXPECT_EQ(ParseModeFlags(GetParam().line), GetParam().expected) << "line: [" << GetParam().line << "]";
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ModeParsing,
    ::testing::Values(ModeCase{"", MODE_INSTALL}, ModeCase{"     ", MODE_INSTALL}, ModeCase{"install", MODE_INSTALL},
                      ModeCase{"\t", 0}, ModeCase{" \t ", 0}, ModeCase{"/quiet /x", 0},
                      ModeCase{"INSTALL", 0}, ModeCase{"UNINSTALL", 0}, ModeCase{"/Repair", 0},
                      ModeCase{"reinstallation", MODE_INSTALL}, ModeCase{"-repair", MODE_REPAIR},
                      ModeCase{"\"C:\\Program Files\\TovinSoft\\CorvantaAI\\CorvantaSetup.exe\" /uninstall /type=client",
                               MODE_UNINSTALL},
                      ModeCase{"\"C:\\Program Files\\TovinSoft\\CorvantaAI\\CorvantaSetup.exe\" /repair /type=server",
                               MODE_REPAIR},
                      ModeCase{"\"C:\\Program Files\\TovinSoft\\CorvantaAI\\CorvantaSetup.exe\" /modify /type=client",
                               MODE_MODIFY},
                      ModeCase{"repair modify", MODE_MODIFY}, ModeCase{"modify repair", MODE_MODIFY},
                      ModeCase{"uninstall repair", MODE_UNINSTALL}, ModeCase{"install modify", MODE_MODIFY}));

TEST(ModeParsingLimits, OnlyTheFirst255CharactersAreSearched) {
    std::string line(250, 'x');
    EXPECT_EQ(ParseModeFlags(line + "repair"), 0u);
    EXPECT_EQ(ParseModeFlags(std::string(249, 'x') + "repair"), MODE_REPAIR);
}

TEST(CommandLineConversion, CutsLongLinesWithoutOverflow) {
    std::wstring wide(5000, L'a');
    EXPECT_EQ(CommandLineText(wide).size(), COMMAND_LINE_LIMIT);
    EXPECT_EQ(CommandLineText(L"/repair /type=server"), "/repair /type=server");
    EXPECT_EQ(CommandLineText(L""), "");
}

}  // namespace
