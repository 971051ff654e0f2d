// The locator class as the setup reaches it: CoCreateInstance, ConnectServer,
// Wine's WMI behind it for everything else, the record and the DLL's exports.
#include <gtest/gtest.h>

#include "tests/wmi_client.h"
#include "win/handles.h"

namespace sqlwmi::test {
namespace {

using LocatorTest = ScenarioTest;

TEST_F(LocatorTest, EveryProviderNamespaceIsMissingOnAMachineWithoutSqlServer) {
    for (int number = 11; number <= 16; ++number) {
        win::ComPtr<IWbemServices> services;
        EXPECT_EQ(Connect(SqlPath(number), services), static_cast<HRESULT>(WBEM_E_INVALID_NAMESPACE)) << number;
        EXPECT_FALSE(services);
    }
}

TEST_F(LocatorTest, AConfiguredNamespaceConnectsInEveryPathForm) {
    AddService(L"ComputerManagement15", L"MSSQLSERVER", L"MSSQL15.MSSQLSERVER", L"15.0.2000.5");
    const wchar_t* const forms[] = {
        L"\\\\.\\root\\Microsoft\\SqlServer\\ComputerManagement15",
        L"//./root/Microsoft/SqlServer/ComputerManagement15",
        L"\\\\localhost\\ROOT\\microsoft\\sqlserver\\computermanagement15",
    };
    for (const wchar_t* path : forms) {
        win::ComPtr<IWbemServices> services;
        EXPECT_EQ(Connect(path, services), S_OK) << path;
        EXPECT_TRUE(services);
    }
    win::ComPtr<IWbemServices> other;
    EXPECT_EQ(Connect(SqlPath(14), other), static_cast<HRESULT>(WBEM_E_INVALID_NAMESPACE));
}

TEST_F(LocatorTest, AnEmptyNamespaceKeyIsAnInstalledProviderWithoutServices) {
    AddNamespace(L"ComputerManagement13");
    win::ComPtr<IWbemServices> services;
    ASSERT_EQ(Connect(SqlPath(13), services), S_OK);
    win::ComPtr<IEnumWbemClassObject> result;
    ASSERT_EQ(Query(services.Get(), kInstanceIdQuery, result), S_OK);
    EXPECT_TRUE(ReadAll(result.Get()).empty());
}

TEST_F(LocatorTest, TheSetupsSequenceStopsAtTheLowestInstalledVersion) {
    AddService(L"ComputerManagement11", L"MSSQLSERVER", L"MSSQL11.MSSQLSERVER", L"11.0.2100.60");
    AddService(L"ComputerManagement15", L"MSSQLSERVER", L"MSSQL15.MSSQLSERVER", L"15.0.2000.5");
    int connected = 0;
    for (int number = 11; number <= 16 && connected == 0; ++number) {
        win::ComPtr<IWbemServices> services;
        if (Connect(SqlPath(number), services) == S_OK) connected = number;
    }
    EXPECT_EQ(connected, 11);
}

TEST_F(LocatorTest, ANamespaceAddedOrRemovedIsSeenByTheRunningProcess) {
    win::ComPtr<IWbemServices> services;
    ASSERT_EQ(Connect(SqlPath(14), services), static_cast<HRESULT>(WBEM_E_INVALID_NAMESPACE));
    AddService(L"ComputerManagement14", L"MSSQL$INST1", L"MSSQL14.INST1", L"14.0.1000.169");
    ASSERT_EQ(Connect(SqlPath(14), services), S_OK);
    RemoveNamespace(L"ComputerManagement14");
    win::ComPtr<IEnumWbemClassObject> result;
    EXPECT_EQ(Query(services.Get(), kInstanceIdQuery, result), static_cast<HRESULT>(WBEM_E_INVALID_NAMESPACE));
    EXPECT_EQ(Connect(SqlPath(14), services), static_cast<HRESULT>(WBEM_E_INVALID_NAMESPACE));
}

TEST_F(LocatorTest, CredentialsOnTheLocalProviderAreRefusedAsByWindows) {
    AddNamespace(L"ComputerManagement15");
    const win::ComPtr<IWbemLocator> locator = CreateLocator();
    ASSERT_TRUE(locator);
    const win::Bstr path(SqlPath(15));
    const win::Bstr user(L"Administrator");
    win::ComPtr<IWbemServices> services;
    EXPECT_EQ(locator->ConnectServer(path.Get(), user.Get(), nullptr, nullptr, 0, nullptr, nullptr, services.Put()),
              static_cast<HRESULT>(WBEM_E_LOCAL_CREDENTIALS));
    EXPECT_FALSE(services);
}

TEST_F(LocatorTest, OtherNamespacesStillReachWinesWmi) {
    win::ComPtr<IWbemServices> services;
    ASSERT_EQ(Connect(L"ROOT\\CIMV2", services), S_OK);
    win::ComPtr<IEnumWbemClassObject> result;
    ASSERT_EQ(Query(services.Get(), L"SELECT * FROM Win32_OperatingSystem", result), S_OK);
    const auto systems = ReadAll(result.Get());
    ASSERT_EQ(systems.size(), 1u);
    EXPECT_FALSE(TextOf(systems[0].Get(), L"Caption").empty());
    EXPECT_EQ(TextOf(systems[0].Get(), L"Caption").find(L"<"), std::wstring::npos);

    win::ComPtr<IWbemServices> missing;
    EXPECT_EQ(Connect(L"root\\NoSuchNamespace", missing), static_cast<HRESULT>(WBEM_E_INVALID_NAMESPACE));
}

TEST_F(LocatorTest, TheRecordTellsEachConnectionAndQueryWithItsOutcome) {
    AddService(L"ComputerManagement15", L"MSSQLSERVER", L"MSSQL15.MSSQLSERVER", L"15.0.2000.5");
    const size_t start = RecordSize();
    win::ComPtr<IWbemServices> services;
    Connect(SqlPath(12), services);
    Connect(L"root\\cimv2", services);
    ASSERT_EQ(Connect(SqlPath(15), services), S_OK);
    win::ComPtr<IEnumWbemClassObject> result;
    Query(services.Get(), kInstanceIdQuery, result);
    Query(services.Get(), L"SELECT * FROM SqlService", result);

    const std::string record = RecordFrom(start);
    const char* const lines[] = {
        "connect \\\\.\\root\\Microsoft\\SqlServer\\ComputerManagement12 -> 0x8004100E no such namespace\r\n",
        "connect root\\cimv2 -> 0x00000000 forwarded to Wine\r\n",
        "connect \\\\.\\root\\Microsoft\\SqlServer\\ComputerManagement15 -> 0x00000000 served\r\n",
        "query ComputerManagement15 WQL SELECT * FROM SqlServiceAdvancedProperty WHERE SQLServiceType = 1 AND "
        "PropertyName = 'instanceID' -> 0x00000000 1 object\r\n",
        "query ComputerManagement15 WQL SELECT * FROM SqlService -> 0x80041017 not answered\r\n",
    };
    size_t at = 0;
    for (const char* line : lines) {
        const size_t found = record.find(line, at);
        EXPECT_NE(found, std::string::npos) << line << "in\n" << record;
        if (found != std::string::npos) at = found;
    }
}

TEST_F(LocatorTest, ServedNamespacesTakeAProxyBlanket) {
    AddNamespace(L"ComputerManagement15");
    win::ComPtr<IWbemServices> services;
    ASSERT_EQ(Connect(SqlPath(15), services), S_OK);
    EXPECT_EQ(::CoSetProxyBlanket(services.Get(), RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr,
                                  RPC_C_AUTHN_LEVEL_CALL, RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE),
              S_OK);
    DWORD level = 0;
    EXPECT_EQ(::CoQueryProxyBlanket(services.Get(), nullptr, nullptr, nullptr, &level, nullptr, nullptr, nullptr),
              S_OK);
    EXPECT_EQ(level, static_cast<DWORD>(RPC_C_AUTHN_LEVEL_CALL));
}

// The DLL as COM sees it: undecorated exports, the locator class only, and
// no unloading while any of its objects lives.
TEST_F(LocatorTest, TheDllExportsItsClassObjectAndStaysWhileInUse) {
    const UINT size = ::GetSystemDirectoryW(nullptr, 0);
    std::wstring path(size, L'\0');
    path.resize(::GetSystemDirectoryW(path.data(), size));
    path += L"\\corvanta_sqlwmi.dll";
    const win::Library dll(::LoadLibraryW(path.c_str()));
    ASSERT_TRUE(dll);
    const auto getClassObject = reinterpret_cast<LPFNGETCLASSOBJECT>(
        reinterpret_cast<void*>(::GetProcAddress(dll.Get(), "DllGetClassObject")));
    const auto canUnloadNow = reinterpret_cast<LPFNCANUNLOADNOW>(
        reinterpret_cast<void*>(::GetProcAddress(dll.Get(), "DllCanUnloadNow")));
    ASSERT_NE(getClassObject, nullptr);
    ASSERT_NE(canUnloadNow, nullptr);

    win::ComPtr<IClassFactory> factory;
    EXPECT_EQ(getClassObject(CLSID_WbemContext, IID_IClassFactory, factory.PutVoid()),
              CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(canUnloadNow(), S_OK);
    {
        win::ComPtr<IWbemLocator> locator = CreateLocator();
        EXPECT_EQ(canUnloadNow(), S_FALSE);
    }
    EXPECT_EQ(canUnloadNow(), S_OK);
    ASSERT_EQ(getClassObject(CLSID_WbemLocator, IID_IClassFactory, factory.PutVoid()), S_OK);
    win::ComPtr<IUnknown> aggregated;
    EXPECT_EQ(factory->CreateInstance(factory.Get(), IID_IUnknown, aggregated.PutVoid()), CLASS_E_NOAGGREGATION);
    factory.Reset();
    EXPECT_EQ(canUnloadNow(), S_OK);
}

}  // namespace
}  // namespace sqlwmi::test
