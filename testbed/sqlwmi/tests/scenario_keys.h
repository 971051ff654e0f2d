#pragma once
// Scenario keys written by the tests. The machine's own scenario is set aside
// while the tests run and put back afterwards; each test starts from a machine
// without any SQL Server namespace.
#include <windows.h>

#include <string>

namespace sqlwmi::test {

void SetAsideMachineScenario();
void RestoreMachineScenario();
void ClearScenario();

void AddNamespace(const std::wstring& key);
void RemoveNamespace(const std::wstring& key);
// A service with its instanceID and, when not null, its Version.
void AddService(const std::wstring& key, const std::wstring& service, const std::wstring& instanceId,
                const wchar_t* version);
void SetServiceValue(const std::wstring& key, const std::wstring& service, const std::wstring& name,
                     const std::wstring& value);
// A REG_DWORD on the namespace key itself, such as TimeoutsBeforeFirstObject.
void SetNamespaceNumber(const std::wstring& key, const std::wstring& name, DWORD value);

// C:\CorvantaTestbed\sqlwmi.log from a byte offset on, and its size now.
std::string RecordFrom(size_t offset);
size_t RecordSize();

}  // namespace sqlwmi::test
