#pragma once
// Reading the SQL Server WMI provider's answers: the decisions on its texts.
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
