// The web site installation against the machine's IIS administration stand-in.
#include <gtest/gtest.h>

#include <windows.h>

#include "iis/config_access.h"
#include "iis/module_check.h"
#include "iis/website.h"
#include "setup/server_setup.h"
#include "support/dialog_fixture.h"
#include "support/registry.h"
#include "support/temp_folder.h"
#include "support/testbed_access.h"
#include "win/text.h"

namespace {

constexpr char MANAGER_CLASS[] = "Software\\Classes\\CLSID\\{2B72133B-3F5B-4602-8952-803546CE3344}\\InprocServer32";
constexpr char SERVER_FOLDER[] = "C:\\TCorvanta10";
constexpr char SITE_WEB_CONFIG[] = "C:\\TCorvanta10\\web.config";

// The server folder as the setup leaves it before it configures IIS, which
// keeps the site's own settings in a web.config there; the file goes with the
// test and the folder, when the test made it, too.
class ServerFolder {
public:
    ServerFolder() : made_(::CreateDirectoryA(SERVER_FOLDER, nullptr) != 0) {
        existed_ = ::GetFileAttributesA(SITE_WEB_CONFIG) != INVALID_FILE_ATTRIBUTES;
        if (existed_) saved_ = ReadFileText(SITE_WEB_CONFIG);
        ::DeleteFileA(SITE_WEB_CONFIG);
    }
    ~ServerFolder() {
        ::DeleteFileA(SITE_WEB_CONFIG);
        if (existed_) WriteFileText(SITE_WEB_CONFIG, saved_);
        if (made_) ::RemoveDirectoryA(SERVER_FOLDER);
    }
    ServerFolder(const ServerFolder&) = delete;
    ServerFolder& operator=(const ServerFolder&) = delete;

private:
    bool made_;
    bool existed_ = false;
    std::string saved_;
};

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
