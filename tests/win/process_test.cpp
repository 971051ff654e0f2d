// Starting a program and reading what its exit code means.
#include "win/process.h"

#include <gtest/gtest.h>

namespace {

TEST(InstallerExitCodes, MeanSuccessRestartOrFailure) {
    using win::InstallerOutcome;
    const struct {
        DWORD code;
        InstallerOutcome outcome;
    } cases[] = {
        {0, InstallerOutcome::Success},          {3010, InstallerOutcome::RestartRequired},
        {1641, InstallerOutcome::RestartRequired}, {1, InstallerOutcome::Failure},
        {1602, InstallerOutcome::Failure},       {1603, InstallerOutcome::Failure},
        {1618, InstallerOutcome::Failure},       {3011, InstallerOutcome::Failure},
        {0x80070005, InstallerOutcome::Failure}, {0xFFFFFFFF, InstallerOutcome::Failure},
    };
    for (const auto& c : cases) EXPECT_EQ(win::ClassifyExitCode(c.code), c.outcome) << c.code;
}

std::string SystemProgram(const char* name) {
    char folder[MAX_PATH] = {};
    ::GetSystemDirectoryA(folder, MAX_PATH);
    return std::string(folder) + "\\" + name;
}

TEST(Processes, GiveTheirExitCodeAndTheirOutput) {
    std::string output;
    const auto code = win::RunProcess(SystemProgram("cmd.exe"), "cmd.exe /c echo first& echo second& exit 7", "C:\\",
                                      [&](std::string_view piece) { output.append(piece); });
    ASSERT_TRUE(code.has_value());
    EXPECT_EQ(*code, 7u);
    EXPECT_NE(output.find("first"), std::string::npos) << output;
    EXPECT_NE(output.find("second"), std::string::npos) << output;
}

TEST(Processes, ThatCannotStartGiveNothingAndSayWhy) {
    const auto code = win::RunProcess("C:\\no such folder\\missing.exe", "missing.exe", "C:\\");
    EXPECT_FALSE(code.has_value());
    const DWORD error = ::GetLastError();
    EXPECT_TRUE(error == ERROR_PATH_NOT_FOUND || error == ERROR_FILE_NOT_FOUND) << error;
}

}  // namespace
