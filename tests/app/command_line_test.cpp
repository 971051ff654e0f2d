#include "app/command_line.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include "win/text.h"

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

namespace {

// Every split is compared with the system's own CommandLineToArgvW.
std::vector<std::wstring> SystemWords(const std::wstring& tail) {
    const std::wstring line = L"setup " + tail;
    int count = 0;
    LPWSTR* words = ::CommandLineToArgvW(line.c_str(), &count);
    std::vector<std::wstring> out;
    for (int i = 1; words && i < count; ++i) out.push_back(words[i]);
    ::LocalFree(words);
    return out;
}

class WordSplitting : public ::testing::TestWithParam<const wchar_t*> {};

TEST_P(WordSplitting, SplitsAsCommandLineToArgvWAndKnowsWhereEachWordStands) {
    const std::wstring tail = GetParam();
    const std::vector<CommandWord> words = SplitCommandWords(tail);
    const std::vector<std::wstring> expected = SystemWords(tail);
    ASSERT_EQ(words.size(), expected.size()) << "line: [" << win::ToAnsi(tail) << "]";
    for (size_t i = 0; i < words.size(); ++i) {
        EXPECT_EQ(words[i].text, expected[i]) << "word " << i << " of [" << win::ToAnsi(tail) << "]";
        // The raw characters of a word split to that word alone.
        const auto again = SplitCommandWords(tail.substr(words[i].begin, words[i].end - words[i].begin));
        ASSERT_EQ(again.size(), 1u);
        EXPECT_EQ(again[0].text, expected[i]);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Lines, WordSplitting,
    ::testing::Values(L"", L"   ", L"/quiet /type=client", L"\t/repair\t/type=server  ",
                      L"\"/clientdir=C:\\My Apps\\Corvanta\" /type=client", L"/clientdir=\"C:\\My Apps\\Corvanta\"",
                      L"/log=\"C:\\logs\\\" /quiet", L"a\\\\\"b c\" d", L"a\\\"b", L"\"a\"\"b\" c", L"\"a\"\"\"b\" c",
                      L"\"\"", L"x\"\"\"y", L"\\\\server\\share\\s.log", L"\"unterminated quote here"));

struct DialogModeCase {
    const wchar_t* tail;
    ModeFlags mode;
};

class DialogMode : public ::testing::TestWithParam<DialogModeCase> {};

TEST_P(DialogMode, SearchesTheModeWordsInTheLineWithoutItsSwitches) {
    EXPECT_EQ(DialogModeFlags(GetParam().tail), GetParam().mode) << win::ToAnsi(GetParam().tail);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, DialogMode,
    ::testing::Values(DialogModeCase{L"/log=C:\\repair\\s.log", MODE_INSTALL},
                      DialogModeCase{L"\"/log=C:\\my uninstall\\s.log\"", MODE_INSTALL},
                      DialogModeCase{L"/log=\"C:\\my uninstall\\s.log\" /modify", MODE_MODIFY},
                      DialogModeCase{L"/uninstall /type=client", MODE_UNINSTALL},
                      DialogModeCase{L"/repair /type=server /log=C:\\install.log", MODE_REPAIR},
                      DialogModeCase{L"/type=client", MODE_INSTALL},
                      // Not switches: no name, or no "=".
                      DialogModeCase{L"/=repair", MODE_REPAIR}, DialogModeCase{L"/repair", MODE_REPAIR},
                      DialogModeCase{L"x/log=repair", MODE_REPAIR}));

TEST(SwitchWords, HaveANameOfLettersAndDigitsAndAValue) {
    EXPECT_EQ(SwitchName("/log=C:\\a.log"), "log");
    EXPECT_EQ(SwitchName("/Server2=x"), "Server2");
    EXPECT_EQ(SwitchName("/port="), "port");
    EXPECT_EQ(SwitchName("/port"), std::nullopt);
    EXPECT_EQ(SwitchName("/=x"), std::nullopt);
    EXPECT_EQ(SwitchName("/my-log=x"), std::nullopt);
    EXPECT_EQ(SwitchName("log=x"), std::nullopt);
    EXPECT_EQ(SwitchValueOf("/hosts=a=b"), "a=b");
    EXPECT_TRUE(HasQuietWord({"/type=client", "/QUIET"}));
    EXPECT_FALSE(HasQuietWord({"/quieter", "quiet"}));
}

struct MaskCase {
    const wchar_t* line;
    const wchar_t* shown;
};

class SecretMasking : public ::testing::TestWithParam<MaskCase> {};

TEST_P(SecretMasking, HidesTheValuesOfPasswordSwitches) {
    EXPECT_EQ(MaskSecretSwitches(GetParam().line), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, SecretMasking,
    ::testing::Values(MaskCase{L"/quiet /sapwdfile=C:\\pw.txt /type=server", L"/quiet /sapwdfile=******** /type=server"},
                      MaskCase{L"/Password=Ab1$cd /port=80", L"/Password=******** /port=80"},
                      MaskCase{L"\"/passphrase=a b c\" /x", L"/passphrase=******** /x"},
                      MaskCase{L"/sqlpw=\"a b\" /type=both", L"/sqlpw=******** /type=both"},
                      MaskCase{L"/bypass=x", L"/bypass=********"}, MaskCase{L"/port=80 pass", L"/port=80 pass"},
                      MaskCase{L"\"C:\\Setup\\CorvantaSetup.exe\" /pw=1", L"\"C:\\Setup\\CorvantaSetup.exe\" /pw=********"}));

}  // namespace
