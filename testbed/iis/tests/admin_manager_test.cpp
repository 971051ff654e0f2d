// The manager as the setup meets it: creation through COM, the sections it
// reads, what a commit writes (and that nothing is written without one).
#include <functional>

#include "iis_fixture.h"

namespace iistest {
namespace {

class AdminManager : public IisTest {
protected:
    static HRESULT PropertyNamed(IAppHostElement* element, const wchar_t* name) {
        ComPtr<IAppHostProperty> property;
        Bstr text(name);
        return element->GetPropertyByName(text.Get(), property.Put());
    }
    static HRESULT ListedPropertyNamed(IAppHostElement* element, const wchar_t* name) {
        ComPtr<IAppHostPropertyCollection> properties;
        Check(element->get_Properties(properties.Put()), "get_Properties");
        ComPtr<IAppHostProperty> property;
        return properties->get_Item(Variant::Text(name).Get(), property.Put());
    }
    static HRESULT ChildNamed(IAppHostElement* element, const wchar_t* name) {
        ComPtr<IAppHostElement> child;
        Bstr text(name);
        return element->GetElementByName(text.Get(), child.Put());
    }
    static HRESULT ListedChildNamed(IAppHostElement* element, const wchar_t* name) {
        ComPtr<IAppHostChildElementCollection> children;
        Check(element->get_ChildElements(children.Put()), "get_ChildElements");
        ComPtr<IAppHostElement> child;
        return children->get_Item(Variant::Text(name).Get(), child.Put());
    }
    static HRESULT MethodNamed(IAppHostElement* element, const wchar_t* name) {
        ComPtr<IAppHostMethodCollection> methods;
        Check(element->get_Methods(methods.Put()), "get_Methods");
        ComPtr<IAppHostMethod> method;
        return methods->get_Item(Variant::Text(name).Get(), method.Put());
    }
    static HRESULT NewEntryNamed(IAppHostElement* section, const wchar_t* name) {
        ComPtr<IAppHostElement> entry;
        Bstr text(name);
        return CollectionOf(section)->CreateNewElement(text.Get(), entry.Put());
    }
};

TEST_F(AdminManager, ReadsTheSitesAndTheirBindingsOfAFreshServer) {
    UseScenario(L"default-web-site");
    auto manager = NewManager();
    auto sites = CollectionOf(Section(manager.Get(), kSites).Get());
    ASSERT_EQ(CountOf(sites.Get()), 1u);
    auto site = ItemAt(sites.Get(), 0);
    EXPECT_EQ(Text(site.Get(), L"name"), L"Default Web Site");
    EXPECT_EQ(Text(site.Get(), L"id"), L"1");
    Variant id = Value(site.Get(), L"id");
    EXPECT_EQ(id.Get().vt, VT_UI4);
    EXPECT_EQ(id.Get().ulVal, 1u);
    // Absent in the file: the schema's default.
    EXPECT_EQ(Text(site.Get(), L"serverAutoStart"), L"true");
    EXPECT_EQ(Value(site.Get(), L"serverAutoStart").Get().vt, VT_BOOL);

    auto bindings = CollectionOf(ChildOf(site.Get(), L"bindings").Get());
    ASSERT_EQ(CountOf(bindings.Get()), 1u);
    // The port conflict check reads bindings through the property collection.
    ComPtr<IAppHostPropertyCollection> properties;
    Check(ItemAt(bindings.Get(), 0)->get_Properties(properties.Put()), "get_Properties");
    ComPtr<IAppHostProperty> information;
    Check(properties->get_Item(Variant::Text(L"bindingInformation").Get(), information.Put()), "get_Item");
    Bstr text;
    Check(information->get_StringValue(text.Put()), "get_StringValue");
    EXPECT_EQ(text.View(), L"*:80:");

    auto pools = CollectionOf(Section(manager.Get(), kPools).Get());
    EXPECT_TRUE(Find(pools.Get(), L"DefaultAppPool"));
    EXPECT_EQ(CountOf(CollectionOf(Section(manager.Get(), kRestrictions).Get()).Get()), 0u);
}

TEST_F(AdminManager, NamesAreExactAsInTheSchemaAndOthersAreRefused) {
    UseScenario(L"default-web-site");
    auto manager = NewManager();
    auto site = ItemAt(CollectionOf(Section(manager.Get(), kSites).Get()).Get(), 0);
    const HRESULT noSuchIndex = static_cast<HRESULT>(0x80070585);
    EXPECT_EQ(Text(site.Get(), L"id"), L"1");
    struct Case {
        const char* what;
        std::function<HRESULT()> ask;
        HRESULT expected;
    } cases[] = {
        {"property id", [&] { return PropertyNamed(site.Get(), L"id"); }, S_OK},
        {"property Id", [&] { return PropertyNamed(site.Get(), L"Id"); }, noSuchIndex},
        {"property NAME", [&] { return PropertyNamed(site.Get(), L"NAME"); }, noSuchIndex},
        {"property colour", [&] { return PropertyNamed(site.Get(), L"colour"); }, noSuchIndex},
        {"listed property Name", [&] { return ListedPropertyNamed(site.Get(), L"Name"); }, noSuchIndex},
        {"child bindings", [&] { return ChildNamed(site.Get(), L"bindings"); }, S_OK},
        {"child Bindings", [&] { return ChildNamed(site.Get(), L"Bindings"); }, noSuchIndex},
        {"listed child Bindings", [&] { return ListedChildNamed(site.Get(), L"Bindings"); }, noSuchIndex},
        {"child garden", [&] { return ChildNamed(site.Get(), L"garden"); }, noSuchIndex},
        {"method Start", [&] { return MethodNamed(site.Get(), L"Start"); }, S_OK},
        {"method start", [&] { return MethodNamed(site.Get(), L"start"); }, noSuchIndex},
        {"new site", [&] { return NewEntryNamed(Section(manager.Get(), kSites).Get(), L"site"); }, S_OK},
        {"new Site", [&] { return NewEntryNamed(Section(manager.Get(), kSites).Get(), L"Site"); }, noSuchIndex},
        {"new ADD", [&] { return NewEntryNamed(Section(manager.Get(), kPools).Get(), L"ADD"); }, noSuchIndex},
    };
    for (const auto& c : cases) EXPECT_EQ(c.ask(), c.expected) << c.what;
}

TEST_F(AdminManager, EnumerationsReadAsTheirNamesAndAsNumbers) {
    UseScenario(L"modified-pool");
    auto manager = NewManager();
    auto pool = Find(CollectionOf(Section(manager.Get(), kPools).Get()).Get(), L"TCorvanta108080");
    ASSERT_TRUE(pool);
    EXPECT_EQ(Text(pool.Get(), L"managedPipelineMode"), L"Integrated");
    Variant mode = Value(pool.Get(), L"managedPipelineMode");
    EXPECT_EQ(mode.Get().vt, VT_I4);
    EXPECT_EQ(mode.Get().lVal, 0);
    auto processModel = ChildOf(pool.Get(), L"processModel");
    EXPECT_EQ(Text(processModel.Get(), L"identityType"), L"ApplicationPoolIdentity");
    EXPECT_EQ(Value(processModel.Get(), L"identityType").Get().lVal, 4);
    EXPECT_EQ(Text(ChildOf(pool.Get(), L"failure").Get(), L"rapidFailProtection"), L"true");
}

TEST_F(AdminManager, RefusesSectionsAndPathsItDoesNotKnow) {
    UseScenario(L"default-web-site");
    auto manager = NewManager();
    ComPtr<IAppHostElement> section;
    EXPECT_EQ(OpenSection(manager.Get(), L"system.webServer/noSuchSection", kServer, section),
              static_cast<HRESULT>(0x80070490));
    EXPECT_EQ(OpenSection(manager.Get(), L"system.applicationHost/Sites", kServer, section),
              static_cast<HRESULT>(0x80070490));
    EXPECT_EQ(OpenSection(manager.Get(), kSites, L"MACHINE/WEBROOT", section), E_INVALIDARG);
}

TEST_F(AdminManager, AMissingOrBrokenFileFailsEverySectionButNotTheCreation) {
    RemoveConfiguration();
    ComPtr<IAppHostWritableAdminManager> manager;
    ASSERT_EQ(CreateManager(manager), S_OK);
    ComPtr<IAppHostElement> section;
    EXPECT_EQ(OpenSection(manager.Get(), kSites, kServer, section), static_cast<HRESULT>(0x80070002));

    WriteConfiguration("<configuration><system.applicationHost><sites></system.applicationHost>");
    manager = NewManager();
    EXPECT_EQ(OpenSection(manager.Get(), kSites, kServer, section), static_cast<HRESULT>(0x8007000D));
    EXPECT_EQ(manager->CommitChanges(), static_cast<HRESULT>(0x8007000D));
}

TEST_F(AdminManager, CommitPathDefaultsToTheServerLevelAndTakesSitePaths) {
    UseScenario(L"default-web-site");
    auto manager = NewManager();
    Bstr path;
    Check(manager->get_CommitPath(path.Put()), "get_CommitPath");
    EXPECT_EQ(path.View(), kServer);
    Bstr site(L"MACHINE/WEBROOT/APPHOST/TCorvanta108080");
    EXPECT_EQ(manager->put_CommitPath(site.Get()), S_OK);
    Check(manager->get_CommitPath(path.Put()), "get_CommitPath");
    EXPECT_EQ(path.View(), L"MACHINE/WEBROOT/APPHOST/TCorvanta108080");
    Bstr elsewhere(L"MACHINE/WEBROOT");
    EXPECT_EQ(manager->put_CommitPath(elsewhere.Get()), E_INVALIDARG);
}

TEST_F(AdminManager, WritesNothingWithoutACommit) {
    UseScenario(L"default-web-site");
    const std::string before = ConfigText();
    {
        auto manager = NewManager();
        auto pools = CollectionOf(Section(manager.Get(), kPools).Get());
        auto pool = CreateEntry(pools.Get(), L"add");
        SetText(pool.Get(), L"name", L"Pending");
        Check(pools->AddElement(pool.Get(), -1), "AddElement");
    }
    EXPECT_EQ(ConfigText(), before);
}

TEST_F(AdminManager, ACommitWritesTheWholeFileBackWithCommentsAndUnknownSections) {
    UseScenario(L"default-web-site");
    auto manager = NewManager();
    auto restrictions = CollectionOf(Section(manager.Get(), kRestrictions).Get());
    auto entry = CreateEntry(restrictions.Get(), L"add");
    SetText(entry.Get(), L"path", L"C:\\TCorvanta10\\TCorvanta10.dll");
    Check(Set(entry.Get(), L"allowed", Variant::Bool(true)), "allowed");
    SetText(entry.Get(), L"description", L"TovinSoft CorvantaApp v10.1");
    Check(restrictions->AddElement(entry.Get(), -1), "AddElement");
    ASSERT_EQ(manager->CommitChanges(), S_OK);

    const std::string text = ConfigText();
    EXPECT_NE(text.find("<add path=\"C:\\TCorvanta10\\TCorvanta10.dll\" allowed=\"true\" "
                        "description=\"TovinSoft CorvantaApp v10.1\" />"),
              std::string::npos);
    EXPECT_NE(text.find("Scenario: A fresh IIS"), std::string::npos);  // the file's comment
    EXPECT_NE(text.find("<mimeMap fileExtension=\".css\" mimeType=\"text/css\" />"), std::string::npos);
    EXPECT_NE(text.find("<section name=\"handlers\" overrideModeDefault=\"Deny\" />"), std::string::npos);
    EXPECT_EQ(text.find(".tmp"), std::string::npos);
    // A second manager reads what the first one wrote.
    auto again = CollectionOf(Section(NewManager().Get(), kRestrictions).Get());
    ASSERT_EQ(CountOf(again.Get()), 1u);
    EXPECT_EQ(Text(ItemAt(again.Get(), 0).Get(), L"allowed"), L"true");
}

TEST_F(AdminManager, ACommitChangesNothingButWhatWasChanged) {
    UseScenario(L"default-web-site");
    std::string expected = ConfigText();
    const std::string_view from = "bindingInformation=\"*:80:\"";
    expected.replace(expected.find(from), from.size(), "bindingInformation=\"*:8080:\"");
    auto manager = NewManager();
    auto site = ItemAt(CollectionOf(Section(manager.Get(), kSites).Get()).Get(), 0);
    auto binding = ItemAt(CollectionOf(ChildOf(site.Get(), L"bindings").Get()).Get(), 0);
    SetText(binding.Get(), L"bindingInformation", L"*:8080:");
    ASSERT_EQ(manager->CommitChanges(), S_OK);
    EXPECT_EQ(ConfigText(), expected);
}

TEST_F(AdminManager, ACommitFailsWhenTheScenarioSaysSo) {
    UseScenario(L"default-web-site");
    HKEY key = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\CorvantaTestbed\\Iis", 0, nullptr, 0,
                                KEY_WRITE | KEY_WOW64_64KEY, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const DWORD failure = 0x80070005;
    const DWORD second = 2;
    ::RegSetValueExW(key, L"CommitFailure", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&failure), sizeof failure);
    ::RegSetValueExW(key, L"CommitFailureOn", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&second), sizeof second);
    ::RegCloseKey(key);

