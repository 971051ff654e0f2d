#include "testbed/uidriver/messaging.h"

#include <algorithm>
#include <cstdio>

#include "testbed/uidriver/driver_error.h"

namespace uidriver {

namespace {

constexpr UINT SEND_FLAGS = SMTO_NORMAL | SMTO_ABORTIFHUNG;

std::string Hex(const void* window) {
    char digits[32] = {};
    std::snprintf(digits, sizeof digits, "%p", window);
    return digits;
}

}  // namespace

std::optional<LRESULT> SendAnsi(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD timeoutMs) {
    DWORD_PTR result = 0;
    if (!::SendMessageTimeoutA(window, message, wParam, lParam, SEND_FLAGS, timeoutMs, &result)) return std::nullopt;
    return static_cast<LRESULT>(result);
}

std::optional<LRESULT> SendWide(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD timeoutMs) {
    DWORD_PTR result = 0;
    if (!::SendMessageTimeoutW(window, message, wParam, lParam, SEND_FLAGS, timeoutMs, &result)) return std::nullopt;
    return static_cast<LRESULT>(result);
}

LRESULT SendOrThrow(HWND window, UINT message, WPARAM wParam, LPARAM lParam, const char* what) {
    std::optional<LRESULT> result = SendAnsi(window, message, wParam, lParam);
    if (!result) {
        throw DriverError(std::string(what) + ": window " + Hex(window) +
                          (::IsWindow(window) ? " did not answer within " + std::to_string(READ_TIMEOUT_MS) + " ms"
                                              : " is gone"));
    }
    return *result;
}

void PostOrThrow(HWND window, UINT message, WPARAM wParam, LPARAM lParam, const char* what) {
    if (!::PostMessageA(window, message, wParam, lParam)) {
        throw DriverError(std::string(what) + ": cannot post to window " + Hex(window) + " (error " +
                          std::to_string(::GetLastError()) + ")");
    }
}

std::string StoredText(HWND window) {
    // InternalGetWindowText takes a count of characters and reports the
    // length copied; a longer buffer is tried until the text fits.
    for (int capacity = 256;; capacity *= 4) {
        std::wstring text(static_cast<size_t>(capacity), L'\0');
        const int length = ::InternalGetWindowText(window, text.data(), capacity);
        if (length < capacity - 1 || capacity >= (1 << 22)) {
            text.resize(static_cast<size_t>(std::max(length, 0)));
            return ToAnsi(text);
        }
    }
}

std::optional<std::string> MessageText(HWND window) {
    std::optional<LRESULT> length = SendAnsi(window, WM_GETTEXTLENGTH, 0, 0);
    if (!length) return std::nullopt;
    // Room for a text that grew between the two messages; WM_GETTEXT never
    // writes more than the size it is given.
    std::string text(static_cast<size_t>(std::max<LRESULT>(*length, 0)) + 256, '\0');
    std::optional<LRESULT> copied = SendAnsi(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    if (!copied) return std::nullopt;
    text.resize(std::min(static_cast<size_t>(std::max<LRESULT>(*copied, 0)), text.size() - 1));
    return text;
}

std::string ClassName(HWND window) {
    char name[257] = {};  // class names are at most 256 characters
    const int length = ::GetClassNameA(window, name, sizeof name);
    return std::string(name, static_cast<size_t>(std::max(length, 0)));
}

std::wstring ToWide(std::string_view text) {
    if (text.empty()) return {};
    const int size = ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(size), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
    return wide;
}

std::string ToAnsi(std::wstring_view text) {
    if (text.empty()) return {};
    const int size =
        ::WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string ansi(static_cast<size_t>(size), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), ansi.data(), size, nullptr, nullptr);
    return ansi;
}

}  // namespace uidriver
