// The swap of staged files into an installed product: its plan, its journal,
// and what the next run does with a swap stopped between any two moves.
#include "setup/file_swap.h"

#include <gtest/gtest.h>

#include <set>

#include "setup/folders.h"
#include "support/dialog_fixture.h"
#include "support/registry.h"

namespace {

TEST(SwapPlan, BacksUpWhatIsReplacedAndTheLibrariesBeforeTheStagedFilesMoveIn) {
    const SwapJournal journal = PlanSwap("server", "C:\\Srv", "C:\\Srv\\Update\\staging", "C:\\Srv\\Update\\backup",
                                         "TCorvanta10", {"TCorvanta10.dll", "new.txt"},
                                         {"tcorvanta10.dll", "Old.dll", "web.config", "keep.DLL", "data.bak"}, true);
    EXPECT_EQ(journal.backupMoves, 2u);
    EXPECT_EQ(journal.moves, (std::vector<FileMove>{
                                 {"C:\\Srv\\tcorvanta10.dll", "C:\\Srv\\Update\\backup\\tcorvanta10.dll"},
                                 {"C:\\Srv\\Old.dll", "C:\\Srv\\Update\\backup\\Old.dll"},
                                 {"C:\\Srv\\Update\\staging\\TCorvanta10.dll", "C:\\Srv\\TCorvanta10.dll"},
                                 {"C:\\Srv\\Update\\staging\\new.txt", "C:\\Srv\\new.txt"}}))
        << "web.config, data and a library named in capitals stay";
    const SwapJournal client = PlanSwap("client", "C:\\App", "C:\\App\\Update\\staging", "C:\\App\\Update\\backup", "",
                                        {"a.exe"}, {"a.exe", "b.dll"}, false);
    EXPECT_EQ(client.backupMoves, 1u) << "the client removes no library";
}

TEST(SwapJournal, IsReadBackAsWrittenAndRefusedWhenItIsNotOne) {
    SwapJournal journal = PlanSwap("client", "C:\\App", "C:\\App\\Update\\staging", "C:\\App\\Update\\backup", "pool",
                                   {"a.exe", "b.dll"}, {"a.exe"}, false);
    const std::string written = JournalHeaderText(journal) + JournalDoneLine(1) + JournalDoneLine(2);
    const auto read = ParseJournal(written);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->product, "client");
    EXPECT_EQ(read->target, "C:\\App");
    EXPECT_EQ(read->pool, "pool");
    EXPECT_EQ(read->moves, journal.moves);
    EXPECT_EQ(read->backupMoves, 1u);
    EXPECT_TRUE(read->begun);
    EXPECT_EQ(read->done, 2u);
    // A last line cut short by the end of the disk write counts for nothing.
    EXPECT_EQ(ParseJournal(JournalHeaderText(journal) + JournalDoneLine(1) + "do")->done, 1u);
    const std::string header = JournalHeaderText(journal);
    for (const std::string& bad : {std::string(), std::string("not a journal\r\n"),
                                   header.substr(header.find('\n') + 1),           // no first line
                                   header + "done\t9\r\n",                           // more moves than planned
                                   header + "move\tx\ty\r\n",                        // a move after begin
                                   std::string("corvanta swap journal 1\r\nproduct\tserver\r\n")}) {
        EXPECT_FALSE(ParseJournal(bad)) << bad;
    }
    const auto unbegun = ParseJournal(header.substr(0, header.rfind("begin")));
    ASSERT_TRUE(unbegun);
    EXPECT_FALSE(unbegun->begun);
}

// The files of a swap of two replaced files and one new one, by move: where
// each file is after the first `done` moves.
struct SwapState {
    const char* name;
    size_t done;            // moves made
    size_t recorded;        // moves the journal got to record
    bool stagedFileLost;    // a staged file still to move in is gone
    RecoveryWay way;
    size_t movesToMake;
};

