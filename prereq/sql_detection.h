#pragma once
// Reading the SQL Server WMI provider's answers: the decisions on its texts.
#include <windows.h>

#include <string>
#include <string_view>

// The instance part of a service name: what follows the first "$".
std::wstring InstanceNameOf(std::wstring_view serviceName);
// The leading decimal number of a version text; 0 without digits.
int MajorVersionOf(std::wstring_view version);
// A name inside a WQL string literal: a quote or a backslash in a service
// name must not end the literal or change the query.
std::wstring EscapeWql(std::wstring_view text);
// The bit of sqlVersionBits for a major version 11 to 16, else 0.
unsigned VersionBit(int major);

// What one answer of IEnumWbemClassObject::Next, asked for one object, means
// for an enumeration that has timed out `timeouts` times before: a slow
// provider host answers WBEM_S_TIMEDOUT without an object while its results
// are still to come, so that is asked again, at most NEXT_RETRIES times in
// one enumeration; every other answer without an object ends it.
enum class NextStep { TakeObject, AskAgain, End };
constexpr int NEXT_RETRIES = 3;
NextStep DecideNext(HRESULT hr, unsigned long returned, int timeouts);
