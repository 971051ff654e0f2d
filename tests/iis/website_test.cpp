// The web site installation against the machine's IIS administration stand-in.
#include <gtest/gtest.h>

#include <windows.h>

#include "iis/config_access.h"
#include "iis/module_check.h"
#include "iis/web_config_file.h"
#include "iis/website.h"
#include "site_fixture.h"
#include "setup/server_setup.h"
#include "win/text.h"

namespace {

class Website : public ContextTest {
protected:
    void Install(long port) {
        context.port = port;
        context.serverDirectory = "C:\\TCorvanta10\\";
        context.progress.total = 30;
        context.progress.website = 10;
        EXPECT_EQ(context.server->InstallWebsite(), port == 1465 ? 0 : 1);
    }
    std::string Config() { return ReadFileText(IIS_CONFIG); }
    bool Has(const std::string& text) { return Config().find(text) != std::string::npos; }
    bool Logged(const std::string& line) { return LogText().find(line + "\r\n") != std::string::npos; }
    static size_t CountIn(const std::string& text, const std::string& part) {
        size_t count = 0;
        for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
        return count;
    }
    size_t Count(const std::string& text) {
        const std::string config = Config();
        size_t count = 0;
        for (size_t at = config.find(text); at != std::string::npos; at = config.find(text, at + 1)) ++count;
        return count;
    }

