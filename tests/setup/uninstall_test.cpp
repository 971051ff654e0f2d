// The installation record and the decisions of the uninstall: plain values,
// the record's round trip through the machine's registry, the package's code.
#include "setup/install_record.h"

#include <gtest/gtest.h>

#include <map>

#include "setup/file_removal.h"
#include "setup/msi_package.h"
#include "setup/registration.h"
#include "setup/uninstall.h"
#include "support/dialog_fixture.h"
#include "support/registry.h"
#include "support/temp_folder.h"
#include "support/testbed_access.h"

namespace {

const std::string DIGEST(64, 'a');

TEST(RecordedFiles, ReadBackOnlyAsSizeAndDigest) {
    EXPECT_EQ(RecordedFileText(12, std::string(64, 'F')), "12 " + std::string(64, 'f'));
    EXPECT_EQ(ParseRecordedFile("C:\\x.dll", "12 " + DIGEST), (RecordedFile{"C:\\x.dll", 12, DIGEST}));
    EXPECT_EQ(ParseRecordedFile("C:\\x.dll", "0 " + std::string(64, 'B'))->sha256, std::string(64, 'b'));
    for (const std::string& bad : std::vector<std::string>{"", "12", "12 " + DIGEST.substr(1), "x " + DIGEST, "-1 " + DIGEST,
                                   "12  " + DIGEST, "12 " + std::string(63, 'a') + "g"}) {
        EXPECT_EQ(ParseRecordedFile("C:\\x.dll", bad), std::nullopt) << bad;
    }
    EXPECT_EQ(ParseRecordedFile("", "12 " + DIGEST), std::nullopt);
}

TEST(RecordedFolders, AreTheOnesMadeAlongThePathOutermostFirst) {
    const auto exists = [](const std::string& path) { return path == "C:\\" || path == "C:\\Apps"; };
    EXPECT_EQ(MissingFolders("C:\\Apps\\Corvanta\\Update\\", exists),
              (std::vector<std::string>{"C:\\Apps\\Corvanta", "C:\\Apps\\Corvanta\\Update"}));
    EXPECT_EQ(MissingFolders("C:\\Apps", exists), std::vector<std::string>{});
    EXPECT_EQ(MissingFolders("C:\\New  ", exists), std::vector<std::string>{"C:\\New"});
    EXPECT_EQ(MissingFolders("D:\\x", [](const std::string&) { return false; }), std::vector<std::string>{"D:\\x"})
        << "a drive root is never made";
    EXPECT_EQ(RemovalOrder({"C:\\A", "C:\\A\\B\\C", "C:\\D", "C:\\A\\B"}),
              (std::vector<std::string>{"C:\\A\\B\\C", "C:\\A\\B", "C:\\A", "C:\\D"}));
}

struct VerdictCase {
    const char* path;
    FileState state;
    FileVerdict verdict;
};

class FileVerdicts : public ::testing::TestWithParam<VerdictCase> {};

TEST_P(FileVerdicts, DeleteOnlyUnchangedFilesInsideTheFolders) {
    const RecordedFile recorded{GetParam().path, 10, DIGEST};
    EXPECT_EQ(JudgeFile(recorded, GetParam().state, {"C:\\TCorvanta10", "D:\\Data\\"}), GetParam().verdict)
        << GetParam().path;
}

INSTANTIATE_TEST_SUITE_P(
    Files, FileVerdicts,
    ::testing::Values(VerdictCase{"C:\\TCorvanta10\\a.dll", {true, 10, DIGEST}, FileVerdict::Delete},
                      VerdictCase{"c:\\tcorvanta10\\a.dll", {true, 10, std::string(64, 'A')}, FileVerdict::Delete},
                      VerdictCase{"C:\\TCorvanta10\\sub\\a.dll", {true, 10, DIGEST}, FileVerdict::Delete},
                      VerdictCase{"D:\\Data\\a.dll", {true, 10, DIGEST}, FileVerdict::Delete},
                      VerdictCase{"C:\\TCorvanta10\\a.dll", {true, 11, DIGEST}, FileVerdict::KeepChanged},
                      VerdictCase{"C:\\TCorvanta10\\a.dll", {true, 10, std::string(64, 'b')}, FileVerdict::KeepChanged},
                      VerdictCase{"C:\\TCorvanta10\\a.dll", {false, 0, ""}, FileVerdict::Gone},
                      VerdictCase{"C:\\TCorvanta100\\a.dll", {true, 10, DIGEST}, FileVerdict::KeepOutside},
                      VerdictCase{"C:\\TCorvanta10", {true, 10, DIGEST}, FileVerdict::KeepOutside},
                      VerdictCase{"C:\\Windows\\a.dll", {false, 0, ""}, FileVerdict::KeepOutside}));

TEST(ProgramsAndFeatures, ShowsTheSizeInKiBAndTheDateAndCanUninstallQuietly) {
    EXPECT_EQ(EstimatedSizeKiB({}), 0u);
    EXPECT_EQ(EstimatedSizeKiB({{"a", 1, DIGEST}}), 1u);
    EXPECT_EQ(EstimatedSizeKiB({{"a", 1024, DIGEST}, {"b", 1025, DIGEST}}), 3u);
    SYSTEMTIME day = {2026, 3, 0, 7, 23, 59, 0, 0};
    EXPECT_EQ(InstallDateText(day), "20260307");
    const UninstallEntry entry = PlanUninstallEntry(LOG_SERVER, 0, "", "c:\\TCorvanta10", "20261209");
    ASSERT_GE(entry.values.size(), 10u);
    EXPECT_EQ(entry.values[8], (std::pair<std::string, std::string>{
                                   "QuietUninstallString",
                                   "\"C:\\Program Files\\TovinSoft\\CorvantaAI\\CorvantaSetup.exe\" /uninstall "
                                   "/type=server /quiet"}));
    EXPECT_EQ(entry.values[9], (std::pair<std::string, std::string>{"InstallDate", "20261209"}));
}

TEST(InformationServerRemoval, RunsMsiexecFromTheSystemFolderAndReadsItsAnswer) {
    const MsiRemoval removal = PlanMsiRemoval("C:\\windows\\system32", "{11111111-2222-3333-4444-555555555555}");
    EXPECT_EQ(removal.application, "C:\\windows\\system32\\msiexec.exe");
    EXPECT_EQ(removal.commandLine,
              "\"C:\\windows\\system32\\msiexec.exe\" /x {11111111-2222-3333-4444-555555555555} /quiet /norestart");
    EXPECT_EQ(ClassifyMsiRemoval(0), RemovalAnswer::Removed);
    EXPECT_EQ(ClassifyMsiRemoval(3010), RemovalAnswer::RemovedRestart);
    EXPECT_EQ(ClassifyMsiRemoval(1641), RemovalAnswer::RemovedRestart);
    EXPECT_EQ(ClassifyMsiRemoval(1605), RemovalAnswer::AlreadyGone);
    EXPECT_EQ(ClassifyMsiRemoval(1603), RemovalAnswer::Failed);
    EXPECT_EQ(KnownClientProgram("AI"), "CorvantaAI.exe");
    EXPECT_EQ(KnownClientProgram("10.1"), "Corvanta10App.exe");
    EXPECT_EQ(KnownServerFiles().size(), 8u);
}

TEST(InformationServerPackage, GivesItsProductCodeFromItsDatabase) {
    const auto code = MsiProductCode(PackagePath("CorvantaISSetup.msi"));
    ASSERT_TRUE(code.has_value());
    EXPECT_EQ(code->size(), 38u);
    EXPECT_EQ(code->front(), '{');
    EXPECT_EQ(MsiProductCode(PackagePath("TCrvx.cab")), std::nullopt) << "no Windows Installer package";
    EXPECT_EQ(MsiProductCode("C:\\no\\such.msi"), std::nullopt);
}

class Record : public ContextTest {
protected:
    RegistryCleanup machine{HKEY_LOCAL_MACHINE, {"SOFTWARE\\TovinSoft"}};
    RegistryCleanup user{HKEY_CURRENT_USER, {"Software\\TovinSoft"}};
};

TEST_F(Record, KeepsWhatTheInstallationMadeInTheMachinesRegistryOnly) {
    InstallRecord record(context, Product::Server);
    EXPECT_FALSE(record.Exists());
    record.AddFolder("C:\\TCorvanta10\\", true);
    record.AddFolder("C:\\TCorvanta10", false);  // a repair sees it there: it stays the setup's
    record.AddFolder("C:\\Existing", false);
    record.AddFile({"C:\\TCorvanta10\\TCorvanta10.dll", 42, DIGEST});
    record.AddFile({"C:\\TCorvanta10\\CorvantaSeed.bak", 7, DIGEST}, true);
    record.SetValueOnce("SqlServer", "found");
    record.SetValueOnce("SqlServer", "installed");
    SiteRecord first;
    first.site = "TCorvanta108080";
    first.pool = "TCorvanta108080";
    first.siteSections = {SITE_SECTION_HANDLERS};
    first.movedSite = "Default Web Site";
    first.movedBinding = "*:80:";
    record.AddSite(first);
    SiteRecord repair;  // a repair finds the pool and the moved site already there
    repair.site = "TCorvanta108080";
    repair.siteSections = {SITE_SECTION_HANDLERS, SITE_SECTION_HIDDEN_SEGMENT};
    record.AddSite(repair);

    ASSERT_TRUE(record.Exists());
    EXPECT_EQ(record.Files(), (std::vector<RecordedFile>{{"C:\\TCorvanta10\\TCorvanta10.dll", 42, DIGEST}}));
    EXPECT_EQ(record.Files(true).size(), 1u);
    std::map<std::string, bool> folders;
    for (const RecordedFolder& folder : record.Folders()) folders[folder.path] = folder.created;
    EXPECT_EQ(folders, (std::map<std::string, bool>{{"C:\\TCorvanta10", true}, {"C:\\Existing", false}}));
    EXPECT_EQ(record.Value("SqlServer"), "found");
    const SiteRecord site = record.Site();
    EXPECT_EQ(site.pool, "TCorvanta108080");
    EXPECT_EQ(site.movedBinding, "*:80:");
    EXPECT_EQ(site.siteSections, (std::vector<std::string>{SITE_SECTION_HANDLERS, SITE_SECTION_HIDDEN_SEGMENT}));
    EXPECT_EQ(RegistryString(HKEY_LOCAL_MACHINE, "SOFTWARE\\TovinSoft\\Corvanta10\\Server\\Installed\\Files",
                             "C:\\TCorvanta10\\TCorvanta10.dll"),
              "42 " + DIGEST);
    EXPECT_EQ(RegistryString(HKEY_CURRENT_USER, "Software\\TovinSoft\\Corvanta10\\Server\\Installed\\Files",
                             "C:\\TCorvanta10\\TCorvanta10.dll"),
              "<absent>")
        << "never in the user's hive";
    EXPECT_EQ(context.report.failedSteps, 0);
    EXPECT_TRUE(record.Remove());
    EXPECT_FALSE(record.Exists());
}

TEST_F(Record, FilesAreDeletedOnlyWhenTheyAreWhatWasInstalled) {
    TempFolder folder;
    const std::string same = folder / "same.dll", changed = folder / "changed.dll", outside = folder / "outside.dll";
    ASSERT_TRUE(WriteFileText(same, "module"));
    ASSERT_TRUE(WriteFileText(changed, "module"));
    ASSERT_TRUE(WriteFileText(outside, "module"));
    ::SetFileAttributesA(same.c_str(), FILE_ATTRIBUTE_READONLY);
    const RecordedFile sameFile = *DescribeFile(same);
    const RecordedFile changedFile = *DescribeFile(changed);
    ASSERT_TRUE(WriteFileText(changed, "module changed by the user"));
    const std::vector<std::string> folders = {folder.Path()};

    EXPECT_EQ(RemoveRecordedFile(context, LOG_SERVER, sameFile, folders), RemovalResult::Deleted);
    EXPECT_FALSE(FileExists(same));
    EXPECT_EQ(RemoveRecordedFile(context, LOG_SERVER, changedFile, folders), RemovalResult::Kept);
    EXPECT_TRUE(FileExists(changed));
    EXPECT_EQ(RemoveRecordedFile(context, LOG_SERVER, *DescribeFile(outside), {"C:\\Elsewhere"}), RemovalResult::Kept);
    EXPECT_TRUE(FileExists(outside));
    EXPECT_EQ(RemoveRecordedFile(context, LOG_SERVER, sameFile, folders), RemovalResult::Gone);
    EXPECT_NE(LogText().find("Server Setup:Kept " + changed + ": changed since the installation\r\n"), std::string::npos);
    EXPECT_NE(LogText().find("Server Setup:Kept " + outside + ": outside the folders of the installation\r\n"),
              std::string::npos);
    EXPECT_EQ(context.report.failedSteps, 0);
    EXPECT_FALSE(context.report.restartRequired);
}

}  // namespace
