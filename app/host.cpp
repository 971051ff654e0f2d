#include "app/host.h"

#include <cstdio>
#include <cstdlib>

namespace {

class WindowsHost final : public SetupHost {
public:
    int ShowBox(HWND owner, const std::string& text, const std::string& caption, UINT type) override {
        return ::MessageBoxA(owner, text.c_str(), caption.c_str(), type);
    }
    void EndProcess(unsigned exitCode) override { std::exit(static_cast<int>(exitCode)); }
    void WriteStandardOutput(std::string_view text) override {
        std::fwrite(text.data(), 1, text.size(), stdout);
        std::fflush(stdout);
    }
};

WindowsHost productionHost;

}  // namespace

SetupHost& ProductionHost() { return productionHost; }