    ServerFolder serverFolder;
};

TEST_F(Website, ReplacesAnEarlierInstallationUnderItsIdAndStartsIt) {
    IisScenario scenario("modified-pool");
    Install(8080);
    EXPECT_TRUE(Logged("Server Setup:Successfully Created Website:TCorvanta108080  with application pool:TCorvanta108080"));
    EXPECT_EQ(context.progress.done, 10);
    EXPECT_TRUE(Has(R"(<site name="TCorvanta108080" id="2" serverAutoStart="true">)")) << Config();
    EXPECT_EQ(Count("<site "), 2u);
    EXPECT_TRUE(Has(R"(bindingInformation="*:8080:")"));
    EXPECT_TRUE(Has(R"(physicalPath="C:\TCorvanta10\")"));
    // The administrator's changes to the pool are set back.
    EXPECT_TRUE(Has(R"(managedPipelineMode="Classic")"));
    EXPECT_TRUE(Has(R"(enable32BitAppOnWin64="false")"));
    EXPECT_TRUE(Has(R"(identityType="LocalSystem")"));
    EXPECT_TRUE(Has(R"(rapidFailProtection="false")"));
    EXPECT_TRUE(Has(R"(<add name="TCorvanta108080" autoStart="true" managedPipelineMode="Classic" managedRuntimeVersion="")"));
    // One restriction entry for the module; at site level two handlers, one default document.
    EXPECT_EQ(Count(R"(path="C:\TCorvanta10\TCorvanta10.dll")"), 1u);
    // The site-level settings are the site's web.config's; the earlier
    // installation's <location> stays in applicationHost.config as it was.
    const std::string site = IisSiteWebConfig("TCorvanta108080");
    EXPECT_EQ(CountIn(site, R"(name="TovinSoft CorvantaApp v10.1")"), 1u) << site;
    EXPECT_EQ(CountIn(site, R"(name="StaticFile")"), 1u);
    EXPECT_LT(site.find("TovinSoft CorvantaApp v10.1"), site.find("StaticFile"));
    EXPECT_EQ(CountIn(site, R"(value="TCorvanta10.dll")"), 1u);
    EXPECT_EQ(CountIn(site, R"(maxAllowedContentLength="524288000")"), 1u);
    EXPECT_EQ(Count(R"(<location path="TCorvanta108080">)"), 1u);
    EXPECT_NE(ReadFileText(IIS_STATE_LOG).find("TCorvanta108080\tStart"), std::string::npos);
    EXPECT_EQ(context.report.failedSteps, 0) << LogText();
}

TEST_F(Website, MovesTheDefaultWebSiteOffTheChosenPort) {
    IisScenario scenario("default-web-site");
    Install(80);
    EXPECT_TRUE(Logged("Server Setup:80 is already in use on Default Web SiteDo you want to continue? "));
    EXPECT_TRUE(Has(R"(bindingInformation="*:8080:")"));
    EXPECT_TRUE(Has(R"(<site name="TCorvanta10" id="2")")) << Config();
    EXPECT_TRUE(Has(R"(bindingInformation="*:80:")"));
    EXPECT_TRUE(Logged("Server Setup:Successfully Created Website:TCorvanta10  with application pool:TCorvanta10"));
}

TEST_F(Website, HandlersLockedAtServerLevelChangeNothingAtSiteLevel) {
    IisScenario scenario("handlers-locked");
    Install(1064);
    EXPECT_TRUE(Logged("Server Setup:Please check whether ISAPI is installed"));
    EXPECT_EQ(IisSiteWebConfig("TCorvanta10"), "");
    EXPECT_FALSE(Has(R"(<location path="TCorvanta10")"));
    EXPECT_TRUE(Has(R"(<site name="TCorvanta10")"));
    EXPECT_NE(ReadFileText(IIS_STATE_LOG).find("TCorvanta10\tStart"), std::string::npos);
}

TEST_F(Website, WithoutTheServerFolderTheSiteSettingsCannotBeCommitted) {
    IisScenario scenario("empty");
    ::RemoveDirectoryA(SERVER_FOLDER);
    Install(8080);
    EXPECT_TRUE(Has(R"(<site name="TCorvanta108080" id="1" serverAutoStart="true">)")) << Config();
    EXPECT_TRUE(Logged("Server Setup:Could not commit the site settings of TCorvanta108080;0x80070003"));
    EXPECT_EQ(LogText().find("Successfully Created"), std::string::npos);
}

TEST_F(Website, InformationServerPortWritesItsConfigurationInstead) {
    IisScenario scenario("default-web-site");
    const std::string before = Config();
    ::CreateDirectoryA("C:\\Program Files\\CorvantaIS", nullptr);
    Install(1465);
    EXPECT_EQ(ReadFileText(INFO_SERVER_CONFIG_PATH), "DOC_ROOT=C:\\TCorvanta10\\\r\nPORT=1465\r\nENABLE_ISAPI=yes\r\n");
    EXPECT_EQ(Config(), before);
    ::SetCurrentDirectoryA("C:\\");  // the search for the information server entered its folder
    RemoveTree("C:\\Program Files\\CorvantaIS");
    EXPECT_EQ(context.server->WriteInfoServerConfig(), -1);
    EXPECT_EQ(context.report.failedSteps, 1);
}

TEST_F(Website, WithoutTheManagementComponentsNothingElseRuns) {
    IisScenario scenario("empty");
    const std::string dll = RegistryString(HKEY_LOCAL_MACHINE, MANAGER_CLASS, "");
    DeleteRegistryTree(HKEY_LOCAL_MACHINE, MANAGER_CLASS);
    Install(8080);
    EXPECT_TRUE(Logged("Server Setup:You have not selected IIS management tootls and scripts in IIS Installation. Please add these features"));
    SetRegistryString(HKEY_LOCAL_MACHINE, MANAGER_CLASS, "", "C:\\windows\\system32\\missing-admin.dll");
    Install(8080);
    SetRegistryString(HKEY_LOCAL_MACHINE, MANAGER_CLASS, "", dll);
    SetRegistryString(HKEY_LOCAL_MACHINE, MANAGER_CLASS, "ThreadingModel", "Both");
    EXPECT_TRUE(Logged("Server Setup:Could not access Writable Admin Manager.Please ensure that you have enabled all features in IIS setup in Windows configuration. For updating server setup App should be run in  Administration role."));
    EXPECT_EQ(LogText().find("Successfully Created"), std::string::npos);
    EXPECT_EQ(context.report.failedSteps, 2);
}

TEST_F(Website, AConfigurationThatCannotBeReadStopsAtTheSiteSection) {
    IisScenario scenario("empty");
    ::DeleteFileA(IIS_CONFIG);
    Install(8080);
    EXPECT_EQ(LogText(), "Server Setup:Installing Website\r\nServer Setup:Could not access Site Section.You must run "
                         "this App in Administration role while running server setup.\r\n");
    EXPECT_EQ(context.report.failedSteps, 1);
}

TEST_F(Website, AFailedCommitIsAFailedStep) {
    IisScenario scenario("empty");
    RegistryCleanup settings{HKEY_LOCAL_MACHINE, {"SOFTWARE\\CorvantaTestbed\\Iis"}};
    SetRegistryDword(HKEY_LOCAL_MACHINE, "SOFTWARE\\CorvantaTestbed\\Iis", "CommitFailure", 0x80070005);
    SetRegistryDword(HKEY_LOCAL_MACHINE, "SOFTWARE\\CorvantaTestbed\\Iis", "CommitFailureOn", 2);
    Install(8080);
    EXPECT_TRUE(Logged("Server Setup:Could not commit the site settings of TCorvanta108080;0x80070005"));
    EXPECT_EQ(context.server->siteId, 1) << "the first site of an empty configuration";
    EXPECT_EQ(LogText().find("Successfully Created"), std::string::npos);
    EXPECT_EQ(context.progress.done, 0);
}

using WebsiteRecord = SiteTest;

TEST_F(WebsiteRecord, AFreshInstallationRecordsAllItMadeAndHidesTheUpdateFolder) {
    IisScenario scenario("empty");
    const WebsiteOutcome outcome = InstallOn(8080);
    ASSERT_TRUE(outcome.created) << LogText();
    const SiteRecord& record = outcome.record;
    EXPECT_EQ(record.site, "TCorvanta108080");
    EXPECT_EQ(record.pool, "TCorvanta108080");
    EXPECT_EQ(record.restriction, "C:\\TCorvanta10\\TCorvanta10.dll");
    EXPECT_EQ(record.siteSections, (std::vector<std::string>{SITE_SECTION_HANDLERS, SITE_SECTION_DEFAULT_DOCUMENT,
                                                             SITE_SECTION_REQUEST_LIMIT, SITE_SECTION_HIDDEN_SEGMENT}));
    EXPECT_EQ(record.movedSite, "");
    EXPECT_TRUE(record.webConfigCreated);
    const std::string site = ReadFileText(SITE_WEB_CONFIG);
    EXPECT_EQ(CountIn(site, R"(<add segment="Update" />)"), 1u) << site;
    EXPECT_EQ(CountIn(site, "hiddenSegments"), 2u) << "one list, at site level";
    EXPECT_EQ(context.report.failedSteps, 0) << LogText();
}

TEST_F(WebsiteRecord, ASecondInstallationRecordsNeitherThePoolNorTheEntriesItFound) {
    IisScenario scenario("empty");
    ASSERT_TRUE(InstallOn(8080).created);
    const WebsiteOutcome second = InstallOn(8080);
    ASSERT_TRUE(second.created) << LogText();
    EXPECT_EQ(second.record.site, "TCorvanta108080") << "the site is always made anew";
    EXPECT_EQ(second.record.pool, "");
    EXPECT_EQ(second.record.restriction, "");
    EXPECT_EQ(second.record.siteSections, (std::vector<std::string>{SITE_SECTION_HANDLERS, SITE_SECTION_DEFAULT_DOCUMENT,
                                                                    SITE_SECTION_REQUEST_LIMIT}));
    EXPECT_FALSE(second.record.webConfigCreated);
    EXPECT_EQ(CountIn(ReadFileText(SITE_WEB_CONFIG), R"(segment="Update")"), 1u);
    EXPECT_EQ(context.report.failedSteps, 0) << LogText();
}

TEST_F(WebsiteRecord, RecordsTheSiteItMovedWithItsBindingBefore) {
    IisScenario scenario("default-web-site");
    const WebsiteOutcome outcome = InstallOn(80);
    ASSERT_TRUE(outcome.created) << LogText();
    EXPECT_EQ(outcome.record.movedSite, "Default Web Site");
    EXPECT_EQ(outcome.record.movedBinding, "*:80:");
    EXPECT_EQ(outcome.record.site, "TCorvanta10");
}

TEST_F(WebsiteRecord, AFailedCommitRecordsNothingOfWhatItHeld) {
    IisScenario scenario("empty");
    RegistryCleanup settings{HKEY_LOCAL_MACHINE, {IIS_SETTINGS_KEY}};
    SetRegistryDword(HKEY_LOCAL_MACHINE, IIS_SETTINGS_KEY, "CommitFailure", 0x80070005);
    SetRegistryDword(HKEY_LOCAL_MACHINE, IIS_SETTINGS_KEY, "CommitFailureOn", 2);
    const WebsiteOutcome outcome = InstallOn(8080);
    EXPECT_EQ(outcome.record.site, "TCorvanta108080");
    EXPECT_EQ(outcome.record.pool, "TCorvanta108080");
    EXPECT_TRUE(outcome.record.siteSections.empty());
    EXPECT_FALSE(outcome.record.webConfigCreated);
}

// A site on the chosen port is moved only where the rebind port is free, on
// whichever protocol the port is taken.
TEST_F(WebsiteRecord, WhenTheRebindPortIsTakenNothingIsMadeOrMoved) {
    struct Case {
        const char* scenario;
        const char* binding;  // added to the Default Web Site; none: the scenario's own sites
    };
    for (const Case& c : {Case{"earlier-installation", nullptr},
                          Case{"default-web-site", R"(<binding protocol="net.tcp" bindingInformation="8080:*" />)"}}) {
        SCOPED_TRACE(c.scenario);
        IisScenario scenario(c.scenario);
        if (c.binding) {
            std::string config = Config();
            const std::string http = R"(<binding protocol="http" bindingInformation="*:80:" />)";
            config.insert(config.find(http) + http.size(), std::string("\r\n                    ") + c.binding);
            WriteFileText(IIS_CONFIG, config);
        }
        const std::string before = Config();
        const int failedBefore = context.report.failedSteps;
        const WebsiteOutcome outcome = InstallOn(80);
        EXPECT_TRUE(Logged("Server Setup:80 is already in use on Default Web Site and port 8080 is taken too; the web "
                           "site was not created"))
            << LogText();
        EXPECT_EQ(context.report.failedSteps, failedBefore + 1);
        EXPECT_FALSE(outcome.created);
        EXPECT_EQ(outcome.record.site, "");
        EXPECT_EQ(outcome.record.movedSite, "");
        EXPECT_EQ(Config(), before);
        EXPECT_FALSE(IsExistingFile(SITE_WEB_CONFIG));
    }
}

TEST_F(WebsiteRecord, InformationServerPortNeedsNoIisManagement) {
    IisScenario scenario("default-web-site");
    ::CreateDirectoryA("C:\\Program Files\\CorvantaIS", nullptr);
    {
        ManagerClassRemoved noManager;
        ::DeleteFileA(INFO_SERVER_CONFIG_PATH);
        EXPECT_EQ(InstallOn(1465).result, 0);
        EXPECT_TRUE(Logged("Server Setup:You have not selected IIS management tootls and scripts in IIS Installation. "
                           "Please add these features"));
        EXPECT_EQ(ReadFileText(INFO_SERVER_CONFIG_PATH),
                  "DOC_ROOT=C:\\TCorvanta10\\\r\nPORT=1465\r\nENABLE_ISAPI=yes\r\n");
    }
    // With IIS there, a site on the port is still reported, and nothing moves.
    std::string config = Config();
    const std::string http = R"(bindingInformation="*:80:")";
    config.replace(config.find(http), http.size(), R"(bindingInformation="*:1465:")");
    WriteFileText(IIS_CONFIG, config);
    EXPECT_EQ(InstallOn(1465).result, 0);
    EXPECT_TRUE(Logged("Server Setup:1465 is already in use on Default Web SiteDo you want to continue? "));
    EXPECT_EQ(Config(), config);
    ::DeleteFileA(INFO_SERVER_CONFIG_PATH);
    ::DeleteFileA(IIS_CONFIG);
    EXPECT_EQ(InstallOn(1465).result, 0) << "a configuration that cannot be opened is no obstacle either";
    EXPECT_TRUE(IsExistingFile(INFO_SERVER_CONFIG_PATH));
    EXPECT_EQ(context.report.failedSteps, 0) << LogText();
    // Every other port still counts it.
    EXPECT_FALSE(InstallOn(8080).created);
    EXPECT_EQ(context.report.failedSteps, 1);
    ::SetCurrentDirectoryA("C:\\");  // the search for the information server entered its folder
    RemoveTree("C:\\Program Files\\CorvantaIS");
}

TEST(WebsiteText, ReadsABindingsPortInItsProtocolsForm) {
    struct Case {
        const char* protocol;
        const char* information;
        long port;
    };
    const Case cases[] = {
        {"http", "*:8080:", 8080},
        {"http", "*:80:www.example.com", 80},
        {"HTTPS", "10.0.0.1:8080:", 8080},
        {"https", "[::1]:8080:", 8080},
        {"http", "[fe80::1:2]:443:", 443},
        {"ftp", "*:21:", 21},
        {"http", "[::1:8080:", 0},   // an IPv6 address never closed
        {"http", "[::1]8080:", 0},   // no colon after it
        {"http", "*:port:", 0},
        {"http", "*:", 0},
        {"http", "8080", 0},         // no address part
        {"http", "*:123456:", 0},
        {"http", "*:65536:", 0},
        {"net.tcp", "8080:*", 8080},
        {"net.tcp", "808:", 808},
        {"net.msmq", "8080:localhost", 8080},
        {"msmq.formatname", "localhost", 0},
        {"net.pipe", "8080:*", 0},   // pipes have no port
        {"net.pipe", "*", 0},
        {"custom", "8080", 8080},
        {"net.tcp", "*:8080:", 0},   // an http form on a port:host protocol
    };
    for (const Case& c : cases) {
        EXPECT_EQ(BindingPortOf(c.protocol, c.information), c.port) << c.protocol << " " << c.information;
    }
    EXPECT_EQ(RebindBlockedMessage(443, "Shop", 8080),
              "443 is already in use on Shop and port 8080 is taken too; the web site was not created");
}

TEST(WebsiteText, AWebConfigWithoutAttributesHoldsNoSetting) {
    struct Case {
        const char* text;
        bool holds;
    };
    const Case cases[] = {
        {"", false},
        {" \r\n\t", false},
        {"<configuration />", false},
        {"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<configuration />\r\n", false},
        {"\xEF\xBB\xBF<configuration></configuration>", false},
        {"<configuration>\r\n    <system.webServer>\r\n        <security>\r\n            <requestFiltering>\r\n"
         "                <requestLimits />\r\n                <hiddenSegments />\r\n            </requestFiltering>\r\n"
         "        </security>\r\n    </system.webServer>\r\n</configuration>\r\n",
         false},
        {"<!-- kept by the administrator --><configuration />", false},
        {"<configuration><hiddenSegments><add segment=\"Private\" /></hiddenSegments></configuration>", true},
        {"<configuration><handlers><clear /></handlers></configuration>", true},
        {"<configuration><staticContent enableDocFooter=\"true\"/></configuration>", true},
        {"<configuration xmlns=\"urn:x\" />", true},
        {"<configuration>text</configuration>", true},
        {"<!DOCTYPE configuration><configuration />", true},
        {"<![CDATA[x]]>", true},
        {"<?xml-stylesheet href=\"a\"?><configuration />", true},
        {"<configuration", true},
        {"<!-- never closed", true},
        {"<>", true},
    };
    for (const Case& c : cases) EXPECT_EQ(WebConfigHoldsSettings(c.text), c.holds) << c.text;
}

TEST(WebsiteText, NamesBindingsAndMessagesByPort) {
    EXPECT_EQ(SiteNameForPort(443), "TCorvanta10");
    EXPECT_EQ(SiteNameForPort(8080), "TCorvanta108080");
    EXPECT_EQ(BindingInformation(8080), L"*:8080:");
    EXPECT_EQ(BindingPort("*:80:"), 80);
    EXPECT_EQ(BindingPort("10.0.0.1:80:"), 0);  // explicit addresses are read from their third character
    EXPECT_EQ(BindingPort("*:"), 0);
    EXPECT_EQ(text::ParseLong(" 7"), 7);
    EXPECT_EQ(text::ParseLong("abc"), 0) << "a site id that is not a number counts 0";
    const std::string message = ConflictMessage(80, std::string(400, 'n'));
    EXPECT_EQ(message.size(), 255u);
    EXPECT_EQ(message.substr(message.size() - 25), "Do you want to continue? ");
    EXPECT_EQ(MissingModulesMessage({false, true, true, true, true, false, true, true}),
              "TCorvanta10.dll,Tz10ci.dll.Please select installation folder or let Setup search for you.");
    EXPECT_EQ(MissingModulesMessage({true, true, false, true, true, true, true, true}),
              " TCrv10Cmn.dll.Please select installation folder or let Setup search for you.");
    EXPECT_EQ(MissingModulesMessage(std::vector<bool>(8, true)), "");
}

class ServerFolderSearch : public ContextTest {};

TEST_F(ServerFolderSearch, EndsAtTheFirstFolderHoldingTheModule) {
    for (const char* folder : {"srv", "srv\\.hidden", "srv\\.hidden\\deep", "srv\\zz"}) {
        ::CreateDirectoryA((startFolder / folder).c_str(), nullptr);
    }
    WriteFileText(startFolder / "srv\\.hidden\\deep\\tcorvanta10.DLL", "module");
    WriteFileText(startFolder / "srv\\zz\\TCorvanta10.dll", "module");
    EXPECT_TRUE(context.server->SearchServerFolder(startFolder / "srv"));
    EXPECT_EQ(context.server->serverFolder, startFolder / "srv\\.hidden\\deep\\");
    EXPECT_FALSE(context.server->SearchServerFolder(startFolder / "srv\\zz\\..\\missing"));
}

TEST_F(ServerFolderSearch, ReportsAMissingFolderOrMissingFiles) {
    context.serverDirectory = startFolder / "absent";
    context.server->CheckServerModules();
    EXPECT_EQ(LogText(), "Server Setup:This folder does not exist.Please specify Folder where TCorvanta10 is installed \r\n");
}

}  // namespace