class Recoveries : public ::testing::TestWithParam<SwapState> {};

TEST_P(Recoveries, FinishWhenTheStagedFilesAreThereAndUndoOtherwise) {
    const SwapState& state = GetParam();
    SwapJournal journal = PlanSwap("server", "T", "S", "B", "", {"a", "b", "c"}, {"a", "b"}, false);
    ASSERT_EQ(journal.moves.size(), 5u);
    journal.begun = true;
    journal.done = state.recorded;
    std::set<std::string> files = {"T\\a", "T\\b", "S\\a", "S\\b", "S\\c"};
    for (size_t i = 0; i < state.done; ++i) {
        files.erase(journal.moves[i].from);
        files.insert(journal.moves[i].to);
    }
    if (state.stagedFileLost) files.erase("S\\c");
    auto exists = [&](const std::string& path) { return files.count(path) != 0; };
    const size_t done = MovesDone(journal, exists);
    EXPECT_EQ(done, state.done) << "the disk tells a move its line did not get to record";
    const Recovery recovery = PlanRecovery(journal, done, exists);
    EXPECT_EQ(recovery.way, state.way);
    EXPECT_EQ(recovery.moves.size(), state.movesToMake);
    for (const FileMove& move : recovery.moves) {
        files.erase(move.from);
        files.insert(move.to);
    }
    if (state.way == RecoveryWay::Forward) {
        EXPECT_EQ(files, (std::set<std::string>{"T\\a", "T\\b", "T\\c", "B\\a", "B\\b"}));
    } else {
        std::set<std::string> back = {"T\\a", "T\\b", "S\\a", "S\\b", "S\\c"};
        if (state.stagedFileLost) back.erase("S\\c");
        EXPECT_EQ(files, back);
    }
}

INSTANTIATE_TEST_SUITE_P(
    States, Recoveries,
    ::testing::Values(SwapState{"BeforeAnyMove", 0, 0, false, RecoveryWay::Forward, 5},
                      SwapState{"AfterTheFirstBackup", 1, 1, false, RecoveryWay::Forward, 4},
                      SwapState{"AMoveItsLineMissed", 2, 1, false, RecoveryWay::Forward, 3},
                      SwapState{"AfterTheBackups", 2, 2, false, RecoveryWay::Forward, 3},
                      SwapState{"InTheMiddleOfMovingIn", 4, 4, false, RecoveryWay::Forward, 1},
                      SwapState{"AfterEveryMove", 5, 5, false, RecoveryWay::Forward, 0},
                      SwapState{"AStagedFileGoneBeforeAnyMove", 0, 0, true, RecoveryWay::Back, 0},
                      SwapState{"AStagedFileGoneAfterTheBackups", 2, 2, true, RecoveryWay::Back, 2},
                      SwapState{"AStagedFileGoneWhileMovingIn", 4, 4, true, RecoveryWay::Back, 4}),
    [](const auto& info) { return std::string(info.param.name); });

// The real thing on real files: a swap stopped dead after any number of
// moves, then the next run.
class StoppedSwaps : public ContextTest, public ::testing::WithParamInterface<int> {
protected:
    void SetUp() override {
        for (const char* folder : {"T", "T\\Update", "T\\Update\\staging", "T\\Update\\backup"}) {
            ::CreateDirectoryA((startFolder / folder).c_str(), nullptr);
        }
        WriteFileText(Target("a.dll"), "old a");
        WriteFileText(Target("gone.dll"), "old library, not in the update");
        WriteFileText(Target("web.config"), "the site's own settings");
        WriteFileText(Staged("a.dll"), "new a");
        WriteFileText(Staged("b.exe"), "new b");
    }
    std::string Target(const std::string& name) { return startFolder / ("T\\" + name); }
    std::string Staged(const std::string& name) { return startFolder / ("T\\Update\\staging\\" + name); }
    SwapJournal Plan() {
        return PlanSwap("server", startFolder / "T", startFolder / "T\\Update\\staging",
                        startFolder / "T\\Update\\backup", "", FileNamesIn(startFolder / "T\\Update\\staging"),
                        FileNamesIn(startFolder / "T"), true);
    }
    RegistryCleanup pending{HKEY_LOCAL_MACHINE, {PENDING_SWAP_KEY}};
    std::vector<std::string> poolCalls;
    PoolControl pool = [this](const std::string& name, bool start) { poolCalls.push_back(name + (start ? " start" : " stop")); };
};

