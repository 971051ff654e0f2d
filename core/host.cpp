#include "core/host.h"

#include <cstdio>

namespace {

class WindowsHost final : public SetupHost {
public:
    int ShowBox(HWND owner, const std::string& text, const std::string& caption, UINT type) override {
        return ::MessageBoxA(owner, text.c_str(), caption.c_str(), type);
    }
    // The message loop ends and the entry point returns the code it carries.
    void EndProcess(unsigned exitCode) override { ::PostQuitMessage(static_cast<int>(exitCode)); }
    void WriteStandardOutput(std::string_view text) override {
        std::fwrite(text.data(), 1, text.size(), stdout);
        std::fflush(stdout);
    }
};

WindowsHost productionHost;

}  // namespace

SetupHost& ProductionHost() { return productionHost; }
