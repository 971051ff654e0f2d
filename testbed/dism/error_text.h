#pragma once
// The text DismGetLastErrorMessage hands out for a failed call's result: the
// servicing stack's own wording where the library has one, else the system's
// message for the code, else a line that names the code.
#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

namespace dism {

// The library's own texts, for the codes it produces itself.
std::optional<std::wstring_view> DismErrorText(HRESULT code);
std::wstring ErrorText(HRESULT code);

}  // namespace dism
