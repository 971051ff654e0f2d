// Folders for administrators only: the DACL the setup puts on them, the owners
// it trusts, and the links it refuses to follow.
#include "setup/protected_folders.h"

#include <gtest/gtest.h>

#include "support/dialog_fixture.h"
#include "win/security.h"

namespace {

TEST(AdminOnlyDacl, GivesFullControlToSystemAndAdministratorsAndReadAndExecuteToUsers) {
    const auto dacl = win::ReadDacl(win::ADMIN_ONLY_SDDL);
    ASSERT_TRUE(dacl);
    EXPECT_TRUE(dacl->isProtected) << "nothing is inherited from the parent folder";
    ASSERT_EQ(dacl->aces.size(), 3u);
    const struct {
        const char* sid;
        unsigned long mask;
    } expected[] = {{win::SID_SYSTEM, FILE_ALL_ACCESS}, {win::SID_ADMINISTRATORS, FILE_ALL_ACCESS},
                    {win::SID_USERS, FILE_GENERIC_READ | FILE_GENERIC_EXECUTE}};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(dacl->aces[i].type, ACCESS_ALLOWED_ACE_TYPE);
        EXPECT_EQ(dacl->aces[i].flags, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE) << "files and subfolders inherit it";
        EXPECT_EQ(dacl->aces[i].sid, expected[i].sid);
        EXPECT_EQ(dacl->aces[i].mask, expected[i].mask) << i;
    }
    // Users may read and run, never write or delete.
    EXPECT_EQ(dacl->aces[2].mask & (FILE_WRITE_DATA | FILE_APPEND_DATA | DELETE | WRITE_DAC | WRITE_OWNER), 0u);
    // What Windows gives a folder made under C:\ is refused as the setup's.
    const auto inherited = win::ReadDacl("D:AI(A;OICIID;FA;;;BA)(A;OICIID;0x1301bf;;;AU)");
    ASSERT_TRUE(inherited);
    EXPECT_FALSE(inherited->isProtected);
    EXPECT_FALSE(win::ReadDacl("not a descriptor"));
}

struct OwnerCase {
    const char* owner;  // nullptr: cannot be read
    bool trusted;
};

class Owners : public ::testing::TestWithParam<OwnerCase> {};

TEST_P(Owners, OnlyAdministratorsTheSystemAndTheUserRunningTheSetupAreTrusted) {
    const char* user = "S-1-5-21-1004336348-1177238915-682003330-1001";
    const OwnerCase& c = GetParam();
    const std::optional<std::string> owner = c.owner ? std::optional<std::string>(c.owner) : std::nullopt;
    const auto refusal = OwnerRefusal("C:\\TCorvanta10", owner, c.owner ? "CORP\\mallory" : "", user);
    EXPECT_EQ(!refusal.has_value(), c.trusted) << (c.owner ? c.owner : "(unreadable)");
    if (c.owner) {
        EXPECT_EQ(win::IsTrustedOwner(c.owner, user), c.trusted);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Sids, Owners,
    ::testing::Values(OwnerCase{"S-1-5-32-544", true}, OwnerCase{"S-1-5-18", true},
                      OwnerCase{"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464", true},
                      OwnerCase{"S-1-5-21-1004336348-1177238915-682003330-1001", true},
                      OwnerCase{"S-1-5-21-1004336348-1177238915-682003330-1002", false},  // another user
                      OwnerCase{"S-1-5-32-545", false},                                   // Users
                      OwnerCase{"S-1-5-11", false},                                       // Authenticated Users
                      OwnerCase{"S-1-1-0", false},                                        // Everyone
                      OwnerCase{"S-1-5-32-5440", false}, OwnerCase{"", false}, OwnerCase{nullptr, false}));

TEST(Owners, TheRefusalNamesTheFolderAndItsOwner) {
    EXPECT_EQ(OwnerRefusal("D:\\Corvanta10App", std::string("S-1-5-11"), "NT AUTHORITY\\Authenticated Users", "S-1-5-18"),
              "The folder D:\\Corvanta10App belongs to NT AUTHORITY\\Authenticated Users. Choose another folder, or give "
              "it to the Administrators group.");
    EXPECT_EQ(OwnerRefusal("D:\\x", std::string("S-1-5-21-9"), "", "S-1-5-18"),
              "The folder D:\\x belongs to S-1-5-21-9. Choose another folder, or give it to the Administrators group.")
        << "an owner without a name is named by its SID";
}

class ProtectedFolders : public ContextTest {};

TEST_F(ProtectedFolders, AreMadeAlongTheirPathAndGivenToTheAdministrators) {
    const std::string folder = startFolder / "Srv\\Update\\staging";
    EXPECT_EQ(PrepareProtectedFolder(context, LOG_SERVER, folder + "\\"), FolderReady::Ready);
    EXPECT_TRUE(FolderExists(folder));
    EXPECT_NE(LogText().find("Server Setup:Permissions of " + folder + " set to administrators only\r\n"),
              std::string::npos);
    EXPECT_EQ(context.report.failedSteps, 0);
    EXPECT_EQ(FolderOwnerProblem(folder), std::nullopt) << "the test machine's folders belong to the user running it";
    EXPECT_EQ(FolderOwnerProblem(startFolder / "missing"), std::nullopt) << "a folder yet to be made is no problem";
}

TEST_F(ProtectedFolders, AreNeverReachedThroughALink) {
    // The test machine plants C:\CorvantaLinks\server\Update as a link to C:\CorvantaLinks\elsewhere.
    ASSERT_TRUE(FileExists("C:\\CorvantaLinks\\elsewhere\\target.txt")) << "the machine's planted links are missing";
    EXPECT_EQ(PrepareProtectedFolder(context, LOG_SERVER, "C:\\CorvantaLinks\\server\\Update"), FolderReady::Link);
    EXPECT_EQ(PrepareProtectedFolder(context, LOG_SERVER, "C:\\CorvantaLinks\\server\\Update\\staging"), FolderReady::Link);
    EXPECT_FALSE(FolderExists("C:\\CorvantaLinks\\elsewhere\\staging")) << "nothing was made through the link";
    EXPECT_NE(LogText().find("Server Setup:C:\\CorvantaLinks\\server\\Update is a link; the setup does not follow it\r\n"),
              std::string::npos);
    EXPECT_EQ(context.report.failedSteps, 2);
    EXPECT_EQ(PrepareProtectedFolder(context, LOG_SERVER, "C:\\CorvantaLinks\\server"), FolderReady::Ready);
}

TEST_F(ProtectedFolders, AFileWhereAFolderShouldBeIsMissing) {
    ASSERT_TRUE(WriteFileText(startFolder / "file", "a file"));
    EXPECT_EQ(PrepareProtectedFolder(context, LOG_CLIENT, startFolder / "file\\Update"), FolderReady::Missing);
}

}  // namespace