    auto manager = NewManager();
    auto site = ItemAt(CollectionOf(Section(manager.Get(), kSites).Get()).Get(), 0);
    SetText(site.Get(), L"serverAutoStart", L"false");
    EXPECT_EQ(manager->CommitChanges(), S_OK);
    SetText(site.Get(), L"serverAutoStart", L"true");
    EXPECT_EQ(manager->CommitChanges(), static_cast<HRESULT>(0x80070005));
    EXPECT_NE(ConfigText().find("serverAutoStart=\"false\""), std::string::npos);
}

TEST_F(AdminManager, ElementsKeepWorkingAfterTheManagerIsReleased) {
    UseScenario(L"default-web-site");
    ComPtr<IAppHostElementCollection> sites;
    {
        auto manager = NewManager();
        sites = CollectionOf(Section(manager.Get(), kSites).Get());
    }
    auto site = ItemAt(sites.Get(), 0);
    EXPECT_EQ(Text(site.Get(), L"name"), L"Default Web Site");
    SetText(site.Get(), L"name", L"Renamed");
    EXPECT_EQ(Text(ItemAt(sites.Get(), 0).Get(), L"name"), L"Renamed");
}

TEST_F(AdminManager, IsNotRegisteredAfterUninstallAndAgainAfterInstall) {
    UseScenario(L"default-web-site");
    ASSERT_EQ(RunInstallScript("uninstall"), 0);
    ComPtr<IAppHostWritableAdminManager> manager;
    const HRESULT withoutClass = CreateManager(manager);
    const int installed = RunInstallScript("install");
    EXPECT_EQ(withoutClass, REGDB_E_CLASSNOTREG);
    ASSERT_EQ(installed, 0);
    EXPECT_EQ(CreateManager(manager), S_OK);
}

}  // namespace
}  // namespace iistest
