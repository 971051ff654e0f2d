#include "prereq/vc_runtime.h"

#include <windows.h>

#include "core/context.h"
#include "win/handles.h"
#include "win/text.h"

namespace {

constexpr wchar_t RUNTIME_14_KEY[] = L"SOFTWARE\\Microsoft\\VisualStudio\\14.0\\VC\\Runtimes\\x64";
constexpr char RUNTIME_12_X64_KEY[] = "SOFTWARE\\Microsoft\\VisualStudio\\12.0\\VC\\Runtimes\\X64";
constexpr char RUNTIME_12_X86_KEY[] = "SOFTWARE\\Wow6432Node\\Microsoft\\VisualStudio\\12.0\\VC\\Runtimes\\X86";

bool ReadDword(HKEY key, const wchar_t* name, DWORD& value, DWORD* type = nullptr) {
    DWORD size = sizeof value;
    DWORD valueType = 0;
    const bool ok = ::RegQueryValueExW(key, name, nullptr, &valueType, reinterpret_cast<BYTE*>(&value), &size) ==
                        ERROR_SUCCESS &&
                    size == sizeof value;
    if (type) *type = valueType;
    return ok;
}

// "Installed" = 1 under a runtime 12 key.
bool Runtime12Installed(const char* path) {
    win::RegKey key;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, key.Put()) != ERROR_SUCCESS) return false;
    DWORD value = 0;
    DWORD size = sizeof value;
    return ::RegQueryValueExA(key.Get(), "Installed", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size) ==
               ERROR_SUCCESS &&
           value == 1;
}

}  // namespace

VcVersion ParseVcVersionText(std::wstring_view wide) {
    if (wide.size() < 2) return {};
    const std::string text = win::ToAnsi(wide.substr(1));
    std::uint32_t parts[4] = {};
    size_t start = 0;
    for (int i = 0; i < 4; ++i) {
        const size_t end = i < 3 ? text.find('.', start) : text.size();
        if (end == std::string::npos) return {};
        // Each part is digits only; one too large for the registry's DWORD is no version.
        const auto part = text::ParseDecimal(std::string_view(text).substr(start, end - start), 10);
        if (!part || *part > 0xFFFFFFFFu) return {};
        parts[i] = static_cast<std::uint32_t>(*part);
        start = end + 1;
    }
    return {parts[0], parts[1], parts[2], parts[3]};
}

bool VcRuntime14Sufficient(const VcVersion& version) {
    return !(version.major < 14 || (version.major == 14 && version.minor < 20));
}

int QueryVcRuntime14(bool* installed, VcVersion* version) {
    if (installed) *installed = false;
    if (version) *version = {};
    win::RegKey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, RUNTIME_14_KEY, 0, KEY_READ | KEY_WOW64_64KEY, key.Put()) !=
        ERROR_SUCCESS) {
        return 0;
    }
    DWORD flag = 0, type = 0;
    if (!ReadDword(key.Get(), L"Installed", flag, &type) || type != REG_DWORD || flag != 1) return 1;
    if (installed) *installed = true;
    wchar_t text[64] = {};
    DWORD size = sizeof text - sizeof(wchar_t);  // always room for the terminator
    if (::RegQueryValueExW(key.Get(), L"Version", nullptr, &type, reinterpret_cast<BYTE*>(text), &size) ==
            ERROR_SUCCESS &&
        (type == REG_SZ || type == REG_EXPAND_SZ)) {
        if (version) *version = ParseVcVersionText(text);
    } else if (version) {
        DWORD major = 0, minor = 0, build = 0, revision = 0;
        if (ReadDword(key.Get(), L"Major", major) && ReadDword(key.Get(), L"Minor", minor) &&
            ReadDword(key.Get(), L"Bld", build) && ReadDword(key.Get(), L"Rev", revision)) {
            *version = {major, minor, build, revision};
        }
    }
    return 1;
}

int CheckVcRuntime(SetupContext& context, unsigned selector) {
    if (selector == VC_RUNTIME_14) {
        context.Log(LOG_CLIENT, "Checking for Pre-requisite");
        bool installed = false;
        VcVersion version;
        QueryVcRuntime14(&installed, &version);
        return installed && VcRuntime14Sufficient(version) ? 0 : 1;
    }
    if (Runtime12Installed(RUNTIME_12_X64_KEY)) return 0;
    return Runtime12Installed(RUNTIME_12_X86_KEY) ? 0 : 1;
}
