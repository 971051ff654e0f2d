#include "setup/http_transfer.h"

#include "win/text.h"

namespace {

constexpr wchar_t ACCEPT_HEADER[] = L"Accept: */*\r\n\r\n";

DWORD StatusCode(HINTERNET request) {
    DWORD status = 0;
    DWORD size = sizeof status;
    ::WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER, WINHTTP_HEADER_NAME_BY_INDEX,
                          &status, &size, WINHTTP_NO_HEADER_INDEX);
    return status;
}

std::wstring HeaderText(HINTERNET request, DWORD header) {
    wchar_t text[256] = {};
    DWORD size = sizeof text - sizeof(wchar_t);
    if (!::WinHttpQueryHeaders(request, header, WINHTTP_HEADER_NAME_BY_INDEX, text, &size, WINHTTP_NO_HEADER_INDEX)) {
        return {};
    }
    return text;
}

std::optional<std::uint64_t> Digits(std::wstring_view digits) { return text::ParseDecimal(win::ToAnsi(digits)); }

}  // namespace

win::InternetHandle OpenPackageRequest(HINTERNET connection, const std::wstring& objectPath) {
    win::InternetHandle request(::WinHttpOpenRequest(connection, L"GET", objectPath.c_str(), nullptr,
                                                     WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                                     WINHTTP_FLAG_SECURE | WINHTTP_FLAG_REFRESH));
    if (request) {
        DWORD policy = WINHTTP_OPTION_REDIRECT_POLICY_NEVER;
        ::WinHttpSetOption(request.Get(), WINHTTP_OPTION_REDIRECT_POLICY, &policy, sizeof policy);
    }
    return request;
}

bool SendAndReceive(HINTERNET request, const std::wstring& extraHeaders, Answer& answer, DWORD& error, bool& sent) {
    if (!extraHeaders.empty() &&
        !::WinHttpAddRequestHeaders(request, extraHeaders.c_str(), static_cast<DWORD>(extraHeaders.size()),
                                    WINHTTP_ADDREQ_FLAG_ADD | WINHTTP_ADDREQ_FLAG_REPLACE)) {
        sent = false;
        error = ::GetLastError();
        return false;
    }
    sent = ::WinHttpSendRequest(request, ACCEPT_HEADER, static_cast<DWORD>(-1), WINHTTP_NO_REQUEST_DATA, 0, 0, 0) != 0;
    if (!sent || !::WinHttpReceiveResponse(request, nullptr)) {
        error = ::GetLastError();
        return false;
    }
    answer = Answer{};
    answer.status = StatusCode(request);
    answer.contentLength = ParseContentLength(HeaderText(request, WINHTTP_QUERY_CONTENT_LENGTH));
    if (answer.status == HTTP_STATUS_PARTIAL_CONTENT) {
        answer.contentRange = ParseContentRange(HeaderText(request, WINHTTP_QUERY_CONTENT_RANGE));
    }
    answer.etag = HeaderText(request, WINHTTP_QUERY_ETAG);
    answer.lastModified = HeaderText(request, WINHTTP_QUERY_LAST_MODIFIED);
    return true;
}

std::wstring ResumeHeaders(std::uint64_t have, const std::wstring& etag, const std::wstring& lastModified) {
    // A weak tag may not stand in If-Range: then the date does.
    const bool strongTag = etag.size() >= 2 && etag.front() == L'"' && etag.back() == L'"';
    const std::wstring& validator = strongTag ? etag : lastModified;
    if (have == 0 || validator.empty()) return {};
    return L"Range: bytes=" + std::to_wstring(have) + L"-\r\nIf-Range: " + validator + L"\r\n";
}

std::optional<ContentRange> ParseContentRange(std::wstring_view text) {
    constexpr std::wstring_view UNIT = L"bytes ";
    if (text.substr(0, UNIT.size()) != UNIT) return std::nullopt;
    text.remove_prefix(UNIT.size());
    const size_t dash = text.find(L'-'), slash = text.find(L'/');
    if (dash == std::wstring_view::npos || slash == std::wstring_view::npos || dash > slash) return std::nullopt;
    const auto first = Digits(text.substr(0, dash));
    const auto last = Digits(text.substr(dash + 1, slash - dash - 1));
    const auto total = Digits(text.substr(slash + 1));
    if (!first || !last || !total || *first > *last || *last >= *total) return std::nullopt;
    return ContentRange{*first, *last, *total};
}

