// Site-level configuration: sections read and written at
// "MACHINE/WEBROOT/APPHOST/<site>", kept in a <location> of the file, and the
// lock a server can put on a section.
#include "iis_fixture.h"

namespace iistest {
namespace {

constexpr wchar_t kSitePath[] = L"MACHINE/WEBROOT/APPHOST/TCorvanta108080";

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
};

TEST_F(SiteLevel, ALockedSectionIsRefusedForTheSiteButOpenAtServerLevel) {
    UseScenario(L"handlers-locked");
    auto manager = NewManager();
    SetCommitPath(manager.Get(), kSitePath);
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
    auto manager = NewManager();
    SetCommitPath(manager.Get(), kSitePath);
    ComPtr<IAppHostElement> section;
    EXPECT_EQ(OpenSection(manager.Get(), kHandlers, kSitePath, section), S_OK);
}

TEST_F(SiteLevel, ALockedSectionCanStillBeSetForTheSiteInsideApplicationHostConfig) {
    UseScenario(L"handlers-locked");
    auto manager = NewManager();  // commit path at server level: a <location> of this file
    ComPtr<IAppHostElement> section;
    EXPECT_EQ(OpenSection(manager.Get(), kHandlers, kSitePath, section), S_OK);
}

TEST_F(SiteLevel, SiteSettingsLandInTheSitesLocation) {
    UseScenario(L"default-web-site");
    const std::string before = ConfigText();
    auto manager = NewManager();
    SetCommitPath(manager.Get(), kSitePath);
    ConfigureSite(manager.Get());
    ASSERT_EQ(manager->CommitChanges(), S_OK);

    const std::string text = ConfigText();
    const size_t location = text.find("    <location path=\"TCorvanta108080\">");
    ASSERT_NE(location, std::string::npos) << text;
    const std::string site = text.substr(location);
    EXPECT_NE(site.find("<handlers accessPolicy=\"Read, Write, Execute, Script\">\r\n"
                        "                <clear />\r\n"
                        "                <add name=\"TovinSoft CorvantaApp v10.1\" path=\"*.dll\" verb=\"GET,POST\" "
                        "modules=\"IsapiModule\" scriptProcessor=\"C:\\Corvanta\\TCorvanta10.dll\" "
                        "resourceType=\"Either\" requireAccess=\"Execute\" />\r\n"
                        "                <add name=\"StaticFile\" path=\"*\" verb=\"*\" "
                        "modules=\"StaticFileModule,DefaultDocumentModule,DirectoryListingModule\" "
                        "resourceType=\"Either\" requireAccess=\"Read\" />\r\n"
                        "            </handlers>"),
              std::string::npos)
        << site;
    EXPECT_NE(site.find("<files>\r\n                    <clear />\r\n"
                        "                    <add value=\"TCorvanta10.dll\" />\r\n"
                        "                </files>"),
              std::string::npos);
    EXPECT_NE(site.find("<requestLimits maxAllowedContentLength=\"524288000\" />"), std::string::npos);
    // The server level keeps its own settings.
    auto server = NewManager();
    auto handlers = Section(server.Get(), kHandlers);
    EXPECT_EQ(Text(handlers.Get(), L"accessPolicy"), L"Read, Script");
    EXPECT_EQ(CountOf(CollectionOf(handlers.Get()).Get()), 4u);
    EXPECT_EQ(CountOf(CollectionOf(ChildOf(Section(server.Get(), kDefaultDocument).Get(), L"files").Get()).Get()), 5u);
    auto limits = ChildOf(Section(server.Get(), kRequestFiltering).Get(), L"requestLimits");
    EXPECT_EQ(Text(limits.Get(), L"maxAllowedContentLength"), L"30000000");
    EXPECT_EQ(text.substr(0, location), before.substr(0, before.find("</configuration>")));
}

TEST_F(SiteLevel, ASecondRunReplacesTheSiteSettingsInsteadOfAddingToThem) {
    UseScenario(L"earlier-installation");
    auto manager = NewManager();
    SetCommitPath(manager.Get(), kSitePath);
    ConfigureSite(manager.Get());
    ASSERT_EQ(manager->CommitChanges(), S_OK);
    const std::string text = ConfigText();
    EXPECT_EQ(Occurrences(text, "<location path=\"TCorvanta108080\">"), 1u);
    EXPECT_EQ(Occurrences(text, "name=\"TovinSoft CorvantaApp v10.1\""), 1u);
    EXPECT_EQ(Occurrences(text, "<add value=\"TCorvanta10.dll\" />"), 1u);
    EXPECT_EQ(Occurrences(text, "<clear />"), 2u);

    auto handlers = CollectionOf(Section(NewManager().Get(), kHandlers, kSitePath).Get());
    ASSERT_EQ(CountOf(handlers.Get()), 2u);
    EXPECT_EQ(Text(ItemAt(handlers.Get(), 0).Get(), L"scriptProcessor"), L"C:\\Corvanta\\TCorvanta10.dll");
}

TEST_F(SiteLevel, ASiteWithoutSettingsOfItsOwnReadsTheServers) {
    UseScenario(L"default-web-site");
    auto manager = NewManager();
    auto files = CollectionOf(ChildOf(Section(manager.Get(), kDefaultDocument, kSitePath).Get(), L"files").Get());
    ASSERT_EQ(CountOf(files.Get()), 5u);
    EXPECT_EQ(Text(ItemAt(files.Get(), 0).Get(), L"value"), L"Default.htm");
    auto handlers = Section(manager.Get(), kHandlers, kSitePath);
    EXPECT_EQ(Text(handlers.Get(), L"accessPolicy"), L"Read, Script");
    auto limits = ChildOf(Section(manager.Get(), kRequestFiltering, kSitePath).Get(), L"requestLimits");
    EXPECT_EQ(Text(limits.Get(), L"maxAllowedContentLength"), L"30000000");  // the schema's default
    // Inherited entries belong to the server level.
    EXPECT_EQ(Set(ItemAt(files.Get(), 0).Get(), L"value", Variant::Text(L"x.htm")), E_ACCESSDENIED);
    // Reading alone leaves the file as it was.
    const std::string before = ConfigText();
    ASSERT_EQ(manager->CommitChanges(), S_OK);
    EXPECT_EQ(ConfigText(), before);
}

TEST_F(SiteLevel, AnInheritedEntryDeletedForTheSiteIsRemovedThereOnly) {
    UseScenario(L"default-web-site");
    auto manager = NewManager();
    auto files = CollectionOf(ChildOf(Section(manager.Get(), kDefaultDocument, kSitePath).Get(), L"files").Get());
    Check(files->DeleteElement(Index(0).Get()), "DeleteElement");
    EXPECT_EQ(CountOf(files.Get()), 4u);
    ASSERT_EQ(manager->CommitChanges(), S_OK);
    const std::string text = ConfigText();
    EXPECT_NE(text.find("<remove value=\"Default.htm\" />"), std::string::npos);
    EXPECT_NE(text.find("<add value=\"Default.htm\" />"), std::string::npos);
    auto server = CollectionOf(ChildOf(Section(NewManager().Get(), kDefaultDocument).Get(), L"files").Get());
    EXPECT_EQ(CountOf(server.Get()), 5u);
}

}  // namespace
}  // namespace iistest
