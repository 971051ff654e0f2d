// Taking a web site installation out of IIS again, against the machine's IIS
// administration stand-in.
#include <gtest/gtest.h>

#include <windows.h>

#include "iis/site_removal.h"
#include "iis/web_config_file.h"
#include "site_fixture.h"

namespace {

// An administrator's own settings in the site's web.config, there before the
// setup: a section the setup never touches and a hidden segment of theirs.
constexpr char ADMIN_WEB_CONFIG[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
    "<configuration>\r\n"
    "    <system.webServer>\r\n"
    "        <staticContent enableDocFooter=\"false\" />\r\n"
    "        <security>\r\n"
    "            <requestFiltering>\r\n"
    "                <hiddenSegments>\r\n"
    "                    <add segment=\"Private\" />\r\n"
    "                </hiddenSegments>\r\n"
    "            </requestFiltering>\r\n"
    "        </security>\r\n"
    "    </system.webServer>\r\n"
    "</configuration>\r\n";

class SiteRemoval : public SiteTest {
protected:
    bool Remove(const SiteRecord& record) { return RemoveWebsite(session, record, "C:\\TCorvanta10\\", context); }
    static std::string StateLog() { return ReadFileText(IIS_STATE_LOG); }
};

TEST_F(SiteRemoval, GivesTheConfigurationBackAsItWasAndLeavesTheAdministratorsSettings) {
    IisScenario scenario("default-web-site");
    WriteFileText(SITE_WEB_CONFIG, ADMIN_WEB_CONFIG);
    const std::string before = Config();
    const WebsiteOutcome outcome = InstallOn(80);
    ASSERT_TRUE(outcome.created) << LogText();
    ASSERT_EQ(outcome.record.movedSite, "Default Web Site");
    EXPECT_FALSE(outcome.record.webConfigCreated);
    ASSERT_NE(ReadFileText(SITE_WEB_CONFIG).find("TCorvanta10.dll"), std::string::npos);

    EXPECT_TRUE(Remove(outcome.record)) << LogText();
    EXPECT_EQ(Config(), before);
    const std::string site = ReadFileText(SITE_WEB_CONFIG);
    EXPECT_NE(site.find(R"(<staticContent enableDocFooter="false" />)"), std::string::npos) << site;
    EXPECT_NE(site.find(R"(<add segment="Private" />)"), std::string::npos);
    for (const char* ours : {"Update", "handlers", "defaultDocument", "maxAllowedContentLength", "TCorvanta10"}) {
        EXPECT_EQ(site.find(ours), std::string::npos) << ours << " in\n" << site;
    }
    for (const char* line : {"Removed the site settings of TCorvanta10 from its web.config (handlers, defaultDocument, "
                             "requestLimits, hiddenSegments)",
                             "Removed the IIS site TCorvanta10", "Removed the application pool TCorvanta10",
                             "Removed the ISAPI/CGI restriction entry for C:\\TCorvanta10\\TCorvanta10.dll",
                             "Gave Default Web Site its binding *:80: back"}) {
        EXPECT_TRUE(Logged(std::string("Server Setup:") + line)) << line << "\n" << LogText();
    }
    // Stopped before anything of them went.
    EXPECT_NE(StateLog().find("TCorvanta10\tStop"), std::string::npos) << StateLog();
    EXPECT_NE(StateLog().find("TCorvanta10\tAppPool\tStop"), std::string::npos);
    EXPECT_EQ(context.report.failedSteps, 0) << LogText();
}

TEST_F(SiteRemoval, DeletesTheWebConfigItMadeAndOnlyWhenNothingElseIsInIt) {
    IisScenario scenario("empty");
    const std::string before = Config();
    const WebsiteOutcome first = InstallOn(8080);
    ASSERT_TRUE(first.record.webConfigCreated) << LogText();
    EXPECT_TRUE(Remove(first.record)) << LogText();
    EXPECT_EQ(Config(), before);
    EXPECT_FALSE(IsExistingFile(SITE_WEB_CONFIG));
    EXPECT_TRUE(Logged("Server Setup:Deleted C:\\TCorvanta10\\web.config, which the setup had made"));

    // An administrator's setting added since keeps the file.
    const WebsiteOutcome second = InstallOn(8080);
    ASSERT_TRUE(second.record.webConfigCreated);
    std::string site = ReadFileText(SITE_WEB_CONFIG);
    site.insert(site.find("<system.webServer>") + 18, "\r\n        <staticContent enableDocFooter=\"false\" />");
    WriteFileText(SITE_WEB_CONFIG, site);
    EXPECT_TRUE(Remove(second.record)) << LogText();
    EXPECT_NE(ReadFileText(SITE_WEB_CONFIG).find("staticContent"), std::string::npos);
    EXPECT_TRUE(Logged("Server Setup:C:\\TCorvanta10\\web.config holds settings besides the setup's; it stays"));
    EXPECT_EQ(context.report.failedSteps, 0) << LogText();
}

TEST_F(SiteRemoval, WhatIsGoneAlreadyIsNoFailure) {
    IisScenario scenario("default-web-site");
    const std::string before = Config();
    const WebsiteOutcome outcome = InstallOn(80);
    ASSERT_TRUE(outcome.created) << LogText();
    SiteRecord siteOnly;
    siteOnly.site = outcome.record.site;
    ASSERT_TRUE(Remove(siteOnly));

    EXPECT_TRUE(Remove(outcome.record)) << LogText();
    EXPECT_TRUE(Logged("Server Setup:The IIS site TCorvanta10 is not there any more; its web.config is left as it is"));
    EXPECT_TRUE(Logged("Server Setup:The IIS site TCorvanta10 is not there any more"));
    EXPECT_TRUE(Logged("Server Setup:Removed the application pool TCorvanta10"));
    EXPECT_TRUE(Logged("Server Setup:Gave Default Web Site its binding *:80: back"));
    EXPECT_EQ(Config(), before);

    // Once more: nothing is left to remove.
    EXPECT_TRUE(Remove(outcome.record));
    EXPECT_TRUE(Logged("Server Setup:The application pool TCorvanta10 is not there any more"));
    EXPECT_TRUE(Logged("Server Setup:The ISAPI/CGI restriction entry for C:\\TCorvanta10\\TCorvanta10.dll is not "
                       "there any more"));
    EXPECT_EQ(Config(), before);
    EXPECT_EQ(context.report.failedSteps, 0) << LogText();
}

TEST_F(SiteRemoval, ABindingChangedSinceTheMoveStaysAsItIs) {
    IisScenario scenario("default-web-site");
    const WebsiteOutcome outcome = InstallOn(80);
    ASSERT_TRUE(outcome.created) << LogText();
    std::string config = Config();
    const std::string moved = R"(bindingInformation="*:8080:")";
    ASSERT_NE(config.find(moved), std::string::npos);
    config.replace(config.find(moved), moved.size(), R"(bindingInformation="*:8081:")");
    WriteFileText(IIS_CONFIG, config);

    EXPECT_TRUE(Remove(outcome.record)) << LogText();
    EXPECT_NE(Config().find(R"(bindingInformation="*:8081:")"), std::string::npos);
    EXPECT_EQ(Config().find(R"(bindingInformation="*:80:")"), std::string::npos);
    EXPECT_TRUE(Logged("Server Setup:Default Web Site is no longer bound to *:8080: as the setup left it; its binding "
                       "*:8081: was left as it is"))
        << LogText();
    EXPECT_TRUE(Logged("Server Setup:Removed the IIS site TCorvanta10"));
}

TEST_F(SiteRemoval, AFailedCommitIsCountedAndRemovesNothing) {
    IisScenario scenario("empty");
    const WebsiteOutcome outcome = InstallOn(8080);
    ASSERT_TRUE(outcome.created) << LogText();
    const std::string installed = Config();
    const std::string site = ReadFileText(SITE_WEB_CONFIG);
    RegistryCleanup settings{HKEY_LOCAL_MACHINE, {IIS_SETTINGS_KEY}};
    SetRegistryDword(HKEY_LOCAL_MACHINE, IIS_SETTINGS_KEY, "CommitFailure", 0x80070005);

    EXPECT_FALSE(Remove(outcome.record));
    EXPECT_TRUE(Logged("Server Setup:Could not commit the removal of the site settings of TCorvanta108080;0x80070005"))
        << LogText();
    EXPECT_TRUE(Logged("Server Setup:Could not commit the removal of the web site TCorvanta108080 from IIS;0x80070005"));
    EXPECT_EQ(context.report.failedSteps, 2);
    EXPECT_EQ(LogText().find("Removed"), std::string::npos);
    EXPECT_EQ(Config(), installed);
    EXPECT_EQ(ReadFileText(SITE_WEB_CONFIG), site);
}

TEST_F(SiteRemoval, NothingRecordedNeedsNoIis) {
    ManagerClassRemoved noManager;
    EXPECT_TRUE(Remove(SiteRecord{}));
    SiteRecord record;
    record.pool = "TCorvanta108080";
    EXPECT_FALSE(Remove(record));
    EXPECT_EQ(context.report.failedSteps, 1);
}

}  // namespace
