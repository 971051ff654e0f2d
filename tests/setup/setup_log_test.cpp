#include "core/setup_log.h"

#include <gtest/gtest.h>

#include "support/dialog_fixture.h"

namespace {

TEST(LogLineComposition, PrefixesByTheFirstMatchingCategoryBit) {
    EXPECT_EQ(ComposeLogLine(LOG_CLIENT, "m", std::nullopt, std::nullopt), "Client Setup:m\r\n");
    EXPECT_EQ(ComposeLogLine(LOG_SERVER, "m", std::nullopt, std::nullopt), "Server Setup:m\r\n");
    EXPECT_EQ(ComposeLogLine(LOG_SQL, "m", std::nullopt, std::nullopt), "SQL Server Install:m\r\n");
    EXPECT_EQ(ComposeLogLine(LOG_UI, "m", std::nullopt, std::nullopt), "User Interface:m\r\n");
    EXPECT_EQ(ComposeLogLine(LOG_CLIENT | LOG_SERVER, "m", std::nullopt, std::nullopt), "Client Setup:m\r\n");
    EXPECT_EQ(ComposeLogLine(LOG_SQL | LOG_UI, "m", std::nullopt, std::nullopt), "User Interface:m\r\n");
    EXPECT_EQ(ComposeLogLine(0x1, "m", std::nullopt, std::nullopt), "m\r\n");
}

TEST(LogLineComposition, AddsASeparatorForEveryPresentDetailEvenWhenEmpty) {
    EXPECT_EQ(ComposeLogLine(LOG_CLIENT, "Client Directory", "c:\\Corvanta10App\\", std::nullopt),
              "Client Setup:Client Directory;c:\\Corvanta10App\\\r\n");
    EXPECT_EQ(ComposeLogLine(LOG_UI, "m", "", std::nullopt), "User Interface:m;\r\n");
    EXPECT_EQ(ComposeLogLine(LOG_SERVER, "Downloading", "host", "downloads/x.cab"),
              "Server Setup:Downloading;host;downloads/x.cab\r\n");
    EXPECT_EQ(ComposeLogLine(LOG_SERVER, "m", "", ""), "Server Setup:m;;\r\n");
}

TEST(LogLineComposition, CutsAnOverlongLineAtTheLimitAndStillEndsItWithCrLf) {
    const std::string line = ComposeLogLine(LOG_SERVER, std::string(5000, 'x'), std::nullopt, std::nullopt);
    EXPECT_EQ(line.size(), LOG_LINE_LIMIT);
    EXPECT_EQ(line.substr(line.size() - 2), "\r\n");
    EXPECT_EQ(line.rfind("Server Setup:xxx", 0), 0u);
}

TEST(LogFilePath, HasExactlyOneBackslashBeforeTheFileName) {
    EXPECT_EQ(LogFilePathIn("C:\\work"), "C:\\work\\TovinSoft CorvantaAI  Setup v10.1.3.Log");
    EXPECT_EQ(LogFilePathIn("C:\\work\\"), "C:\\work\\TovinSoft CorvantaAI  Setup v10.1.3.Log");
    EXPECT_EQ(LogFilePathIn("C:\\"), "C:\\TovinSoft CorvantaAI  Setup v10.1.3.Log");
    EXPECT_EQ(LogFilePathIn("C:\\work   "), "C:\\work\\TovinSoft CorvantaAI  Setup v10.1.3.Log");
    EXPECT_EQ(LogFilePathIn("C:\\work\\  "), "C:\\work\\TovinSoft CorvantaAI  Setup v10.1.3.Log");
}

TEST(CreateProcessFailure, KeepsTheSystemTextOrSaysThereIsNone) {
    EXPECT_EQ(CreateProcessFailureText(2, "File not found.\r\n"), "CreateProcess failed (2): File not found.\r\n");
    EXPECT_EQ(CreateProcessFailureText(999999, ""), "CreateProcess failed (999999): (no message)");
}

class SetupLogFile : public ContextTest {};

TEST_F(SetupLogFile, StartsFreshAndAppendsEveryLine) {
    ASSERT_TRUE(WriteFileText(context.LogFilePath(), "a log of an earlier run\r\n"));
    EXPECT_EQ(context.Log(LOG_UI, "Begin updating Software"), 1);
    EXPECT_EQ(context.Log(LOG_CLIENT, "Client Directory", "c:\\x\\"), 1);
    EXPECT_EQ(LogText(), "User Interface:Begin updating Software\r\nClient Setup:Client Directory;c:\\x\\\r\n");
    // The build trusts only its own test key, and its log says so first.
    EXPECT_EQ(ReadFileText(context.LogFilePath()).rfind("User Interface:Package signatures: test key of this build\r\n"
                                                        "User Interface:Begin updating Software\r\n", 0),
              0u);
}

TEST_F(SetupLogFile, IsNotWrittenThroughALinkUnderItsName) {
    // The test machine plants a link under the log's name in this folder.
    const std::string target = "C:\\CorvantaLinks\\elsewhere\\target.txt";
    const std::string before = ReadFileText(target);
    ASSERT_FALSE(before.empty()) << "the machine's planted links are missing";
    context.startDirectory = "C:\\CorvantaLinks\\start";
    EXPECT_EQ(context.Log(LOG_UI, "Begin updating Software"), 1);
    EXPECT_FALSE(context.logFile.Valid());
    EXPECT_EQ(ReadFileText(target), before);
    context.startDirectory = startFolder.Path();
    // A folder under the log's name is no log either; a plain file is.
    ASSERT_TRUE(::CreateDirectoryA((startFolder / "folder.log").c_str(), nullptr));
    EXPECT_FALSE(OpenLogFile(startFolder / "folder.log").Valid());
    ASSERT_TRUE(WriteFileText(startFolder / "plain.log", "earlier run\r\n"));
    win::FileHandle plain = OpenLogFile(startFolder / "plain.log");
    EXPECT_TRUE(plain.Valid());
    plain.Reset();
    EXPECT_EQ(ReadFileText(startFolder / "plain.log"), "") << "started afresh";
}

TEST_F(SetupLogFile, ShowsEveryLineInTheStatusLine) {
    OpenDialog(113, MODE_MODIFY);
    context.Log(LOG_SERVER, "Installing Website");
    EXPECT_EQ(ControlText(40001), "Server Setup:Installing Website\r\n");
}

TEST_F(SetupLogFile, StillShowsAndAnswersOneWhenTheFileCannotBeCreated) {
    OpenDialog(113, MODE_MODIFY);
    context.startDirectory = startFolder / "missing\\folder";
    EXPECT_EQ(context.Log(LOG_SERVER, "first"), 1);
    EXPECT_EQ(context.Log(LOG_SERVER, "second"), 1);
    EXPECT_EQ(ControlText(40001), "Server Setup:second\r\n");
    EXPECT_FALSE(context.logFile.Valid());
    // No second attempt: the file does not appear once the folder exists.
    ASSERT_TRUE(::CreateDirectoryA((startFolder / "missing").c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryA((startFolder / "missing\\folder").c_str(), nullptr));
    context.Log(LOG_SERVER, "third");
    EXPECT_FALSE(FileExists(context.LogFilePath()));
}

TEST_F(SetupLogFile, LosesLinesWrittenAfterItWasClosed) {
    context.Log(LOG_UI, "Successfully updated Software");
    context.CloseLog();
    context.Log(LOG_UI, "late");
    EXPECT_EQ(LogText(), "User Interface:Successfully updated Software\r\n");
}

TEST_F(SetupLogFile, ReportsAFailedProcessStartWithTheSystemText) {
    ::SetLastError(ERROR_FILE_NOT_FOUND);
    context.LogCreateProcessFailure();
    const std::string log = LogText();
    EXPECT_EQ(log.rfind("Server Setup:CreateProcess failed (2): ", 0), 0u) << log;
    EXPECT_NE(log.find("\r\n\r\n"), std::string::npos) << "the system text keeps its own line end";
}

}  // namespace