TEST_P(StoppedSwaps, AreFinishedByTheNextRun) {
    const int stopAfter = GetParam();
    int moves = 0;
    SwapJournal journal = Plan();
    journal.pool = "TCorvanta10";
    EXPECT_FALSE(ApplySwap(context, LOG_SERVER, journal, pool, [&](const FileMove& move) {
        return moves++ == stopAfter ? MoveResult::Stopped : RenameWritingThrough(move);
    }));
    EXPECT_NE(RegistryString(HKEY_LOCAL_MACHINE, PENDING_SWAP_KEY, PENDING_SWAP_VALUE), "<absent>");
    FinishPendingSwap(context, pool);
    EXPECT_EQ(ReadFileText(Target("a.dll")), "new a");
    EXPECT_EQ(ReadFileText(Target("b.exe")), "new b");
    EXPECT_FALSE(FileExists(Target("gone.dll"))) << "the update removes the old libraries";
    EXPECT_EQ(ReadFileText(Target("web.config")), "the site's own settings");
    EXPECT_FALSE(FolderExists(startFolder / "T\\Update\\backup"));
    EXPECT_FALSE(FileExists(startFolder / "T\\Update\\swap.journal"));
    EXPECT_EQ(RegistryString(HKEY_LOCAL_MACHINE, PENDING_SWAP_KEY, PENDING_SWAP_VALUE), "<absent>");
    EXPECT_NE(LogText().find("Server Setup:An interrupted update of " + (startFolder / "T") + " was finished\r\n"),
              std::string::npos);
    EXPECT_EQ(poolCalls.front(), "TCorvanta10 stop");
    EXPECT_EQ(poolCalls.back(), "TCorvanta10 start");
    EXPECT_EQ(context.report.failedSteps, 0);
}

TEST_P(StoppedSwaps, AreUndoneWhenAStagedFileIsLost) {
    const int stopAfter = GetParam();
    int moves = 0;
    EXPECT_FALSE(ApplySwap(context, LOG_SERVER, Plan(), pool, [&](const FileMove& move) {
        return moves++ == stopAfter ? MoveResult::Stopped : RenameWritingThrough(move);
    }));
    for (const std::string& name : FileNamesIn(startFolder / "T\\Update\\staging")) ::DeleteFileA(Staged(name).c_str());
    FinishPendingSwap(context, pool);
    EXPECT_EQ(ReadFileText(Target("a.dll")), "old a");
    EXPECT_EQ(ReadFileText(Target("gone.dll")), "old library, not in the update");
    EXPECT_EQ(ReadFileText(Target("web.config")), "the site's own settings");
    EXPECT_EQ(RegistryString(HKEY_LOCAL_MACHINE, PENDING_SWAP_KEY, PENDING_SWAP_VALUE), "<absent>");
    EXPECT_NE(LogText().find(" was undone; the files before it are back\r\n"), std::string::npos);
}

