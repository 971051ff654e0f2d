#pragma once
// The system's folders (Program Files, the Start menu, the desktop, ...).
#include <windows.h>
#include <shlobj.h>

#include <string>

namespace win {

// A known folder by its id (FOLDERID_...); empty when the system has none.
std::string KnownFolder(REFKNOWNFOLDERID id);

}  // namespace win
