// The control case: a program that loads WinHTTP the usual way, without
// limiting where DLLs come from. Planted beside it, the fake is loaded.
#include <windows.h>

int main() {
    HMODULE library = ::LoadLibraryA("winhttp.dll");
    if (library) ::FreeLibrary(library);
    return library ? 0 : 1;
}
