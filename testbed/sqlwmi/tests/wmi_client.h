#pragma once
// The client side the tests share: the locator as CoCreateInstance gives it,
// connections, queries and property reads, all through the real interfaces.
#include <windows.h>
#include <wbemcli.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/scenario_keys.h"
#include "win/com.h"

namespace sqlwmi::test {

inline constexpr wchar_t kInstanceIdQuery[] =
    L"SELECT * FROM SqlServiceAdvancedProperty WHERE SQLServiceType = 1 AND PropertyName = 'instanceID'";
inline constexpr LONG kSetupQueryFlags = WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY;

std::wstring VersionQuery(const std::wstring& service);
std::wstring SqlPath(int number);  // "\\.\root\Microsoft\SqlServer\ComputerManagementNN"

win::ComPtr<IWbemLocator> CreateLocator();
HRESULT Connect(const std::wstring& path, win::ComPtr<IWbemServices>& services);
HRESULT Query(IWbemServices* services, const std::wstring& text, win::ComPtr<IEnumWbemClassObject>& result,
              LONG flags = kSetupQueryFlags, const wchar_t* language = L"WQL");

// Every object left in an enumeration, read one at a time as the setup reads them.
std::vector<win::ComPtr<IWbemClassObject>> ReadAll(IEnumWbemClassObject* objects);
// A property's text, or "<vt N>" / "<hr 0x...>" when it is not one.
std::wstring TextOf(IWbemClassObject* object, const wchar_t* name);

// Every test starts without any SQL Server namespace and leaves none behind.
class ScenarioTest : public ::testing::Test {
protected:
    void SetUp() override { ClearScenario(); }
    void TearDown() override { ClearScenario(); }
};

}  // namespace sqlwmi::test
