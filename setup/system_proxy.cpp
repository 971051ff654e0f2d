#include "setup/system_proxy.h"

#include <windows.h>
#include <winhttp.h>

#include "core/context.h"
#include "win/handles.h"
#include "win/text.h"

namespace {

// Takes over the strings WinHTTP allocated and turns the proxy list into text.
std::string TakeProxyList(LPWSTR proxy, LPWSTR bypass, LPWSTR autoConfigUrl) {
    win::GlobalMemory proxyOwner(proxy), bypassOwner(bypass), urlOwner(autoConfigUrl);
    return proxy ? win::ToAnsi(proxy) : std::string();
}

std::optional<std::string> QueryWinHttpDefault() {
    WINHTTP_PROXY_INFO info = {};
    if (!::WinHttpGetDefaultProxyConfiguration(&info)) return std::nullopt;
    return TakeProxyList(info.lpszProxy, info.lpszProxyBypass, nullptr);
}

std::optional<std::string> QueryBrowser() {
    WINHTTP_CURRENT_USER_IE_PROXY_CONFIG browser = {};
    if (!::WinHttpGetIEProxyConfigForCurrentUser(&browser)) return std::nullopt;
    return TakeProxyList(browser.lpszProxy, browser.lpszProxyBypass, browser.lpszAutoConfigUrl);
}

}  // namespace

std::string SelectProxyList(ProxyQuery winHttpDefault, ProxyQuery browser) {
    if (auto list = winHttpDefault()) return *list;
    return browser().value_or("");
}

std::string FitProxyList(std::string_view list) {
    if (list.size() < FOLDER_WIDTH) return std::string(list);
    const size_t end = list.find_first_of("; ");
    if (end != std::string_view::npos && end > 0 && end < FOLDER_WIDTH) return std::string(list.substr(0, end));
    return {};
}

std::string DetectSystemProxy() { return FitProxyList(SelectProxyList(QueryWinHttpDefault, QueryBrowser)); }

bool IsProxyAddress(std::string_view text) {
    const size_t colon = text.rfind(':');
    if (colon == std::string_view::npos || colon == 0) return false;
    for (char c : text.substr(0, colon)) {
        if (c == ' ' || c == '\t' || c == '/' || c == ';') return false;
    }
    const auto port = text::ParseDecimal(text.substr(colon + 1), 5);
    return port && *port >= 1 && *port <= 65535;
}
