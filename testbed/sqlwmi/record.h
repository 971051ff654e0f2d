#pragma once
// The stand-in's record for tests: one line per namespace connection and per
// query with its outcome, appended to C:\CorvantaTestbed\sqlwmi.log (UTF-8).
#include <windows.h>

#include <string>
#include <string_view>

namespace sqlwmi {

// "0x8004100E": how the record writes an HRESULT.
std::wstring HexResult(HRESULT hr);

// Appends one line; the record never decides an outcome, so failures to write
// it are ignored.
void AppendRecord(std::wstring_view line) noexcept;

}  // namespace sqlwmi