BodyEnd ReadBody(HINTERNET request, std::vector<char>& buffer, std::uint64_t limit,
                 const std::function<bool(const char*, DWORD)>& sink, std::uint64_t& received, DWORD& error,
                 const std::function<bool()>& stopping) {
    if (buffer.size() < READ_CHUNK_BYTES) buffer.resize(READ_CHUNK_BYTES);
    received = 0;
    while (received < limit) {
        if (stopping && stopping()) return BodyEnd::Cancelled;
        // Whole reads: Cancel closes the request to end one that waits.
        const std::uint64_t left = limit - received;
        const DWORD ask = left < READ_CHUNK_BYTES ? static_cast<DWORD>(left) : READ_CHUNK_BYTES;
        DWORD read = 0;
        if (!::WinHttpReadData(request, buffer.data(), ask, &read)) {
            error = ::GetLastError();
            if (stopping && stopping()) return BodyEnd::Cancelled;
            return IsTimeout(error) ? BodyEnd::Stalled : BodyEnd::ReadFailed;
        }
        if (read == 0) break;
        received += read;
        if (!sink(buffer.data(), read)) return BodyEnd::Refused;
    }
    return BodyEnd::Complete;
}

bool IsTimeout(DWORD error) { return error == ERROR_WINHTTP_TIMEOUT || error == WSAETIMEDOUT; }

DWORD StallLimitSeconds() {
    DWORD value = 0, size = sizeof value;
    if (::RegGetValueA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Policies\\TovinSoft\\Corvanta10", STALL_POLICY_VALUE,
                       RRF_RT_REG_DWORD, nullptr, &value, &size) == ERROR_SUCCESS &&
        value > 0) {
        return value;
    }
    return DEFAULT_STALL_SECONDS;
}

void WatchForStall(HINTERNET request, DWORD seconds) {
    DWORD milliseconds = seconds > 86400 ? 86400000 : seconds * 1000;
    ::WinHttpSetOption(request, WINHTTP_OPTION_RECEIVE_TIMEOUT, &milliseconds, sizeof milliseconds);
}

std::optional<std::uint64_t> ParseContentLength(std::wstring_view text) { return Digits(text); }

std::string WinHttpErrorText(DWORD code) {
    // The texts of the errors a download meets; the system may have none.
    switch (code) {
        case ERROR_WINHTTP_TIMEOUT: return "the operation timed out";
        case ERROR_WINHTTP_NAME_NOT_RESOLVED: return "the server name could not be resolved";
        case ERROR_WINHTTP_CANNOT_CONNECT: return "the connection to the server could not be made";
        case ERROR_WINHTTP_CONNECTION_ERROR: return "the connection with the server was ended";
        case ERROR_WINHTTP_INVALID_SERVER_RESPONSE: return "the server's answer could not be understood";
        case ERROR_WINHTTP_SECURE_CHANNEL_ERROR: return "a secure channel could not be set up with the server";
        case ERROR_WINHTTP_SECURE_FAILURE: return "the server's certificate was not accepted";
        case ERROR_WINHTTP_SECURE_CERT_DATE_INVALID: return "the server's certificate has expired or is not yet valid";
        case ERROR_WINHTTP_SECURE_CERT_CN_INVALID: return "the server's certificate is for another name";
        case ERROR_WINHTTP_SECURE_INVALID_CA: return "the server's certificate comes from an authority this machine does not trust";
        default: break;
    }
    char* buffer = nullptr;
    DWORD length = ::FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_HMODULE |
                                        FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                    ::GetModuleHandleA("winhttp.dll"), code, 0, reinterpret_cast<char*>(&buffer), 0,
                                    nullptr);
    win::LocalMemory owner(buffer);
    std::string message;
    if (length && buffer) message.assign(buffer, length);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' ')) {
        message.pop_back();
    }
    return message.empty() ? "error " + std::to_string(code) : message;
}
