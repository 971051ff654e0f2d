#include <gtest/gtest.h>

#include "core/context.h"
#include "app/startup.h"
#include "prereq/sql_setup.h"
#include "setup/client_setup.h"
#include "setup/companions.h"
#include "setup/download_status.h"
#include "setup/server_setup.h"
#include "support/fake_host.h"

namespace {

TEST(SetupContextStart, HasTheStartValuesOfAFreshProcess) {
    FakeHost host;
    SetupProcessContext context(host);
    EXPECT_EQ(context.modeFlags, 0u);
    EXPECT_EQ(context.setupFlags, 0u);
    EXPECT_EQ(context.dialog, nullptr);
    EXPECT_FALSE(context.logFile.Valid());
    EXPECT_FALSE(context.internetSession.Valid());
    EXPECT_EQ(context.themeState, 1);
    EXPECT_EQ(context.backColour, 0xFC9614u);
    EXPECT_EQ(context.textColour, 0xFFFFFFu);
    EXPECT_EQ(context.port, 0);
    EXPECT_TRUE(context.proxy.empty());
    EXPECT_EQ(context.progress.total, 0.0);
}

TEST(SetupContextStart, CreatesItsCompanionsWithTheirOwnerAndStartValues) {
    FakeHost host;
    SetupProcessContext context(host);
    ASSERT_TRUE(context.server && context.sql && context.client && context.downloadStatus);
    EXPECT_EQ(&context.server->owner, &context);
    EXPECT_EQ(&context.sql->owner, &context);
    EXPECT_EQ(&context.client->owner, &context);
    EXPECT_EQ(context.server->rebindPort, 8080);
    EXPECT_EQ(context.sql->sqlInstanceCount, 0);
    EXPECT_EQ(context.sql->defaultInstanceFound, 0);
    EXPECT_EQ(context.sql->dataDrive, "  ");
    EXPECT_EQ(context.sql->backupDrive, "   ");
}

TEST(StartupStatusText, IsEightUpperCaseHexDigits) {
    EXPECT_EQ(HexStatus(static_cast<long>(0x80010106)), "80010106");
    EXPECT_EQ(HexStatus(0x1f), "0000001F");
}

TEST(ShowMessage, IsAnInformationBoxWithTheProductCaption) {
    FakeHost host;
    SetupProcessContext context(host);
    EXPECT_EQ(context.ShowMessage("Successfuly completed Setup"), 0);
    ASSERT_EQ(host.boxes.size(), 1u);
    EXPECT_EQ(host.boxes[0].text, "Successfuly completed Setup");
    EXPECT_EQ(host.boxes[0].caption, "TovinSoft Corvanta Version 10.1 App");
    EXPECT_EQ(host.boxes[0].type, static_cast<UINT>(MB_OK | MB_ICONINFORMATION));
}

}  // namespace
