// Site-level configuration: sections read and written at
// "MACHINE/WEBROOT/APPHOST/<site>". With the commit path at the site they go
// into the web.config in the site's folder, merged on reading after the server
// level and the site's <location> in applicationHost.config; with the commit
// path at server level into that <location>. And the lock a server can put on
// a section.
#include "iis_fixture.h"

namespace iistest {
namespace {

constexpr wchar_t kSitePath[] = L"MACHINE/WEBROOT/APPHOST/TCorvanta108080";
constexpr wchar_t kSiteFolder[] = L"C:\\TCorvanta10";  // the earlier installation's site
constexpr HRESULT kPathNotFound = static_cast<HRESULT>(0x80070003);

// The settings the setup makes, as IIS writes them into a new web.config.
constexpr char kSiteWebConfig[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
    "<configuration>\r\n"
    "    <system.webServer>\r\n"
    "        <handlers accessPolicy=\"Read, Write, Execute, Script\">\r\n"
    "            <clear />\r\n"
    "            <add name=\"TovinSoft CorvantaApp v10.1\" path=\"*.dll\" verb=\"GET,POST\" modules=\"IsapiModule\" "
    "scriptProcessor=\"C:\\Corvanta\\TCorvanta10.dll\" resourceType=\"Either\" requireAccess=\"Execute\" />\r\n"
    "            <add name=\"StaticFile\" path=\"*\" verb=\"*\" "
    "modules=\"StaticFileModule,DefaultDocumentModule,DirectoryListingModule\" resourceType=\"Either\" "
    "requireAccess=\"Read\" />\r\n"
    "        </handlers>\r\n"
    "        <defaultDocument enabled=\"true\">\r\n"
    "            <files>\r\n"
    "                <clear />\r\n"
    "                <add value=\"TCorvanta10.dll\" />\r\n"
    "            </files>\r\n"
    "        </defaultDocument>\r\n"
    "        <security>\r\n"
    "            <requestFiltering>\r\n"
    "                <requestLimits maxAllowedContentLength=\"524288000\" />\r\n"
    "            </requestFiltering>\r\n"
    "        </security>\r\n"
    "    </system.webServer>\r\n"
    "</configuration>\r\n";

class SiteLevel : public IisTest {
protected:
    // The site-level settings, made the way the setup makes them.
    static void ConfigureSite(IAppHostWritableAdminManager* manager) {
        auto handlers = Section(manager, kHandlers, kSitePath);
        SetText(handlers.Get(), L"accessPolicy", L"Read,Write,Script,Execute");
        auto list = CollectionOf(handlers.Get());
        Check(list->Clear(), "Clear handlers");
        auto isapi = CreateEntry(list.Get(), L"add");
        SetText(isapi.Get(), L"name", L"TovinSoft CorvantaApp v10.1");
        SetText(isapi.Get(), L"path", L"*.dll");
        SetText(isapi.Get(), L"verb", L"GET,POST");
        SetText(isapi.Get(), L"modules", L"IsapiModule");
        SetText(isapi.Get(), L"scriptProcessor", L"C:\\Corvanta\\TCorvanta10.dll");
        SetText(isapi.Get(), L"resourceType", L"Either");
        SetText(isapi.Get(), L"requireAccess", L"Execute");
        Check(list->AddElement(isapi.Get(), -1), "add ISAPI handler");
        auto files = CreateEntry(list.Get(), L"add");
        SetText(files.Get(), L"name", L"StaticFile");
        SetText(files.Get(), L"path", L"*");
        SetText(files.Get(), L"verb", L"*");
        SetText(files.Get(), L"modules", L"StaticFileModule,DefaultDocumentModule,DirectoryListingModule");
        SetText(files.Get(), L"resourceType", L"Either");
        SetText(files.Get(), L"requireAccess", L"Read");
        Check(list->AddElement(files.Get(), -1), "add static file handler");

        auto document = Section(manager, kDefaultDocument, kSitePath);
        Check(Set(document.Get(), L"enabled", Variant::Bool(true)), "enabled");
        auto documents = CollectionOf(ChildOf(document.Get(), L"files").Get());
        Check(documents->Clear(), "Clear files");
        auto module = CreateEntry(documents.Get(), L"add");
        SetText(module.Get(), L"value", L"TCorvanta10.dll");
        Check(documents->AddElement(module.Get(), -1), "add default document");

        auto filtering = Section(manager, kRequestFiltering, kSitePath);
        ComPtr<IAppHostElement> limits;
        Bstr name(L"requestLimits");
        Check(filtering->GetElementByName(name.Get(), limits.Put()), "GetElementByName");
        Check(Set(limits.Get(), L"maxAllowedContentLength", Variant::UInt32(524288000)), "maxAllowedContentLength");
    }

    static void SetCommitPath(IAppHostWritableAdminManager* manager, const wchar_t* path) {
        Bstr text(path);
        Check(manager->put_CommitPath(text.Get()), "put_CommitPath");
    }
    ComPtr<IAppHostWritableAdminManager> SiteManager() {
        auto manager = NewManager();
        SetCommitPath(manager.Get(), kSitePath);
        return manager;
    }
    static std::vector<std::wstring> Values(IAppHostElementCollection* collection, const wchar_t* key) {
        std::vector<std::wstring> values;
        for (DWORD i = 0; i < CountOf(collection); ++i) values.push_back(Text(ItemAt(collection, i).Get(), key));
        return values;
    }
    static ComPtr<IAppHostElementCollection> Files(IAppHostWritableAdminManager* manager) {
        return CollectionOf(ChildOf(Section(manager, kDefaultDocument, kSitePath).Get(), L"files").Get());
    }

    SiteFolder site_{kSiteFolder};
};

TEST_F(SiteLevel, ALockedSectionIsRefusedForTheSiteButOpenAtServerLevel) {
    UseScenario(L"handlers-locked");
    auto manager = SiteManager();
    ComPtr<IAppHostElement> section;
    EXPECT_EQ(OpenSection(manager.Get(), kHandlers, kSitePath, section), static_cast<HRESULT>(0x80070021));
    EXPECT_EQ(OpenSection(manager.Get(), kHandlers, kServer, section), S_OK);
    EXPECT_EQ(CountOf(CollectionOf(section.Get()).Get()), 4u);
    // Sections that are not locked stay open for the site.
    EXPECT_EQ(OpenSection(manager.Get(), kDefaultDocument, kSitePath, section), S_OK);
    EXPECT_EQ(OpenSection(manager.Get(), kRequestFiltering, kSitePath, section), S_OK);
}

TEST_F(SiteLevel, TheServersLocationUnlocksTheSectionForEverySite) {
    UseScenario(L"default-web-site");  // handlers declared Deny, allowed by <location path="">
    auto manager = SiteManager();
    ComPtr<IAppHostElement> section;
    EXPECT_EQ(OpenSection(manager.Get(), kHandlers, kSitePath, section), S_OK);
}

TEST_F(SiteLevel, WithTheCommitPathAtServerLevelTheSettingsGoIntoTheSitesLocation) {
    UseScenario(L"handlers-locked");
    ComPtr<IAppHostElement> locked;  // no web.config is written, so no lock applies
    EXPECT_EQ(OpenSection(NewManager().Get(), kHandlers, kSitePath, locked), S_OK);

    UseScenario(L"default-web-site");
    const std::string before = ConfigText();
    auto manager = NewManager();
    ConfigureSite(manager.Get());
    ASSERT_EQ(manager->CommitChanges(), S_OK);

    const std::string text = ConfigText();
    const size_t location = text.find("    <location path=\"TCorvanta108080\">");
    ASSERT_NE(location, std::string::npos) << text;
    const std::string site = text.substr(location);
    EXPECT_NE(site.find("<handlers accessPolicy=\"Read, Write, Execute, Script\">\r\n"
                        "                <clear />\r\n"
                        "                <add name=\"TovinSoft CorvantaApp v10.1\" path=\"*.dll\""),
              std::string::npos)
        << site;
    EXPECT_NE(site.find("<files>\r\n                    <clear />\r\n"
                        "                    <add value=\"TCorvanta10.dll\" />\r\n"
                        "                </files>"),
              std::string::npos);
    EXPECT_NE(site.find("<requestLimits maxAllowedContentLength=\"524288000\" />"), std::string::npos);
    EXPECT_EQ(text.substr(0, location), before.substr(0, before.find("</configuration>")));
    EXPECT_FALSE(site_.HasWebConfig());
}

TEST_F(SiteLevel, WithTheCommitPathAtTheSiteTheSettingsGoIntoItsWebConfig) {
    UseScenario(L"earlier-installation");
    const std::string before = ConfigText();
    auto manager = SiteManager();
    ConfigureSite(manager.Get());
    ASSERT_EQ(manager->CommitChanges(), S_OK);

    EXPECT_EQ(site_.WebConfig(), kSiteWebConfig);
    EXPECT_EQ(ConfigText(), before);  // the earlier <location> stays as it was
    // The server level keeps its own settings.
    auto server = NewManager();
    auto handlers = Section(server.Get(), kHandlers);
    EXPECT_EQ(Text(handlers.Get(), L"accessPolicy"), L"Read, Script");
    EXPECT_EQ(CountOf(CollectionOf(handlers.Get()).Get()), 4u);
    EXPECT_EQ(CountOf(CollectionOf(ChildOf(Section(server.Get(), kDefaultDocument).Get(), L"files").Get()).Get()), 5u);
}

TEST_F(SiteLevel, ASecondRunReplacesTheSiteSettingsInsteadOfAddingToThem) {
    UseScenario(L"earlier-installation");
    for (int run = 0; run < 2; ++run) {
        auto manager = SiteManager();
        ConfigureSite(manager.Get());
        ASSERT_EQ(manager->CommitChanges(), S_OK);
    }
    EXPECT_EQ(site_.WebConfig(), kSiteWebConfig);
    auto handlers = CollectionOf(Section(SiteManager().Get(), kHandlers, kSitePath).Get());
    ASSERT_EQ(CountOf(handlers.Get()), 2u);
    EXPECT_EQ(Text(ItemAt(handlers.Get(), 0).Get(), L"scriptProcessor"), L"C:\\Corvanta\\TCorvanta10.dll");
}

TEST_F(SiteLevel, ReadsMergeTheServerTheSitesLocationAndItsWebConfig) {
    UseScenario(L"earlier-installation");
    const std::string own =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
        "<!-- Written by the site's administrator. -->\r\n"
        "<configuration>\r\n"
        "    <appSettings>\r\n"
        "        <add key=\"theme\" value=\"dark\" />\r\n"
        "    </appSettings>\r\n"
        "\r\n"
        "    <system.webServer>\r\n"
        "        <defaultDocument>\r\n"
        "            <files>\r\n"
        "                <remove value=\"TCorvanta10.dll\" />\r\n"
        "                <add value=\"start.htm\" />\r\n"
        "            </files>\r\n"
        "        </defaultDocument>\r\n"
        "        <security>\r\n"
        "            <requestFiltering>\r\n"
        "                <requestLimits maxUrl=\"8192\" />\r\n"
        "            </requestFiltering>\r\n"
        "        </security>\r\n"
        "    </system.webServer>\r\n"
        "</configuration>\r\n";
    site_.WriteWebConfig(own);

    auto manager = SiteManager();
    EXPECT_EQ(Values(Files(manager.Get()).Get(), L"value"), std::vector<std::wstring>{L"start.htm"});
    EXPECT_EQ(Text(Section(manager.Get(), kDefaultDocument, kSitePath).Get(), L"enabled"), L"true");
    auto filtering = Section(manager.Get(), kRequestFiltering, kSitePath);
    auto limits = ChildOf(filtering.Get(), L"requestLimits");
    EXPECT_EQ(Text(limits.Get(), L"maxAllowedContentLength"), L"524288000");  // the site's <location>
    EXPECT_EQ(Text(limits.Get(), L"maxUrl"), L"8192");                       // the web.config
    EXPECT_EQ(Text(limits.Get(), L"maxQueryString"), L"2048");               // the schema's default
    EXPECT_EQ(CountOf(CollectionOf(ChildOf(filtering.Get(), L"hiddenSegments").Get()).Get()), 4u);  // the server
    auto handlers = Section(manager.Get(), kHandlers, kSitePath);
    EXPECT_EQ(Text(handlers.Get(), L"accessPolicy"), L"Read, Write, Execute, Script");
    EXPECT_EQ(CountOf(CollectionOf(handlers.Get()).Get()), 2u);

    // The <location> alone, as it is seen with the commit path at server level.
    auto server = NewManager();
    EXPECT_EQ(Values(Files(server.Get()).Get(), L"value"), std::vector<std::wstring>{L"TCorvanta10.dll"});
    EXPECT_EQ(Text(ChildOf(Section(server.Get(), kRequestFiltering, kSitePath).Get(), L"requestLimits").Get(),
                   L"maxUrl"),
              L"4096");

    // A change keeps everything else of the file as it was.
    Check(Set(limits.Get(), L"maxAllowedContentLength", Variant::UInt32(1048576)), "maxAllowedContentLength");
    ASSERT_EQ(manager->CommitChanges(), S_OK);
    std::string expected = own;
    const std::string_view from = "<requestLimits maxUrl=\"8192\" />";
    expected.replace(expected.find(from), from.size(),
                     "<requestLimits maxUrl=\"8192\" maxAllowedContentLength=\"1048576\" />");
    EXPECT_EQ(site_.WebConfig(), expected);
}

TEST_F(SiteLevel, ASiteWithoutSettingsOfItsOwnReadsTheServersAndWritesNothing) {
    UseScenario(L"default-web-site");
    const std::string before = ConfigText();
    auto manager = SiteManager();  // a site the file does not have: its folder is unknown
    auto files = Files(manager.Get());
    ASSERT_EQ(CountOf(files.Get()), 5u);
    EXPECT_EQ(Text(ItemAt(files.Get(), 0).Get(), L"value"), L"Default.htm");
    EXPECT_EQ(Text(Section(manager.Get(), kHandlers, kSitePath).Get(), L"accessPolicy"), L"Read, Script");
    auto limits = ChildOf(Section(manager.Get(), kRequestFiltering, kSitePath).Get(), L"requestLimits");
    EXPECT_EQ(Text(limits.Get(), L"maxAllowedContentLength"), L"30000000");  // the schema's default
    // Inherited entries belong to the server level.
    EXPECT_EQ(Set(ItemAt(files.Get(), 0).Get(), L"value", Variant::Text(L"x.htm")), E_ACCESSDENIED);
    ASSERT_EQ(manager->CommitChanges(), S_OK);
    EXPECT_EQ(ConfigText(), before);
    EXPECT_FALSE(site_.HasWebConfig());
}

TEST_F(SiteLevel, PropertyClearAndDeleteElementWorkOnTheWebConfigsOwnLevel) {
    UseScenario(L"earlier-installation");
    site_.WriteWebConfig(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
        "<configuration>\r\n"
        "    <system.webServer>\r\n"
        "        <handlers accessPolicy=\"Read\">\r\n"
        "            <add name=\"Extra\" path=\"*.x\" verb=\"GET\" modules=\"IsapiModule\" />\r\n"
        "        </handlers>\r\n"
        "    </system.webServer>\r\n"
        "</configuration>\r\n");
    auto manager = SiteManager();
    auto handlers = Section(manager.Get(), kHandlers, kSitePath);
    auto list = CollectionOf(handlers.Get());
    ASSERT_EQ(Values(list.Get(), L"name"),
              (std::vector<std::wstring>{L"TovinSoft CorvantaApp v10.1", L"StaticFile", L"Extra"}));

    ComPtr<IAppHostProperty> policy;
    Bstr name(L"accessPolicy");
    Check(handlers->GetPropertyByName(name.Get(), policy.Put()), "GetPropertyByName");
    Check(policy->Clear(), "property Clear");
    EXPECT_EQ(Text(handlers.Get(), L"accessPolicy"), L"Read, Write, Execute, Script");  // the <location>'s
    Check(list->DeleteElement(Index(2).Get()), "delete the web.config's own entry");
    Check(list->DeleteElement(Index(1).Get()), "delete an inherited entry");
    EXPECT_EQ(Values(list.Get(), L"name"), std::vector<std::wstring>{L"TovinSoft CorvantaApp v10.1"});
    ASSERT_EQ(manager->CommitChanges(), S_OK);
    EXPECT_EQ(site_.WebConfig(),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
              "<configuration>\r\n"
              "    <system.webServer>\r\n"
              "        <handlers>\r\n"
              "            <remove name=\"StaticFile\" />\r\n"
              "        </handlers>\r\n"
              "    </system.webServer>\r\n"
              "</configuration>\r\n");
}

TEST_F(SiteLevel, ClearTakesASectionOutOfTheWebConfigAndTheSiteInheritsAgain) {
    UseScenario(L"earlier-installation");
    site_.WriteWebConfig(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
        "<!-- The site's own settings. -->\r\n"
        "<configuration>\r\n"
        "    <system.webServer>\r\n"
        "        <handlers accessPolicy=\"Read\">\r\n"
        "            <clear />\r\n"
        "        </handlers>\r\n"
        "        <!-- Documents of the site. -->\r\n"
        "        <defaultDocument enabled=\"false\">\r\n"
        "            <files>\r\n"
        "                <add value=\"start.htm\" />\r\n"
        "            </files>\r\n"
        "        </defaultDocument>\r\n"
        "    </system.webServer>\r\n"
        "</configuration>\r\n");
    auto manager = SiteManager();
    auto document = Section(manager.Get(), kDefaultDocument, kSitePath);
    Check(document->Clear(), "Clear defaultDocument");
    EXPECT_EQ(Text(document.Get(), L"enabled"), L"true");
    EXPECT_EQ(Values(Files(manager.Get()).Get(), L"value"), std::vector<std::wstring>{L"TCorvanta10.dll"});
    ASSERT_EQ(manager->CommitChanges(), S_OK);
    EXPECT_EQ(site_.WebConfig(),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
              "<!-- The site's own settings. -->\r\n"
              "<configuration>\r\n"
              "    <system.webServer>\r\n"
              "        <handlers accessPolicy=\"Read\">\r\n"
              "            <clear />\r\n"
              "        </handlers>\r\n"
              "        <!-- Documents of the site. -->\r\n"
              "    </system.webServer>\r\n"
              "</configuration>\r\n");

    // Without the comment and the last section, the file keeps its root only.
    site_.WriteWebConfig(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
        "<configuration>\r\n"
        "    <system.webServer>\r\n"
        "        <handlers accessPolicy=\"Read\" />\r\n"
        "    </system.webServer>\r\n"
        "</configuration>\r\n");
    manager = SiteManager();
    auto handlers = Section(manager.Get(), kHandlers, kSitePath);
    Check(handlers->Clear(), "Clear handlers");
    EXPECT_EQ(CountOf(CollectionOf(handlers.Get()).Get()), 2u);  // the <location>'s entries again
    ASSERT_EQ(manager->CommitChanges(), S_OK);
    EXPECT_EQ(site_.WebConfig(), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<configuration />\r\n");
}

TEST_F(SiteLevel, AMissingSiteFolderFailsTheCommitAndNothingIsWritten) {
    UseScenario(L"earlier-installation");
    const std::string before = ConfigText();
    const std::wstring moved = L"C:\\CorvantaTestbed\\moved-site";
    ::RemoveDirectoryW(moved.c_str());
    auto manager = SiteManager();
    // The folder is the one the manager sees now, pending changes included.
    auto site = Find(CollectionOf(Section(manager.Get(), kSites).Get()).Get(), L"TCorvanta108080");
    auto directory = ItemAt(CollectionOf(ItemAt(CollectionOf(site.Get()).Get(), 0).Get()).Get(), 0);
    SetText(directory.Get(), L"physicalPath", moved);
    ConfigureSite(manager.Get());
    EXPECT_EQ(manager->CommitChanges(), kPathNotFound);
    EXPECT_EQ(ConfigText(), before);
    EXPECT_FALSE(site_.HasWebConfig());

    SiteFolder folder(moved);
    ASSERT_EQ(manager->CommitChanges(), S_OK);
    EXPECT_EQ(folder.WebConfig(), kSiteWebConfig);
    EXPECT_NE(ConfigText().find("physicalPath=\"C:\\CorvantaTestbed\\moved-site\""), std::string::npos);
}

TEST_F(SiteLevel, TheFolderIsTheSitesRootVirtualDirectoryWithVariablesExpanded) {
    UseScenario(L"default-web-site");  // physicalPath="%SystemDrive%\inetpub\wwwroot"
    const wchar_t defaultSite[] = L"MACHINE/WEBROOT/APPHOST/Default Web Site";
    SiteFolder folder(L"C:\\inetpub\\wwwroot");
    auto manager = NewManager();
    SetCommitPath(manager.Get(), defaultSite);
    Check(Set(Section(manager.Get(), kDefaultDocument, defaultSite).Get(), L"enabled", Variant::Bool(false)),
          "enabled");
    ASSERT_EQ(manager->CommitChanges(), S_OK);
    EXPECT_NE(folder.WebConfig().find("<defaultDocument enabled=\"false\" />"), std::string::npos)
        << folder.WebConfig();

    // A site the configuration does not have has no folder to write to.
    const wchar_t nowhere[] = L"MACHINE/WEBROOT/APPHOST/Nowhere";
    manager = NewManager();
    SetCommitPath(manager.Get(), nowhere);
    Check(Set(Section(manager.Get(), kDefaultDocument, nowhere).Get(), L"enabled", Variant::Bool(false)), "enabled");
    EXPECT_EQ(manager->CommitChanges(), kPathNotFound);
}

TEST_F(SiteLevel, ASiteHidesTheUpdateSegment) {
    UseScenario(L"earlier-installation");
    auto manager = SiteManager();
    auto hidden = ChildOf(Section(manager.Get(), kRequestFiltering, kSitePath).Get(), L"hiddenSegments");
    EXPECT_EQ(Text(hidden.Get(), L"applyToWebDAV"), L"true");
    auto segments = CollectionOf(hidden.Get());
    auto update = CreateEntry(segments.Get(), L"add");
    EXPECT_EQ(segments->AddElement(update.Get(), -1), static_cast<HRESULT>(0x80070002));  // no segment yet
    SetText(update.Get(), L"segment", L"Update");
    Check(segments->AddElement(update.Get(), -1), "add Update");
    auto again = CreateEntry(segments.Get(), L"add");
    SetText(again.Get(), L"segment", L"BIN");  // the server's "bin": segments compare without case
    EXPECT_EQ(segments->AddElement(again.Get(), -1), static_cast<HRESULT>(0x800700B7));
    ASSERT_EQ(manager->CommitChanges(), S_OK);

    EXPECT_NE(site_.WebConfig().find("            <requestFiltering>\r\n"
                                     "                <hiddenSegments>\r\n"
                                     "                    <add segment=\"Update\" />\r\n"
                                     "                </hiddenSegments>\r\n"),
              std::string::npos)
        << site_.WebConfig();
    auto read = CollectionOf(ChildOf(Section(SiteManager().Get(), kRequestFiltering, kSitePath).Get(),
                                     L"hiddenSegments").Get());
    EXPECT_EQ(Values(read.Get(), L"segment"),
              (std::vector<std::wstring>{L"web.config", L"bin", L"App_code", L"App_Data", L"Update"}));
}

}  // namespace
}  // namespace iistest
