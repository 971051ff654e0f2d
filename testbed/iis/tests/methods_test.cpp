// A site's Start and Stop methods and the record of site states.
#include "iis_fixture.h"

namespace iistest {
namespace {

class SiteMethods : public IisTest {
protected:
    static HRESULT Run(IAppHostElement* site, const wchar_t* method) { return RunMethod(site, method); }
    static ComPtr<IAppHostElement> Site(IAppHostWritableAdminManager* manager, const wchar_t* name) {
        auto site = Find(CollectionOf(Section(manager, kSites).Get()).Get(), name);
        if (!site) throw Failure("no site");
        return site;
    }
};

TEST_F(SiteMethods, StartAndStopAreRecordedInOrder) {
    UseScenario(L"earlier-installation");
    auto manager = NewManager();
    auto site = Site(manager.Get(), L"TCorvanta108080");
    EXPECT_EQ(Run(site.Get(), L"Start"), S_OK);
    EXPECT_EQ(Run(site.Get(), L"Stop"), S_OK);
    EXPECT_EQ(Run(site.Get(), L"Start"), S_OK);
    EXPECT_EQ(StateLog(), "TCorvanta108080\tStart\r\nTCorvanta108080\tStop\r\nTCorvanta108080\tStart\r\n");
}

TEST_F(SiteMethods, OnlySitesAndPoolsHaveMethods) {
    UseScenario(L"default-web-site");
    auto manager = NewManager();
    ComPtr<IAppHostMethodCollection> methods;
    Check(Site(manager.Get(), L"Default Web Site")->get_Methods(methods.Put()), "get_Methods");
    DWORD count = 0;
    Check(methods->get_Count(&count), "get_Count");
    EXPECT_EQ(count, 2u);
    ComPtr<IAppHostMethod> method;
    EXPECT_EQ(methods->get_Item(Variant::Text(L"Recycle").Get(), method.Put()), static_cast<HRESULT>(0x80070585));
    // Pools have theirs (pool_methods_test.cpp); the pool defaults and the
    // section itself have none.
    auto pools = Section(manager.Get(), kPools);
    Check(ChildOf(pools.Get(), L"applicationPoolDefaults")->get_Methods(methods.Put()), "defaults get_Methods");
    Check(methods->get_Count(&count), "get_Count");
    EXPECT_EQ(count, 0u);
    Check(pools->get_Methods(methods.Put()), "section get_Methods");
    Check(methods->get_Count(&count), "get_Count");
    EXPECT_EQ(count, 0u);
}

TEST_F(SiteMethods, ASiteNotYetCommittedCannotBeStarted) {
    UseScenario(L"empty");
    auto manager = NewManager();
    auto sites = CollectionOf(Section(manager.Get(), kSites).Get());
    auto site = CreateEntry(sites.Get(), L"site");
    SetText(site.Get(), L"name", L"TCorvanta10");
    Check(Set(site.Get(), L"id", Variant::Int16(2)), "id");
    Check(sites->AddElement(site.Get(), -1), "AddElement");
    EXPECT_EQ(Run(site.Get(), L"Start"), static_cast<HRESULT>(0x800710D8));
    ASSERT_EQ(manager->CommitChanges(), S_OK);
    EXPECT_EQ(Run(site.Get(), L"Start"), S_OK);
    EXPECT_EQ(StateLog(), "TCorvanta10\tStart\r\n");
}

TEST_F(SiteMethods, StartFailsWhileAStartedSiteHoldsTheBinding) {
    UseScenario(L"default-web-site");
    auto manager = NewManager();
    auto sites = CollectionOf(Section(manager.Get(), kSites).Get());
    auto site = CreateEntry(sites.Get(), L"site");
    SetText(site.Get(), L"name", L"TCorvanta10");
    Check(Set(site.Get(), L"id", Variant::Int16(2)), "id");
    Check(sites->AddElement(site.Get(), -1), "AddElement");
    auto bindings = CollectionOf(ChildOf(site.Get(), L"bindings").Get());
    auto binding = CreateEntry(bindings.Get(), L"binding");
    SetText(binding.Get(), L"protocol", L"http");
    SetText(binding.Get(), L"bindingInformation", L"*:80:");
    Check(bindings->AddElement(binding.Get(), -1), "add binding");
    ASSERT_EQ(manager->CommitChanges(), S_OK);

    // The Default Web Site starts with the server and listens on *:80:.
    EXPECT_EQ(Run(site.Get(), L"Start"), static_cast<HRESULT>(0x80070020));
    EXPECT_EQ(Run(Site(manager.Get(), L"Default Web Site").Get(), L"Stop"), S_OK);
    EXPECT_EQ(Run(site.Get(), L"Start"), S_OK);
    EXPECT_EQ(StateLog(),
              "TCorvanta10\tStart failed 0x80070020\r\nDefault Web Site\tStop\r\nTCorvanta10\tStart\r\n");
}

TEST_F(SiteMethods, MovingTheOtherSiteAwayFreesThePort) {
    UseScenario(L"default-web-site");
    auto manager = NewManager();
    auto sites = CollectionOf(Section(manager.Get(), kSites).Get());
    // What the setup's port conflict handling does before it creates its own site.
    auto other = CollectionOf(ChildOf(Site(manager.Get(), L"Default Web Site").Get(), L"bindings").Get());
    SetText(ItemAt(other.Get(), 0).Get(), L"bindingInformation", L"*:8080:");
    auto site = CreateEntry(sites.Get(), L"site");
    SetText(site.Get(), L"name", L"TCorvanta10");
    Check(Set(site.Get(), L"id", Variant::Int16(2)), "id");
    Check(sites->AddElement(site.Get(), -1), "AddElement");
    auto bindings = CollectionOf(ChildOf(site.Get(), L"bindings").Get());
    auto binding = CreateEntry(bindings.Get(), L"binding");
    SetText(binding.Get(), L"protocol", L"http");
    SetText(binding.Get(), L"bindingInformation", L"*:80:");
    Check(bindings->AddElement(binding.Get(), -1), "add binding");
    ASSERT_EQ(manager->CommitChanges(), S_OK);
    EXPECT_EQ(Run(site.Get(), L"Start"), S_OK);
}

}  // namespace
}  // namespace iistest
