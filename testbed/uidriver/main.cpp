// CorvantaUiDriver.exe: drives the dialogs of a running program from the
// command line, one command per call (see README.md).
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <iostream>

#include "testbed/uidriver/cli.h"

int main(int argc, char** argv) {
    // Plain line ends: a Linux shell reads this output.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    std::vector<std::string> words(argv + 1, argv + argc);
    std::string driverPath(MAX_PATH, '\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameA(nullptr, driverPath.data(), static_cast<DWORD>(driverPath.size()));
        if (length < driverPath.size()) {
            driverPath.resize(length);
            break;
        }
        driverPath.resize(driverPath.size() * 2);
    }
    const int code = uidriver::RunDriver(words, driverPath, std::cout, std::cerr);
    std::cout.flush();
    return code;
}
