#pragma once
// The test machine's SQL Server installations, read from the registry each
// time they are asked for, so a test or a fake installer can change them
// while a process holds the provider:
//   HKLM\SOFTWARE\CorvantaTestbed\SqlWmi\<ComputerManagementNN>\<ServiceName>
// with REG_SZ values named after the service's properties, and on the
// namespace key the REG_DWORD values TimeoutsBeforeFirstObject and
// TimeoutWaitMs of a slow provider host.
#include <string_view>
#include <vector>

#include "provider_rules.h"

namespace sqlwmi {

// The namespace exists when its key exists, even without any service.
bool NamespaceExists(std::wstring_view key);

// The services of a namespace with their text properties, in the registry's
// enumeration order; nothing when the namespace is gone.
std::vector<ServiceData> ReadServices(std::wstring_view key);

// How slow the namespace's provider host is; a value that is missing or not a
// REG_DWORD leaves its part of the default, a provider that is never slow.
Slowness ReadSlowness(std::wstring_view key);

}  // namespace sqlwmi