TEST_P(StoppedSwaps, CancelledPutEveryFileBackAndCountNoFailure) {
    // Cancel while the pool stops (0) or while the first, second or third move is made.
    const int cancelDuring = GetParam();
    int moves = 0;
    SwapJournal journal = Plan();
    journal.pool = "TCorvanta10";
    const PoolControl slowPool = [&](const std::string& name, bool start) {
        pool(name, start);
        if (cancelDuring == 0 && !start) context.cancel.Request();
    };
    EXPECT_FALSE(ApplySwap(context, LOG_SERVER, journal, slowPool, [&](const FileMove& move) {
        const MoveResult result = RenameWritingThrough(move);
        if (++moves == cancelDuring) context.cancel.Request();
        return result;
    }));
    EXPECT_EQ(ReadFileText(Target("a.dll")), "old a");
    EXPECT_EQ(ReadFileText(Target("gone.dll")), "old library, not in the update");
    EXPECT_EQ(ReadFileText(Target("web.config")), "the site's own settings");
    EXPECT_FALSE(FileExists(Target("b.exe")));
    EXPECT_FALSE(FileExists(startFolder / "T\\Update\\swap.journal"));
    EXPECT_EQ(RegistryString(HKEY_LOCAL_MACHINE, PENDING_SWAP_KEY, PENDING_SWAP_VALUE), "<absent>");
    EXPECT_NE(LogText().find("Server Setup:Cancel: the server update was undone; the installed server is unchanged\r\n"),
              std::string::npos);
    EXPECT_EQ(poolCalls, (std::vector<std::string>{"TCorvanta10 stop", "TCorvanta10 start"}));
    EXPECT_EQ(context.report.failedSteps, 0);
    EXPECT_TRUE(context.report.cancelled);
}

// Two backups (a.dll, which is replaced, and gone.dll, a library) and two
// staged files: a stop before each of the four moves.
INSTANTIATE_TEST_SUITE_P(BeforeEachMove, StoppedSwaps, ::testing::Values(0, 1, 2, 3));

TEST_F(StoppedSwaps, ACancelAfterTheLastMoveLeavesTheUpdateApplied) {
    int moves = 0;
    EXPECT_TRUE(ApplySwap(context, LOG_SERVER, Plan(), pool, [&](const FileMove& move) {
        if (++moves == 4) context.cancel.Request();
        return RenameWritingThrough(move);
    }));
    EXPECT_EQ(ReadFileText(Target("a.dll")), "new a");
    EXPECT_FALSE(FileExists(startFolder / "T\\Update\\swap.journal"));
}

TEST_F(StoppedSwaps, AMoveThatFailsPutsEveryFileBackAndSaysSo) {
    int moves = 0;
    EXPECT_FALSE(ApplySwap(context, LOG_SERVER, Plan(), pool, [&](const FileMove& move) {
        return moves++ == 2 ? MoveResult::Failed : RenameWritingThrough(move);
    }));
    EXPECT_EQ(ReadFileText(Target("a.dll")), "old a");
    EXPECT_EQ(ReadFileText(Target("gone.dll")), "old library, not in the update");
    EXPECT_FALSE(FileExists(Target("b.exe")));
    EXPECT_NE(LogText().find("Server Setup:The server update was not applied; the installed server is unchanged\r\n"),
              std::string::npos);
    EXPECT_EQ(RegistryString(HKEY_LOCAL_MACHINE, PENDING_SWAP_KEY, PENDING_SWAP_VALUE), "<absent>");
    EXPECT_FALSE(FileExists(startFolder / "T\\Update\\swap.journal"));
    EXPECT_GE(context.report.failedSteps, 1);
}

TEST_F(StoppedSwaps, ACompleteSwapLeavesOnlyTheNewFiles) {
    EXPECT_TRUE(ApplySwap(context, LOG_SERVER, Plan(), pool));
    EXPECT_EQ(ReadFileText(Target("a.dll")), "new a");
    EXPECT_FALSE(FileExists(Target("gone.dll")));
    EXPECT_FALSE(FolderExists(startFolder / "T\\Update\\backup"));
    EXPECT_EQ(RegistryString(HKEY_LOCAL_MACHINE, PENDING_SWAP_KEY, PENDING_SWAP_VALUE), "<absent>");
    EXPECT_EQ(context.report.failedSteps, 0);
}

}  // namespace
