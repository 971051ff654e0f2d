#include "setup/internet_session.h"

#include <windows.h>
#include <winhttp.h>

#include "core/context.h"
#include "win/text.h"

namespace {

constexpr wchar_t USER_AGENT[] = L"TovinSoft Corvanta App v10.1";
constexpr DWORD CONNECT_TIMEOUT_MS = 300000;
constexpr DWORD RECEIVE_TIMEOUT_MS = 86400000;

}  // namespace

void OpenInternetSession(SetupContext& context) {
    if (context.internetSession) return;
    context.Log(LOG_SERVER, "Establishing Session");
    if (!text::IsBlank(context.proxy)) {
        const std::wstring proxy = win::ToWide(context.proxy);
        context.internetSession.Reset(
            ::WinHttpOpen(USER_AGENT, WINHTTP_ACCESS_TYPE_NAMED_PROXY, proxy.c_str(), WINHTTP_NO_PROXY_BYPASS, 0));
        context.Log(LOG_SERVER,
                    context.internetSession ? "Established Session with Proxy:" : "Failed Establishing Session with Proxy:",
                    context.proxy);
    } else {
        context.internetSession.Reset(
            ::WinHttpOpen(USER_AGENT, WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
        context.Log(LOG_SERVER, context.internetSession ? "Established Session without Proxy:"
                                                        : "Failed Establishing Session without Proxy:");
    }
    DWORD connectTimeout = CONNECT_TIMEOUT_MS;
    DWORD receiveTimeout = RECEIVE_TIMEOUT_MS;
    ::WinHttpSetOption(context.internetSession.Get(), WINHTTP_OPTION_CONNECT_TIMEOUT, &connectTimeout,
                       sizeof connectTimeout);
    ::WinHttpSetOption(context.internetSession.Get(), WINHTTP_OPTION_RECEIVE_TIMEOUT, &receiveTimeout,
                       sizeof receiveTimeout);
}

