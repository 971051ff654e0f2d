// An application pool's Start, Stop and Recycle, its runtime state, and the
// record the setup's tests read to see when a pool was stopped and started.
#include <utility>
#include <vector>

#include "iis_fixture.h"
#include "state_log.h"

namespace iistest {
namespace {

constexpr HRESULT kUnknown = static_cast<HRESULT>(0x800710D8);
constexpr HRESULT kAlreadyRunning = static_cast<HRESULT>(0x80070420);
constexpr HRESULT kNotActive = static_cast<HRESULT>(0x80070426);
constexpr HRESULT kNoSuchIndex = static_cast<HRESULT>(0x80070585);

class PoolMethods : public IisTest {
protected:
    static ComPtr<IAppHostElement> Pool(IAppHostWritableAdminManager* manager, std::wstring_view name) {
        auto pool = Find(CollectionOf(Section(manager, kPools).Get()).Get(), name);
        if (!pool) throw Failure("no pool " + Narrow(name));
        return pool;
    }
    static ComPtr<IAppHostProperty> State(IAppHostElement* pool) {
        ComPtr<IAppHostProperty> state;
        Bstr name(L"state");
        Check(pool->GetPropertyByName(name.Get(), state.Put()), "GetPropertyByName state");
        return state;
    }
    static HRESULT ReadState(IAppHostElement* pool, Variant& value) { return State(pool)->get_Value(value.Put()); }
};

TEST_F(PoolMethods, APoolOffersStartStopAndRecycle) {
    UseScenario(L"default-web-site");
    auto manager = NewManager();
    ComPtr<IAppHostMethodCollection> methods;
    Check(Pool(manager.Get(), L"DefaultAppPool")->get_Methods(methods.Put()), "get_Methods");
    DWORD count = 0;
    Check(methods->get_Count(&count), "get_Count");
    ASSERT_EQ(count, 3u);
    const wchar_t* expected[] = {L"Start", L"Stop", L"Recycle"};
    for (long i = 0; i < 3; ++i) {
        ComPtr<IAppHostMethod> method;
        Check(methods->get_Item(Index(i).Get(), method.Put()), "get_Item by index");
        Bstr name;
        Check(method->get_Name(name.Put()), "get_Name");
        EXPECT_EQ(std::wstring(name.View()), expected[i]);
    }
    ComPtr<IAppHostMethod> method;
    EXPECT_EQ(methods->get_Item(Variant::Text(L"recycle").Get(), method.Put()), kNoSuchIndex);  // exact names
    Check(methods->get_Item(Variant::Text(L"Recycle").Get(), method.Put()), "get_Item by name");
    Bstr name;
    Check(method->get_Name(name.Put()), "get_Name");
    EXPECT_EQ(std::wstring(name.View()), L"Recycle");
    EXPECT_EQ(methods->get_Item(Variant::Text(L"Pause").Get(), method.Put()), kNoSuchIndex);
    EXPECT_EQ(methods->get_Item(Index(3).Get(), method.Put()), kNoSuchIndex);
}

void SetDefaultsAutoStartFalse(IAppHostWritableAdminManager* manager) {
    Check(Set(ChildOf(Section(manager, kPools).Get(), L"applicationPoolDefaults").Get(), L"autoStart",
              Variant::Bool(false)),
          "defaults autoStart");
}
void SetPoolAutoStartFalse(IAppHostWritableAdminManager* manager) {
    auto pool = Find(CollectionOf(Section(manager, kPools).Get()).Get(), L"DefaultAppPool");
    Check(Set(pool.Get(), L"autoStart", Variant::Bool(false)), "autoStart");
}
void SetDefaultsFalsePoolTrue(IAppHostWritableAdminManager* manager) {
    SetDefaultsAutoStartFalse(manager);
    auto pool = Find(CollectionOf(Section(manager, kPools).Get()).Get(), L"DefaultAppPool");
    Check(Set(pool.Get(), L"autoStart", Variant::Bool(true)), "autoStart");
}

TEST_F(PoolMethods, EachMethodAnswersAsIisDoesForThePoolsState) {
    struct Case {
        const char* what;
        const wchar_t* scenario;
        const wchar_t* pool;
        void (*prepare)(IAppHostWritableAdminManager*);  // changes committed before the methods run
        std::vector<std::pair<const wchar_t*, HRESULT>> steps;
        const char* log;
    } cases[] = {
        {"a committed pool runs; every method checks the state it left",
         L"default-web-site", L"DefaultAppPool", nullptr,
         {{L"Stop", S_OK}, {L"Stop", kNotActive}, {L"Recycle", kNotActive}, {L"Start", S_OK},
          {L"Start", kAlreadyRunning}, {L"Recycle", S_OK}, {L"Stop", S_OK}},
         "DefaultAppPool\tAppPool\tStop\r\n"
         "DefaultAppPool\tAppPool\tStop failed 0x80070426\r\n"
         "DefaultAppPool\tAppPool\tRecycle failed 0x80070426\r\n"
         "DefaultAppPool\tAppPool\tStart\r\n"
         "DefaultAppPool\tAppPool\tStart failed 0x80070420\r\n"
         "DefaultAppPool\tAppPool\tRecycle\r\n"
         "DefaultAppPool\tAppPool\tStop\r\n"},
        {"the earlier installation's pool runs", L"earlier-installation", L"TCorvanta108080", nullptr,
         {{L"Start", kAlreadyRunning}, {L"Recycle", S_OK}},
         "TCorvanta108080\tAppPool\tStart failed 0x80070420\r\nTCorvanta108080\tAppPool\tRecycle\r\n"},
        {"autoStart false leaves the pool stopped", L"default-web-site", L"DefaultAppPool", SetPoolAutoStartFalse,
         {{L"Stop", kNotActive}, {L"Start", S_OK}, {L"Stop", S_OK}},
         "DefaultAppPool\tAppPool\tStop failed 0x80070426\r\nDefaultAppPool\tAppPool\tStart\r\n"
         "DefaultAppPool\tAppPool\tStop\r\n"},
        {"the pool defaults' autoStart counts when the pool has none", L"default-web-site", L"DefaultAppPool",
         SetDefaultsAutoStartFalse, {{L"Start", S_OK}}, "DefaultAppPool\tAppPool\tStart\r\n"},
        {"the pool's own autoStart beats the defaults'", L"default-web-site", L"DefaultAppPool",
         SetDefaultsFalsePoolTrue, {{L"Start", kAlreadyRunning}},
         "DefaultAppPool\tAppPool\tStart failed 0x80070420\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        UseScenario(c.scenario);
        ::DeleteFileW(iisadmin::kStateLog);
        auto manager = NewManager();
        if (c.prepare) {
            c.prepare(manager.Get());
            ASSERT_EQ(manager->CommitChanges(), S_OK);
        }
        auto pool = Pool(manager.Get(), c.pool);
        for (const auto& step : c.steps) {
            EXPECT_EQ(RunMethod(pool.Get(), step.first), step.second) << Narrow(step.first);
        }
        EXPECT_EQ(StateLog(), c.log);
    }
}

TEST_F(PoolMethods, StoppingAroundAChangeIsRecordedInOrder) {
    // What the setup does before it replaces the files a pool serves.
    UseScenario(L"earlier-installation");
    auto manager = NewManager();
    auto pool = Pool(manager.Get(), L"TCorvanta108080");
    ASSERT_EQ(RunMethod(pool.Get(), L"Stop"), S_OK);
    EXPECT_EQ(Text(pool.Get(), L"state"), L"Stopped");
    SetText(pool.Get(), L"managedRuntimeVersion", L"v4.0");
    ASSERT_EQ(manager->CommitChanges(), S_OK);
    // A commit is no restart: the pool stays stopped until started.
    EXPECT_EQ(Text(pool.Get(), L"state"), L"Stopped");
    ASSERT_EQ(RunMethod(pool.Get(), L"Start"), S_OK);
    EXPECT_EQ(StateLog(), "TCorvanta108080\tAppPool\tStop\r\nTCorvanta108080\tAppPool\tStart\r\n");
}

TEST_F(PoolMethods, APoolNotYetCommittedIsUnknownToTheServer) {
    UseScenario(L"empty");
    auto manager = NewManager();
    auto pools = CollectionOf(Section(manager.Get(), kPools).Get());
    auto pool = CreateEntry(pools.Get(), L"add");
    SetText(pool.Get(), L"name", L"TCorvanta10");
    Check(pools->AddElement(pool.Get(), -1), "AddElement");
    for (const wchar_t* method : {L"Start", L"Stop", L"Recycle"}) {
        EXPECT_EQ(RunMethod(pool.Get(), method), kUnknown) << Narrow(method);
    }
    Variant state;
    EXPECT_EQ(ReadState(pool.Get(), state), kUnknown);
    EXPECT_EQ(StateLog(), "");

    ASSERT_EQ(manager->CommitChanges(), S_OK);
    EXPECT_EQ(Text(pool.Get(), L"state"), L"Started");
    EXPECT_EQ(RunMethod(pool.Get(), L"Start"), kAlreadyRunning);
    EXPECT_EQ(RunMethod(pool.Get(), L"Stop"), S_OK);
    EXPECT_EQ(StateLog(), "TCorvanta10\tAppPool\tStart failed 0x80070420\r\nTCorvanta10\tAppPool\tStop\r\n");

    // A name changed but not committed is not the server's name.
    SetText(pool.Get(), L"name", L"TCorvanta11");
    EXPECT_EQ(RunMethod(pool.Get(), L"Start"), kUnknown);
}

TEST_F(PoolMethods, StateIsARuntimePropertyNobodyWrites) {
    UseScenario(L"default-web-site");
    auto manager = NewManager();
    auto pool = Pool(manager.Get(), L"DefaultAppPool");
    Variant state;
    ASSERT_EQ(ReadState(pool.Get(), state), S_OK);
    EXPECT_EQ(state.Get().vt, VT_I4);
    EXPECT_EQ(state.Get().lVal, 1);  // Started
    ASSERT_EQ(RunMethod(pool.Get(), L"Stop"), S_OK);
    ASSERT_EQ(ReadState(pool.Get(), state), S_OK);
    EXPECT_EQ(state.Get().lVal, 3);  // Stopped
    // Another manager, as the setup's next step would make, sees the same.
    EXPECT_EQ(Text(Pool(NewManager().Get(), L"DefaultAppPool").Get(), L"state"), L"Stopped");

    EXPECT_EQ(Set(pool.Get(), L"state", Variant::Text(L"Started")), E_ACCESSDENIED);
    EXPECT_EQ(State(pool.Get())->Clear(), E_ACCESSDENIED);
    SetText(pool.Get(), L"queueLength", L"2000");
    ASSERT_EQ(manager->CommitChanges(), S_OK);
    EXPECT_EQ(ConfigText().find("state="), std::string::npos);
    EXPECT_EQ(Text(pool.Get(), L"state"), L"Stopped");

    // Only the pools themselves have a state, not their defaults.
    ComPtr<IAppHostProperty> none;
    Bstr name(L"state");
    EXPECT_EQ(ChildOf(Section(manager.Get(), kPools).Get(), L"applicationPoolDefaults")
                  ->GetPropertyByName(name.Get(), none.Put()),
              kNoSuchIndex);
}

TEST_F(PoolMethods, ASiteAndAPoolOfOneNameKeepTheirOwnStates) {
    // The earlier installation has a site and a pool both named TCorvanta108080.
    UseScenario(L"earlier-installation");
    auto manager = NewManager();
    auto sites = CollectionOf(Section(manager.Get(), kSites).Get());
    auto other = CreateEntry(sites.Get(), L"site");
    SetText(other.Get(), L"name", L"Other");
    Check(Set(other.Get(), L"id", Variant::Int16(3)), "id");
    Check(Set(other.Get(), L"serverAutoStart", Variant::Bool(false)), "serverAutoStart");  // stopped until started
    Check(sites->AddElement(other.Get(), -1), "AddElement");
    auto bindings = CollectionOf(ChildOf(other.Get(), L"bindings").Get());
    auto binding = CreateEntry(bindings.Get(), L"binding");
    SetText(binding.Get(), L"protocol", L"http");
    SetText(binding.Get(), L"bindingInformation", L"*:8080:");
    Check(bindings->AddElement(binding.Get(), -1), "add binding");
    ASSERT_EQ(manager->CommitChanges(), S_OK);

    auto site = Find(sites.Get(), L"TCorvanta108080");
    auto pool = Pool(manager.Get(), L"TCorvanta108080");
    ASSERT_TRUE(site);
    EXPECT_EQ(RunMethod(site.Get(), L"Stop"), S_OK);
    EXPECT_EQ(RunMethod(pool.Get(), L"Start"), kAlreadyRunning);  // the site's Stop did not stop the pool
    EXPECT_EQ(RunMethod(site.Get(), L"Start"), S_OK);
    EXPECT_EQ(RunMethod(pool.Get(), L"Stop"), S_OK);
    EXPECT_EQ(RunMethod(other.Get(), L"Start"), static_cast<HRESULT>(0x80070020));  // the site still listens
    EXPECT_EQ(StateLog(),
              "TCorvanta108080\tStop\r\n"
              "TCorvanta108080\tAppPool\tStart failed 0x80070420\r\n"
              "TCorvanta108080\tStart\r\n"
              "TCorvanta108080\tAppPool\tStop\r\n"
              "Other\tStart failed 0x80070020\r\n");
}

}  // namespace
}  // namespace iistest
