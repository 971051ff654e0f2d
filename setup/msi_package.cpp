#include "setup/msi_package.h"

#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include "win/text.h"

namespace {

// A handle of the installer's database library, closed when it goes.
class MsiHandle {
public:
    MsiHandle() = default;
    ~MsiHandle() {
        if (handle_) ::MsiCloseHandle(handle_);
    }
    MsiHandle(const MsiHandle&) = delete;
    MsiHandle& operator=(const MsiHandle&) = delete;
    MSIHANDLE* Put() { return &handle_; }
    MSIHANDLE Get() const { return handle_; }

private:
    MSIHANDLE handle_ = 0;
};

constexpr UINT PRODUCT_UNKNOWN_EXIT = 1605;

}  // namespace

std::optional<std::string> MsiProductCode(const std::string& packagePath) {
    MsiHandle database, view, record;
    if (::MsiOpenDatabaseA(packagePath.c_str(), MSIDBOPEN_READONLY, database.Put()) != ERROR_SUCCESS) return std::nullopt;
    if (::MsiDatabaseOpenViewA(database.Get(), "SELECT `Value` FROM `Property` WHERE `Property`='ProductCode'",
                               view.Put()) != ERROR_SUCCESS ||
        ::MsiViewExecute(view.Get(), 0) != ERROR_SUCCESS || ::MsiViewFetch(view.Get(), record.Put()) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    DWORD size = 0;
    char empty[1] = {};
    if (::MsiRecordGetStringA(record.Get(), 1, empty, &size) != ERROR_MORE_DATA && size == 0) return std::nullopt;
    std::string code(size + 1, '\0');
    DWORD length = size + 1;
    if (::MsiRecordGetStringA(record.Get(), 1, code.data(), &length) != ERROR_SUCCESS) return std::nullopt;
    code.resize(length);
    // A product code is a GUID in braces; anything else is not passed to msiexec.
    if (code.size() != 38 || code.front() != '{' || code.back() != '}') return std::nullopt;
    for (char c : code.substr(1, 36)) {
        const bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
        if (!hex && c != '-') return std::nullopt;
    }
    return code;
}

MsiRemoval PlanMsiRemoval(const std::string& systemFolder, const std::string& productCode) {
    const std::string msiexec = text::JoinPath(systemFolder, "msiexec.exe");
    return {msiexec, "\"" + msiexec + "\" /x " + productCode + " /quiet /norestart"};
}

RemovalAnswer ClassifyMsiRemoval(unsigned long exitCode) {
    if (exitCode == ERROR_SUCCESS) return RemovalAnswer::Removed;
    if (exitCode == ERROR_SUCCESS_REBOOT_REQUIRED || exitCode == ERROR_SUCCESS_REBOOT_INITIATED) {
        return RemovalAnswer::RemovedRestart;
    }
    if (exitCode == PRODUCT_UNKNOWN_EXIT) return RemovalAnswer::AlreadyGone;
    return RemovalAnswer::Failed;
}
