#pragma once
// The stand-in's record for tests: one line per namespace connection, per
// query and per enumeration call a slow provider held up, with its outcome,
// appended to C:\CorvantaTestbed\sqlwmi.log (UTF-8).
#include <windows.h>

#include <string>
#include <string_view>

namespace sqlwmi {

// "0x8004100E": how the record writes an HRESULT.
std::wstring HexResult(HRESULT hr);

// "1 object", "2 objects": a count as the record words it.
std::wstring Counted(size_t count, std::wstring_view noun);

// Appends one line; the record never decides an outcome, so failures to write
// it are ignored.
void AppendRecord(std::wstring_view line) noexcept;

}  // namespace sqlwmi
