// Collections as the setup uses them: the site built from scratch, pools
// created and refreshed, and IIS's refusals (duplicate keys, names the
// collection does not take, entries without what the schema requires).
#include <functional>
#include <utility>
#include <vector>

#include "iis_fixture.h"

namespace iistest {
namespace {

class Collections : public IisTest {
protected:
    // The site, built in the order the setup builds it: the site's tree first,
    // appended from the inside out, then the binding on the appended site.
    void CreateSiteLikeTheSetup(IAppHostElementCollection* sites, const wchar_t* name, short id, const wchar_t* port) {
        auto site = CreateEntry(sites, L"site");
        SetText(site.Get(), L"name", name);
        Check(Set(site.Get(), L"id", Variant::Int16(id)), "id");
        Check(Set(site.Get(), L"serverAutoStart", Variant::Bool(true)), "serverAutoStart");
        auto applications = CollectionOf(site.Get());
        auto application = CreateEntry(applications.Get(), L"application");
        ComPtr<IAppHostPropertyCollection> properties;
        Check(application->get_Properties(properties.Put()), "get_Properties");
        ComPtr<IAppHostProperty> path;
        Check(properties->get_Item(Variant::Text(L"path").Get(), path.Put()), "path");
        Check(path->put_Value(Variant::Text(L"/").Get()), "put path");
        SetText(application.Get(), L"applicationPool", name);
        auto directories = CollectionOf(application.Get());
        auto directory = CreateEntry(directories.Get(), L"virtualDirectory");
        SetText(directory.Get(), L"path", L"/");
        SetText(directory.Get(), L"physicalPath", L"C:\\Program Files\\TovinSoft\\Corvanta 10\\");
        Check(directories->AddElement(directory.Get(), -1), "add virtual directory");
        Check(applications->AddElement(application.Get(), -1), "add application");
        Check(sites->AddElement(site.Get(), -1), "add site");
        auto bindings = CollectionOf(ChildOf(site.Get(), L"bindings").Get());
        auto binding = CreateEntry(bindings.Get(), L"binding");
        SetText(binding.Get(), L"protocol", L"http");
        SetText(binding.Get(), L"bindingInformation", std::wstring(L"*:") + port + L":");
        Check(bindings->AddElement(binding.Get(), -1), "add binding");
    }
};

TEST_F(Collections, ASiteBuiltLikeTheSetupIsWrittenAndReadBack) {
    UseScenario(L"empty");
    {
        auto manager = NewManager();
        auto sites = CollectionOf(Section(manager.Get(), kSites).Get());
        CreateSiteLikeTheSetup(sites.Get(), L"TCorvanta108080", 1, L"8080");
        EXPECT_EQ(CountOf(sites.Get()), 1u);  // the pending site is already in the collection
        ASSERT_EQ(manager->CommitChanges(), S_OK);
    }
    const std::string text = ConfigText();
    EXPECT_NE(text.find("<site name=\"TCorvanta108080\" id=\"1\" serverAutoStart=\"true\">\r\n"
                        "                <application path=\"/\" applicationPool=\"TCorvanta108080\">\r\n"
                        "                    <virtualDirectory path=\"/\" "
                        "physicalPath=\"C:\\Program Files\\TovinSoft\\Corvanta 10\\\" />\r\n"
                        "                </application>\r\n"
                        "                <bindings>\r\n"
                        "                    <binding protocol=\"http\" bindingInformation=\"*:8080:\" />\r\n"
                        "                </bindings>\r\n"
                        "            </site>"),
              std::string::npos)
        << text;

    auto manager = NewManager();
    auto site = Find(CollectionOf(Section(manager.Get(), kSites).Get()).Get(), L"TCorvanta108080");
    ASSERT_TRUE(site);
    EXPECT_EQ(Text(site.Get(), L"id"), L"1");
    auto application = ItemAt(CollectionOf(site.Get()).Get(), 0);
    EXPECT_EQ(Text(application.Get(), L"applicationPool"), L"TCorvanta108080");
    auto directory = ItemAt(CollectionOf(application.Get()).Get(), 0);
    EXPECT_EQ(Text(directory.Get(), L"physicalPath"), L"C:\\Program Files\\TovinSoft\\Corvanta 10\\");
    auto binding = ItemAt(CollectionOf(ChildOf(site.Get(), L"bindings").Get()).Get(), 0);
    EXPECT_EQ(Text(binding.Get(), L"bindingInformation"), L"*:8080:");
}

TEST_F(Collections, APoolCreatedWithNumbersIsStoredWithTheNamesIisUses) {
    UseScenario(L"default-web-site");
    {
        auto manager = NewManager();
        auto pools = CollectionOf(Section(manager.Get(), kPools).Get());
        auto pool = CreateEntry(pools.Get(), L"add");
        SetText(pool.Get(), L"name", L"TCorvanta10");
        Check(Set(pool.Get(), L"autoStart", Variant::Bool(true)), "autoStart");
        Check(Set(pool.Get(), L"managedPipelineMode", Variant::Int16(1)), "managedPipelineMode");
        SetText(pool.Get(), L"managedRuntimeVersion", L"");
        Check(Set(pool.Get(), L"enable32BitAppOnWin64", Variant::Bool(false)), "enable32BitAppOnWin64");
        Check(Set(ChildOf(pool.Get(), L"processModel").Get(), L"identityType", Variant::Int16(0)), "identityType");
        Check(Set(ChildOf(pool.Get(), L"failure").Get(), L"rapidFailProtection", Variant::Bool(false)), "failure");
        Check(pools->AddElement(pool.Get(), -1), "AddElement");
        ASSERT_EQ(manager->CommitChanges(), S_OK);
    }
    const std::string text = ConfigText();
    EXPECT_NE(text.find("<add name=\"TCorvanta10\" autoStart=\"true\" managedPipelineMode=\"Classic\" "
                        "managedRuntimeVersion=\"\" enable32BitAppOnWin64=\"false\">\r\n"
                        "                <processModel identityType=\"LocalSystem\" />\r\n"
                        "                <failure rapidFailProtection=\"false\" />\r\n"
                        "            </add>"),
              std::string::npos)
        << text;
    // Child elements that were only looked at are not written.
    EXPECT_EQ(text.find("<recycling"), std::string::npos);
}

TEST_F(Collections, AnAdministratorsPoolIsSetBackInPlace) {
    UseScenario(L"modified-pool");
    {
        auto manager = NewManager();
        auto pool = Find(CollectionOf(Section(manager.Get(), kPools).Get()).Get(), L"TCorvanta108080");
        ASSERT_TRUE(pool);
        Check(Set(pool.Get(), L"managedPipelineMode", Variant::Int16(1)), "managedPipelineMode");
        SetText(pool.Get(), L"managedRuntimeVersion", L"");
        Check(Set(pool.Get(), L"enable32BitAppOnWin64", Variant::Bool(false)), "32-bit");
        Check(Set(ChildOf(pool.Get(), L"processModel").Get(), L"identityType", Variant::Int16(0)), "identityType");
        Check(Set(ChildOf(pool.Get(), L"failure").Get(), L"rapidFailProtection", Variant::Bool(false)), "failure");
        ASSERT_EQ(manager->CommitChanges(), S_OK);
    }
    const std::string text = ConfigText();
    EXPECT_NE(text.find("<add name=\"TCorvanta108080\" autoStart=\"true\" managedPipelineMode=\"Classic\" "
                        "managedRuntimeVersion=\"\" enable32BitAppOnWin64=\"false\">"),
              std::string::npos);
    EXPECT_NE(text.find("<processModel identityType=\"LocalSystem\" />"), std::string::npos);
    EXPECT_EQ(Occurrences(text, "name=\"TCorvanta108080\""), 2u);  // the pool and the site, nothing added
}

TEST_F(Collections, ASecondEntryWithTheSameKeyIsRefused) {
    UseScenario(L"earlier-installation");
    auto manager = NewManager();
    const HRESULT exists = static_cast<HRESULT>(0x800700B7);

    auto restrictions = CollectionOf(Section(manager.Get(), kRestrictions).Get());
    auto restriction = CreateEntry(restrictions.Get(), L"add");
    SetText(restriction.Get(), L"path", L"c:\\tcorvanta10\\TCORVANTA10.DLL");  // keys ignore letter case
    EXPECT_EQ(restrictions->AddElement(restriction.Get(), -1), exists);

    auto pools = CollectionOf(Section(manager.Get(), kPools).Get());
    auto pool = CreateEntry(pools.Get(), L"add");
    SetText(pool.Get(), L"name", L"TCorvanta108080");
    EXPECT_EQ(pools->AddElement(pool.Get(), -1), exists);

    auto sites = CollectionOf(Section(manager.Get(), kSites).Get());
    auto sameName = CreateEntry(sites.Get(), L"site");
    SetText(sameName.Get(), L"name", L"TCorvanta108080");
    Check(Set(sameName.Get(), L"id", Variant::Int16(9)), "id");
    EXPECT_EQ(sites->AddElement(sameName.Get(), -1), exists);
    auto sameId = CreateEntry(sites.Get(), L"site");
    SetText(sameId.Get(), L"name", L"Another");
    Check(Set(sameId.Get(), L"id", Variant::Int16(2)), "id");
    EXPECT_EQ(sites->AddElement(sameId.Get(), -1), exists);
    auto otherCase = CreateEntry(sites.Get(), L"site");
    SetText(otherCase.Get(), L"name", L"tcorvanta108080");  // site names ignore letter case
    Check(Set(otherCase.Get(), L"id", Variant::Int16(10)), "id");
    EXPECT_EQ(sites->AddElement(otherCase.Get(), -1), exists);
    EXPECT_EQ(CountOf(sites.Get()), 2u);

    // Handler names keep their letter case, as IIS's schema says.
    auto handlers = CollectionOf(Section(manager.Get(), kHandlers).Get());
    for (const wchar_t* name : {L"StaticFile", L"staticfile"}) {
        auto handler = CreateEntry(handlers.Get(), L"add");
        SetText(handler.Get(), L"name", name);
        SetText(handler.Get(), L"path", L"*");
        SetText(handler.Get(), L"verb", L"*");
        EXPECT_EQ(handlers->AddElement(handler.Get(), -1), name[6] == L'F' ? exists : S_OK) << Narrow(name);
    }

    // Once the old site is gone, its name and id are free again.
    Check(sites->DeleteElement(Index(1).Get()), "DeleteElement");
    EXPECT_EQ(sites->AddElement(sameName.Get(), -1), S_OK);
}

TEST_F(Collections, AnEntryWithoutWhatItsSchemaRequiresFailsTheCommitAndWritesNothing) {
    using Attributes = std::vector<std::pair<const wchar_t*, const wchar_t*>>;
    using Opener = std::function<ComPtr<IAppHostElementCollection>(IAppHostWritableAdminManager*)>;
    auto section = [](const wchar_t* name) -> Opener {
        return [name](IAppHostWritableAdminManager* m) { return CollectionOf(Section(m, name).Get()); };
    };
    auto site = [](IAppHostWritableAdminManager* m) { return ItemAt(CollectionOf(Section(m, kSites).Get()).Get(), 0); };
    const Opener bindings = [&](IAppHostWritableAdminManager* m) {
        return CollectionOf(ChildOf(site(m).Get(), L"bindings").Get());
    };
    const Opener applications = [&](IAppHostWritableAdminManager* m) { return CollectionOf(site(m).Get()); };
    const Opener directories = [&](IAppHostWritableAdminManager* m) {
        return CollectionOf(ItemAt(CollectionOf(site(m).Get()).Get(), 0).Get());
    };
    const Opener files = [](IAppHostWritableAdminManager* m) {
        return CollectionOf(ChildOf(Section(m, kDefaultDocument).Get(), L"files").Get());
    };
    const Opener segments = [](IAppHostWritableAdminManager* m) {
        return CollectionOf(ChildOf(Section(m, kRequestFiltering).Get(), L"hiddenSegments").Get());
    };
    const Attributes newSite{{L"name", L"New"}, {L"id", L"5"}};
    const Attributes binding{{L"protocol", L"http"}, {L"bindingInformation", L"*:81:"}};
    const Attributes restriction{{L"path", L"C:\\x.dll"}, {L"allowed", L"true"}};
    const Attributes handler{{L"name", L"X"}, {L"path", L"*.x"}, {L"verb", L"GET"}};
    struct Case {
        Opener collection;
        const wchar_t* add;
        Attributes attributes;
        const wchar_t* missing;
    } cases[] = {
        {section(kSites), L"site", newSite, L"id"},
        {section(kSites), L"site", newSite, L"name"},
        {bindings, L"binding", binding, L"protocol"},
        {bindings, L"binding", binding, L"bindingInformation"},
        {applications, L"application", {{L"path", L"/app"}}, L"path"},
        {directories, L"virtualDirectory", {{L"path", L"/v"}, {L"physicalPath", L"C:\\v"}}, L"path"},
        {section(kPools), L"add", {{L"name", L"Pool"}}, L"name"},
        {section(kRestrictions), L"add", restriction, L"path"},
        {section(kRestrictions), L"add", restriction, L"allowed"},
        {section(kHandlers), L"add", handler, L"name"},
        {section(kHandlers), L"add", handler, L"path"},
        {section(kHandlers), L"add", handler, L"verb"},
        {files, L"add", {{L"value", L"start.htm"}}, L"value"},
        {segments, L"add", {{L"segment", L"Update"}}, L"segment"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow(std::wstring(c.add) + L" without " + c.missing));
        UseScenario(L"default-web-site");
        const std::string before = ConfigText();
        auto manager = NewManager();
        auto collection = c.collection(manager.Get());
        auto entry = CreateEntry(collection.Get(), c.add);
        for (const auto& [name, value] : c.attributes) SetText(entry.Get(), name, value);
        ASSERT_EQ(collection->AddElement(entry.Get(), -1), S_OK);
        ComPtr<IAppHostProperty> property;
        Bstr name(c.missing);
        Check(entry->GetPropertyByName(name.Get(), property.Put()), "GetPropertyByName");
        Check(property->Clear(), "property Clear");
        EXPECT_EQ(manager->CommitChanges(), static_cast<HRESULT>(0x8007000D));
        EXPECT_EQ(ConfigText(), before);
        // Given its value again, the same entry is written.
        for (const auto& [attribute, value] : c.attributes) {
            if (std::wstring_view(attribute) == c.missing) SetText(entry.Get(), attribute, value);
        }
        EXPECT_EQ(manager->CommitChanges(), S_OK);
    }
}

TEST_F(Collections, AnEntryNeedsItsKeyAndTheNameTheCollectionTakes) {
    UseScenario(L"empty");
    auto manager = NewManager();
    auto pools = CollectionOf(Section(manager.Get(), kPools).Get());
    ComPtr<IAppHostElement> wrong;
    Bstr site(L"site");
    EXPECT_EQ(pools->CreateNewElement(site.Get(), wrong.Put()), static_cast<HRESULT>(0x80070585));
    auto unnamed = CreateEntry(pools.Get(), L"add");
    EXPECT_EQ(pools->AddElement(unnamed.Get(), -1), static_cast<HRESULT>(0x80070002));
    EXPECT_EQ(pools->AddElement(unnamed.Get(), 5), static_cast<HRESULT>(0x80070002));
    SetText(unnamed.Get(), L"name", L"Named");
    EXPECT_EQ(pools->AddElement(unnamed.Get(), 5), static_cast<HRESULT>(0x80070585));
    EXPECT_EQ(pools->AddElement(unnamed.Get(), 0), S_OK);
    // An entry of one collection does not go into another.
    auto sites = CollectionOf(Section(manager.Get(), kSites).Get());
    EXPECT_EQ(sites->AddElement(unnamed.Get(), -1), E_INVALIDARG);
}

TEST_F(Collections, DeleteAndClearChangeTheLiveCollection) {
    UseScenario(L"earlier-installation");
    auto manager = NewManager();
    auto sites = CollectionOf(Section(manager.Get(), kSites).Get());
    auto kept = ItemAt(sites.Get(), 1);
    ASSERT_EQ(CountOf(sites.Get()), 2u);
    Check(sites->DeleteElement(Index(0).Get()), "DeleteElement");
    ASSERT_EQ(CountOf(sites.Get()), 1u);
    EXPECT_EQ(Text(ItemAt(sites.Get(), 0).Get(), L"name"), L"TCorvanta108080");
    EXPECT_EQ(Text(kept.Get(), L"name"), L"TCorvanta108080");
    EXPECT_EQ(sites->DeleteElement(Index(3).Get()), static_cast<HRESULT>(0x80070585));

    auto files = CollectionOf(ChildOf(Section(manager.Get(), kDefaultDocument).Get(), L"files").Get());
    EXPECT_EQ(CountOf(files.Get()), 5u);
    Check(files->Clear(), "Clear");
    EXPECT_EQ(CountOf(files.Get()), 0u);
    ASSERT_EQ(manager->CommitChanges(), S_OK);
    const std::string text = ConfigText();
    EXPECT_EQ(text.find("name=\"Default Web Site\""), std::string::npos);
    EXPECT_EQ(text.find("iisstart.htm"), std::string::npos);
}

TEST_F(Collections, AChangedKeyThatClashesFailsTheCommitAndWritesNothing) {
    UseScenario(L"earlier-installation");
    const std::string before = ConfigText();
    auto manager = NewManager();
    auto site = Find(CollectionOf(Section(manager.Get(), kSites).Get()).Get(), L"Default Web Site");
    SetText(site.Get(), L"id", L"2");
    EXPECT_EQ(manager->CommitChanges(), static_cast<HRESULT>(0x800700B7));
    EXPECT_EQ(ConfigText(), before);
    SetText(site.Get(), L"id", L"3");
    EXPECT_EQ(manager->CommitChanges(), S_OK);
}

TEST_F(Collections, ValuesOfTheWrongKindAreRefused) {
    UseScenario(L"default-web-site");
    auto manager = NewManager();
    auto site = ItemAt(CollectionOf(Section(manager.Get(), kSites).Get()).Get(), 0);
    EXPECT_EQ(Set(site.Get(), L"id", Variant::Text(L"two")), E_INVALIDARG);
    EXPECT_EQ(Set(site.Get(), L"id", Variant::Int32(-1)), E_INVALIDARG);
    EXPECT_EQ(Set(site.Get(), L"serverAutoStart", Variant::Text(L"yes")), E_INVALIDARG);
    auto pool = ItemAt(CollectionOf(Section(manager.Get(), kPools).Get()).Get(), 0);
    EXPECT_EQ(Set(pool.Get(), L"managedPipelineMode", Variant::Int16(7)), E_INVALIDARG);
    EXPECT_EQ(Set(pool.Get(), L"managedPipelineMode", Variant::Text(L"classic")), S_OK);
    EXPECT_EQ(Text(pool.Get(), L"managedPipelineMode"), L"Classic");
}

}  // namespace
}  // namespace iistest
