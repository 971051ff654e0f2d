// The command line of a quiet run, the log's place and header, the exit
// codes and the answers nobody gives: decisions on plain values.
#include "app/quiet_options.h"

#include <gtest/gtest.h>

#include "app/log_place.h"
#include "app/quiet_observer.h"
#include "app/startup.h"
#include "core/report.h"
#include "core/setup_log.h"
#include "setup/choice_rules.h"
#include "setup/shortcut.h"

namespace {

std::vector<std::string> Split(const std::string& line) {
    std::vector<std::string> words;
    size_t at = 0;
    while (at < line.size()) {
        const size_t end = line.find(' ', at);
        words.push_back(line.substr(at, end == std::string::npos ? std::string::npos : end - at));
        if (end == std::string::npos) break;
        at = end + 1;
    }
    return words;
}

QuietChoice Choose(const std::string& line) { return ChooseQuietRun(ReadQuietWords(Split(line))); }

struct RefusalCase {
    const char* line;
    const char* refusal;
};

class QuietRefusals : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(QuietRefusals, NameTheSwitchAndTheFieldsOwnMessage) {
    const QuietChoice choice = Choose(GetParam().line);
    EXPECT_FALSE(choice.choices.has_value()) << GetParam().line;
    EXPECT_EQ(choice.refusal, GetParam().refusal) << GetParam().line;
}

INSTANTIATE_TEST_SUITE_P(
    Lines, QuietRefusals,
    ::testing::Values(
        RefusalCase{"/quiet", "/type: required"},
        RefusalCase{"/quiet /type=everything", "/type: Please select Client or Server Setup or Both"},
        RefusalCase{"/quiet /type=server", "/port: required with /type=server"},
        RefusalCase{"/quiet /type=both /port=999",
                    "/port: Please select Port 80 for Http, 443 for Https or port No >1000 like  1064 for custom"},
        RefusalCase{"/quiet /type=server /port=70000",
                    "/port: Please select Port 80 for Http, 443 for Https or port No >1000 like  1064 for custom"},
        RefusalCase{"/quiet /type=server /port=abc", "/port: Please enter Server Port"},
        RefusalCase{"/quiet /type=server /port=", "/port: empty"},
        RefusalCase{"/quiet /type=server /port", "/port: empty"},
        RefusalCase{"/quiet /type=client /type=client", "/type: given twice"},
        RefusalCase{"/quiet /type=client /colour=red", "/colour: unknown switch"},
        RefusalCase{"/quiet /type=client now", "now: unknown switch"},
        RefusalCase{"/quiet /type=client /bitsize=16", "/bitsize: must be 64, 32 or ai"},
        RefusalCase{"/quiet /type=server /port=80 /edition=gold", "/edition: Please select the Edition of the Server"},
        RefusalCase{"/quiet /type=server /port=80 /sql=maybe",
                    "/sql: Please select whether you want to install SQL Server"},
        RefusalCase{"/quiet /type=server /port=80 /sql=yes", "/sapwdfile: required with /sql=yes"},
        RefusalCase{"/quiet /type=client /proxy=proxy.corp", "/proxy: must be host:port"},
        RefusalCase{"/quiet /type=client /server=a:b:c", "/server: must be host or host:port"},
        RefusalCase{"/quiet /repair /type=client /server=a:99999", "/server: must be host or host:port"},
        RefusalCase{"/quiet /type=client /clientdir=C:\\x /clientdir=C:\\y", "/clientdir: given twice"}));

TEST(QuietRefusalsOfBlanks, UseTheFieldsMessage) {
    const QuietChoice choice = ChooseQuietRun(ReadQuietWords({"/quiet", "/type=client", "/clientdir=   "}));
    EXPECT_EQ(choice.refusal, "/clientdir: Please enter Client Directory");
}

TEST(QuietRefusalsOfLength, UseTheFieldsWidth) {
    const QuietChoice choice = Choose("/quiet /type=client /clientdir=C:\\" + std::string(300, 'a'));
    EXPECT_EQ(choice.refusal,
              "/clientdir: The field Client Directory takes at most 255 characters. Please enter a shorter text.");
}

TEST(QuietChoices, TakeTheDefaultsOfTheDialog) {
    const QuietChoice both = Choose("/quiet /type=both /port=8080");
    ASSERT_TRUE(both.choices) << both.refusal;
    EXPECT_EQ(both.choices->mode, QuietMode::Install);
    EXPECT_EQ(both.choices->setupFlags, SETUP_CLIENT | SETUP_SERVER | SETUP_BITS_64);
    EXPECT_EQ(both.choices->clientDirectory, "c:\\Corvanta10App");
    EXPECT_EQ(both.choices->serverDirectory, "c:\\TCorvanta10");
    EXPECT_EQ(both.choices->edition, "Starter");
    EXPECT_EQ(both.choices->port, 8080);
    EXPECT_FALSE(both.choices->sql);
    EXPECT_FALSE(both.choices->proxy);

    const QuietChoice ai = Choose("/QUIET Modify /TYPE=Client /BitSize=AI");
    ASSERT_TRUE(ai.choices) << ai.refusal;
    EXPECT_EQ(ai.choices->mode, QuietMode::Modify);
    EXPECT_EQ(ai.choices->setupFlags, SETUP_CLIENT | SETUP_AI_CLIENT);
    EXPECT_EQ(ai.choices->clientDirectory, "c:\\CorvantaAIApp");
}

TEST(QuietChoices, SetTheBitsTheServerNeeds) {
    const QuietChoice choice =
        Choose("/quiet /type=server /edition=summit /port=1465 /sql=yes /sapwdfile=C:\\pw.txt /bitsize=32");
    ASSERT_TRUE(choice.choices) << choice.refusal;
    EXPECT_EQ(choice.choices->setupFlags,
              SETUP_SERVER | SETUP_BITS_32 | SETUP_EDITION_SUMMIT | SETUP_INFO_SERVER_PORT);
    EXPECT_EQ(choice.choices->edition, "Summit");
    EXPECT_TRUE(choice.choices->sql);
    EXPECT_EQ(choice.choices->passwordFile, "C:\\pw.txt");
}

TEST(QuietChoices, TakeTheFirstModeWordAndNameTheSwitchesTheRunDoesNotUse) {
    const QuietChoice repair = Choose("/quiet repair /uninstall /type=server /port=80 /proxy=p:8080 /log=C:\\s.log");
    ASSERT_TRUE(repair.choices) << repair.refusal;
    EXPECT_EQ(repair.choices->mode, QuietMode::Repair);
    EXPECT_EQ(repair.choices->ignored, std::vector<std::string>{"/port"});
    EXPECT_EQ(repair.choices->proxy, "p:8080");

    const QuietChoice client = Choose("/quiet /type=client /port=80 /sapwdfile=x /hosts=a");
    ASSERT_TRUE(client.choices) << client.refusal;
    EXPECT_EQ(client.choices->ignored, (std::vector<std::string>{"/hosts", "/port", "/sapwdfile"}));
}

TEST(QuietWordsOfTheLog, CountOnlyWhenGivenOnceWithAValue) {
    EXPECT_EQ(ReadQuietWords(Split("/quiet /port=1 /log=C:\\s.log /type=x")).log, "C:\\s.log");
    EXPECT_EQ(ReadQuietWords(Split("/quiet /log=a /log=b")).log, std::nullopt);
    EXPECT_EQ(ReadQuietWords(Split("/quiet /log=a /log=b")).refusal, "/log: given twice");
    EXPECT_EQ(ReadQuietWords(Split("/quiet /log= /log=b")).log, std::nullopt);
    // The log is known even when an earlier word is refused.
    const QuietWords words = ReadQuietWords(Split("/quiet /nonsense=1 /log=C:\\s.log"));
    EXPECT_EQ(words.refusal, "/nonsense: unknown switch");
    EXPECT_EQ(words.log, "C:\\s.log");
}

std::optional<std::string> AsIs(std::string_view utf8) { return std::string(utf8); }
std::optional<std::string> NotInCodePage(std::string_view) { return std::nullopt; }

TEST(PasswordFiles, GiveTheirFirstLineTrimmed) {
    EXPECT_EQ(PasswordFromFile("Ab1$cd\r\nsecond line\r\n", AsIs), "Ab1$cd");
    EXPECT_EQ(PasswordFromFile("Ab1$cd  \n", AsIs), "Ab1$cd");
    EXPECT_EQ(PasswordFromFile(" Ab1$ cd", AsIs), " Ab1$ cd");
    EXPECT_EQ(PasswordFromFile("\xEF\xBB\xBF" "Ab1$cd\r\n", AsIs), "Ab1$cd");
    EXPECT_EQ(PasswordFromFile("", AsIs), "");
    EXPECT_EQ(PasswordFromFile("\xEF\xBB\xBF" "\xE2\x82\xAC", NotInCodePage), std::nullopt);
    // Without the mark the bytes are ANSI and nothing is converted.
    EXPECT_EQ(PasswordFromFile("Ab1$c\xE9", NotInCodePage), "Ab1$c\xE9");
    EXPECT_EQ(PasswordFileProblem(""), "Please enter your password for SQL Server");
    EXPECT_EQ(PasswordFileProblem("ab1$cd"),
              "Password should consist of atleast 1 upper character, 1 lower character, 1 numeric digit and 1 special "
              "character ");
    EXPECT_EQ(PasswordFileProblem("Ab1$" + std::string(60, 'x')),
              "The field Enter Your Password takes at most 63 characters. Please enter a shorter text.");
    EXPECT_EQ(PasswordFileProblem("Ab1$cd"), std::nullopt);
}

TEST(Ports, AreTheWebPortsOrFrom1000ToTheHighestTcpPort) {
    for (long port : {80L, 443L, 1000L, 1465L, 65535L}) EXPECT_TRUE(PortInRange(port)) << port;
    for (long port : {0L, 79L, 999L, 65536L, 2147483647L, -80L}) EXPECT_FALSE(PortInRange(port)) << port;
}

struct ExitCase {
    bool invalid, cancelled;
    int failed;
    bool restart;
    unsigned code;
};

class ExitCodes : public ::testing::TestWithParam<ExitCase> {};

TEST_P(ExitCodes, TakeTheFirstRowThatApplies) {
    RunReport report;
    report.invalidCommandLine = GetParam().invalid;
    report.cancelled = GetParam().cancelled;
    report.failedSteps = GetParam().failed;
    report.restartRequired = GetParam().restart;
    EXPECT_EQ(ExitCodeFor(report), GetParam().code);
}

INSTANTIATE_TEST_SUITE_P(Reports, ExitCodes,
                         ::testing::Values(ExitCase{false, false, 0, false, 0}, ExitCase{false, false, 0, true, 3010},
                                           ExitCase{false, false, 2, true, 1}, ExitCase{false, true, 2, true, 1602},
                                           ExitCase{true, true, 2, true, 1639}, ExitCase{false, true, 0, false, 1602}));

TEST(UnansweredBoxes, GetTheirDefaultButton) {
    EXPECT_EQ(DefaultAnswer(MB_OK | MB_ICONERROR), IDOK);
    EXPECT_EQ(DefaultAnswer(MB_YESNO), IDYES);
    EXPECT_EQ(DefaultAnswer(MB_YESNOCANCEL | MB_DEFBUTTON2 | MB_ICONINFORMATION), IDNO);
    EXPECT_EQ(DefaultAnswer(MB_YESNOCANCEL | MB_DEFBUTTON3), IDCANCEL);
    EXPECT_EQ(DefaultAnswer(MB_OKCANCEL | MB_DEFBUTTON2), IDCANCEL);
    EXPECT_EQ(DefaultAnswer(MB_YESNO | MB_DEFBUTTON3), IDYES) << "no third button: the first";
    EXPECT_EQ(DefaultAnswer(MB_RETRYCANCEL), IDRETRY);
}

TEST(LogPlaces, FollowTheSwitchTheStartFolderOrTheWindowsFolder) {
    EXPECT_EQ(LogPathFromSwitch("C:\\logs\\s.log", "D:\\setup"), "C:\\logs\\s.log");
    EXPECT_EQ(LogPathFromSwitch("\\\\server\\logs\\s.log", "D:\\setup"), "\\\\server\\logs\\s.log");
    EXPECT_EQ(LogPathFromSwitch("logs\\s.log", "D:\\setup"), "D:\\setup\\logs\\s.log");
    EXPECT_EQ(LogPathFromSwitch("\\logs\\s.log", "D:\\setup"), "D:\\logs\\s.log");
    const std::string name = LOG_FILE_NAME;
    EXPECT_EQ(DefaultLogPath("D:\\setup", "C:\\windows", "C:\\ProgramData\\L"), "D:\\setup\\" + name);
    EXPECT_EQ(DefaultLogPath("C:\\Windows\\system32", "C:\\windows", "C:\\ProgramData\\L"), "C:\\ProgramData\\L\\" + name);
    EXPECT_EQ(DefaultLogPath("C:\\WINDOWS", "C:\\windows\\", "C:\\ProgramData\\L"), "C:\\ProgramData\\L\\" + name);
    EXPECT_EQ(DefaultLogPath("C:\\windows2", "C:\\windows", "C:\\ProgramData\\L"), "C:\\windows2\\" + name);
    EXPECT_EQ(DefaultLogPath("C:\\", "C:\\windows", "C:\\ProgramData\\L"), "C:\\" + name);
}

TEST(LogHeaders, SayWhoStartedWhatWhenAndHow) {
    LogHeaderFacts facts{"10.1.3", "2026-12-09 07:05:00", 60, "CORP\\admin", "setup.exe /quiet /pw=********"};
    EXPECT_EQ(ComposeLogHeader(facts),
              "Corvanta Setup 10.1.3 started 2026-12-09 07:05:00 (UTC+01:00) as CORP\\admin; command line: setup.exe "
              "/quiet /pw=********\r\n");
    EXPECT_EQ(UtcOffsetText(0), "+00:00");
    EXPECT_EQ(UtcOffsetText(-330), "-05:30");
    EXPECT_EQ(UtcOffsetText(345), "+05:45");
    SYSTEMTIME utc = {2026, 12, 3, 31, 23, 50, 0, 0};
    SYSTEMTIME local = {2027, 1, 5, 1, 5, 20, 0, 0};
    EXPECT_EQ(UtcOffsetMinutes(utc, local), 330) << "across the turn of the year";
    EXPECT_EQ(UtcOffsetMinutes(local, utc), -330);
    SYSTEMTIME late = utc;
    late.wSecond = 59;  // the second clock read a moment later
    EXPECT_EQ(UtcOffsetMinutes(utc, late), 1);
    EXPECT_EQ(LocalTimeText(local), "2027-01-01 05:20:00");
}

TEST(Shortcuts, GoToAllUsersWhenTheSetupRunsAsLocalSystem) {
    EXPECT_EQ(ShortcutFoldersFor(true).programs, &FOLDERID_CommonPrograms);
    EXPECT_EQ(ShortcutFoldersFor(true).desktop, &FOLDERID_PublicDesktop);
    EXPECT_EQ(ShortcutFoldersFor(false).programs, &FOLDERID_Programs);
    EXPECT_EQ(ShortcutFoldersFor(false).desktop, &FOLDERID_Desktop);
}

}  // namespace
