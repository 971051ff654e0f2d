#include "https_client.h"

#include <vector>

#include "win/text.h"

namespace testbed {
namespace {

constexpr int kConnectTimeout = 300000;
constexpr int kReceiveTimeout = 60000;  // the setup waits a day; a test never should

std::string QueryText(HINTERNET request, DWORD what) {
    DWORD size = 0;
    ::WinHttpQueryHeaders(request, what, WINHTTP_HEADER_NAME_BY_INDEX, nullptr, &size, WINHTTP_NO_HEADER_INDEX);
    if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER || size == 0) return {};
    std::wstring value(size / sizeof(wchar_t) + 1, L'\0');
    if (!::WinHttpQueryHeaders(request, what, WINHTTP_HEADER_NAME_BY_INDEX, value.data(), &size,
                               WINHTTP_NO_HEADER_INDEX))
        return {};
    value.resize(size / sizeof(wchar_t));
    return win::ToAnsi(value);
}

}  // namespace

HttpsClient::HttpsClient(const std::string& server) {
    std::string host = server;
    INTERNET_PORT port = INTERNET_DEFAULT_HTTPS_PORT;
    if (const size_t colon = server.rfind(':'); colon != std::string::npos) {
        host = server.substr(0, colon);
        port = static_cast<INTERNET_PORT>(text::ParseLong(server.substr(colon + 1)));
    }
    session_.Reset(::WinHttpOpen(L"CorvantaTestbed/1.0", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                                 WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session_) {
        openError_ = ::GetLastError();
        return;
    }
    ::WinHttpSetTimeouts(session_.Get(), 0, kConnectTimeout, kReceiveTimeout, kReceiveTimeout);
    connection_.Reset(::WinHttpConnect(session_.Get(), win::ToWide(host).c_str(), port, 0));
    if (!connection_) openError_ = ::GetLastError();
}

void HttpsClient::SetReceiveTimeout(int milliseconds) {
    if (session_) ::WinHttpSetTimeouts(session_.Get(), 0, kConnectTimeout, kReceiveTimeout, milliseconds);
}

Response HttpsClient::Get(const std::string& name, const std::string& headers) {
    Response response;
    auto fail = [&response](const char* call) {
        response.error = ::GetLastError();
        response.failedCall = call;
        return response;
    };
    if (openError_) {
        response.error = openError_;
        response.failedCall = "WinHttpOpen/WinHttpConnect";
        return response;
    }
    const std::wstring object = win::ToWide("downloads/" + name);
    win::InternetHandle request(::WinHttpOpenRequest(connection_.Get(), L"GET", object.c_str(), nullptr,
                                                     WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                                     WINHTTP_FLAG_SECURE | WINHTTP_FLAG_REFRESH));
    if (!request) return fail("WinHttpOpenRequest");
    if (!followRedirects_) {
        DWORD policy = WINHTTP_OPTION_REDIRECT_POLICY_NEVER;
        if (!::WinHttpSetOption(request.Get(), WINHTTP_OPTION_REDIRECT_POLICY, &policy, sizeof(policy)))
            return fail("WinHttpSetOption");
    }
    const std::wstring requestHeaders = win::ToWide("Accept: */*" + (headers.empty() ? "" : "\r\n" + headers));
    if (!::WinHttpSendRequest(request.Get(), requestHeaders.c_str(), static_cast<DWORD>(-1L), WINHTTP_NO_REQUEST_DATA,
                              0, 0, 0))
        return fail("WinHttpSendRequest");
    if (!::WinHttpReceiveResponse(request.Get(), nullptr)) return fail("WinHttpReceiveResponse");

    DWORD status = 0, size = sizeof(status);
    if (!::WinHttpQueryHeaders(request.Get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                               WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX))
        return fail("WinHttpQueryHeaders");
    response.status = status;
    const std::string length = QueryText(request.Get(), WINHTTP_QUERY_CONTENT_LENGTH);
    if (!length.empty() && length.find_first_not_of("0123456789") == std::string::npos)
        response.contentLength = std::stoull(length);
    response.contentType = QueryText(request.Get(), WINHTTP_QUERY_CONTENT_TYPE);
    response.contentRange = QueryText(request.Get(), WINHTTP_QUERY_CONTENT_RANGE);
    response.etag = QueryText(request.Get(), WINHTTP_QUERY_ETAG);
    response.lastModified = QueryText(request.Get(), WINHTTP_QUERY_LAST_MODIFIED);
    response.location = QueryText(request.Get(), WINHTTP_QUERY_LOCATION);

    std::vector<char> buffer(64 * 1024);
    for (;;) {
        DWORD read = 0;
        if (!::WinHttpReadData(request.Get(), buffer.data(), static_cast<DWORD>(buffer.size()), &read))
            return fail("WinHttpReadData");
        if (read == 0) break;
        response.body.append(buffer.data(), read);
    }
    return response;
}

}  // namespace testbed
