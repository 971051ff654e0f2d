#include "setup/download.h"

#include <vector>

#include "app/context.h"
#include "win/handles.h"
#include "win/text.h"

namespace {

constexpr wchar_t ACCEPT_HEADER[] = L"Accept: */*\r\n\r\n";

enum class Transfer { Stored, NotFound, Failed };

std::optional<unsigned long long> ContentLength(HINTERNET request) {
    wchar_t text[32] = {};
    DWORD size = sizeof text;
    if (!::WinHttpQueryHeaders(request, WINHTTP_QUERY_CONTENT_LENGTH, WINHTTP_HEADER_NAME_BY_INDEX, text, &size,
                               WINHTTP_NO_HEADER_INDEX)) {
        return std::nullopt;
    }
    unsigned long long length = 0;
    bool digits = false;
    for (const wchar_t* p = text; *p; ++p) {
        if (*p < L'0' || *p > L'9' || p - text >= 19) return std::nullopt;  // no overflow
        length = length * 10 + static_cast<unsigned>(*p - L'0');
        digits = true;
    }
    return digits ? std::optional(length) : std::nullopt;
}

DWORD StatusCode(HINTERNET request) {
    DWORD status = 0;
    DWORD size = sizeof status;
    ::WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER, WINHTTP_HEADER_NAME_BY_INDEX,
                          &status, &size, WINHTTP_NO_HEADER_INDEX);
    return status;
}

// One fetch: its connection and transfer buffer, reused by every attempt.
class PackageFetch {
public:
    PackageFetch(SetupContext& context, const FetchPlan& plan) : context_(context), plan_(plan) {}

    int Run();

private:
    void Fail(const std::string& what) { context_.Log(plan_.category, "Download of " + plan_.fileName + " failed: " + what); }
    Transfer Attempt(HINTERNET request, const std::string& localPath);
    Transfer ReceiveBody(HINTERNET request, const std::string& partialPath);

    SetupContext& context_;
    const FetchPlan& plan_;
    std::vector<char> buffer_;
};

Transfer PackageFetch::ReceiveBody(HINTERNET request, const std::string& partialPath) {
    win::FileHandle file(::CreateFileA(partialPath.c_str(), GENERIC_READ | GENERIC_WRITE,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        Fail("could not create " + partialPath + ": " + win::SystemErrorText(::GetLastError()));
        return Transfer::Failed;
    }
    const std::optional<unsigned long long> expected = ContentLength(request);
    if (buffer_.empty()) buffer_.resize(READ_CHUNK_BYTES);
    unsigned long long received = 0;
    for (;;) {
        DWORD read = 0;
        if (!::WinHttpReadData(request, buffer_.data(), READ_CHUNK_BYTES, &read)) {
            const DWORD code = ::GetLastError();
            Fail(WinHttpErrorText(code) + " (" + std::to_string(code) + ")");
            return Transfer::Failed;
        }
        if (read == 0) break;
        DWORD written = 0;
        if (!::WriteFile(file.Get(), buffer_.data(), read, &written, nullptr) || written != read) {
            Fail("could not write " + partialPath + ": " + win::SystemErrorText(::GetLastError()));
            return Transfer::Failed;
        }
        received += read;
    }
    // A body cut short by the server ends without a read error; only the
    // announced length tells it from a complete one.
    if (expected && received != *expected) {
        Fail("incomplete, " + std::to_string(received) + " of " + std::to_string(*expected) + " bytes received");
        return Transfer::Failed;
    }
    return Transfer::Stored;
}

Transfer PackageFetch::Attempt(HINTERNET request, const std::string& localPath) {
    // The earlier copy goes first: the local name only ever holds a complete file.
    ::DeleteFileA(localPath.c_str());
    const BOOL sent = ::WinHttpSendRequest(request, ACCEPT_HEADER, static_cast<DWORD>(-1), WINHTTP_NO_REQUEST_DATA, 0,
                                           0, 0);
    const DWORD sendError = sent ? 0 : ::GetLastError();
    if (!sent && plan_.reportSendFailure) ReportConnectFailure(context_, "Server", context_.downloadHost);
    if (!sent || !::WinHttpReceiveResponse(request, nullptr)) {
        const DWORD code = sent ? ::GetLastError() : sendError;
        ReportConnectFailure(context_, "Server", context_.downloadHost);
        Fail(WinHttpErrorText(code) + " (" + std::to_string(code) + ")");
        return Transfer::Failed;
    }
    const DWORD status = StatusCode(request);
    if (status == HTTP_STATUS_NOT_FOUND) return Transfer::NotFound;
    if (status != HTTP_STATUS_OK) {
        Fail("the server answered with HTTP status " + std::to_string(status));
        return Transfer::Failed;
    }
    const std::string partialPath = localPath + ".partial";
    Transfer result = ReceiveBody(request, partialPath);
    if (result == Transfer::Stored && !::MoveFileExA(partialPath.c_str(), localPath.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        Fail("could not store " + localPath + ": " + win::SystemErrorText(::GetLastError()));
        result = Transfer::Failed;
    }
    if (result != Transfer::Stored) ::DeleteFileA(partialPath.c_str());
    return result;
}

int PackageFetch::Run() {
    const LogCategory category = plan_.category;
    if (plan_.announceGetting) context_.Log(category, "Getting " + plan_.fileName + " from server");
    const DownloadEndpoint endpoint = ResolveDownloadEndpoint(context_);
    const std::string objectPath = ObjectPathFor(plan_.fileName);
    context_.Log(category, plan_.downloadingText, endpoint.host, objectPath);
    if (plan_.recordHost) context_.downloadHost = endpoint.host;

    const std::string localPath = text::JoinPath(plan_.localFolder, plan_.fileName);
    if (localPath.size() + 8 > LOCAL_PATH_LIMIT) {  // room for ".partial"
        context_.Log(category, "Path too long for download", localPath);
        ++context_.failedSteps;
        return 1;
    }
    win::InternetHandle connection(
        ::WinHttpConnect(context_.internetSession.Get(), win::ToWide(endpoint.host).c_str(), endpoint.port, 0));
    const std::wstring wideObjectPath = win::ToWide(objectPath);
    bool done = false;
    for (int attempt = 0; attempt < DOWNLOAD_ATTEMPTS && !done; ++attempt) {
        win::InternetHandle request(::WinHttpOpenRequest(connection.Get(), L"GET", wideObjectPath.c_str(), nullptr,
                                                         WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                                         WINHTTP_FLAG_SECURE | WINHTTP_FLAG_REFRESH));
        if (!request) return ReportConnectFailure(context_, "Url", objectPath);
        switch (Attempt(request.Get(), localPath)) {
            case Transfer::NotFound:
                context_.Log(category, "Could not find " + plan_.fileName + " on server. Please contact you administrator");
                ++context_.failedSteps;
                return 1;
            case Transfer::Stored:
                done = !plan_.handOn || plan_.handOn(localPath);
                break;
            case Transfer::Failed:
                break;
        }
    }
    if (done) {
        context_.Log(category, plan_.downloadedText, endpoint.host, objectPath);
    } else {
        context_.Log(category, "Could not download " + plan_.fileName + " after 5 attempts");
        ++context_.failedSteps;
    }
    return 1;
}

}  // namespace

std::optional<DownloadEndpoint> ParseDownloadServer(std::string_view value) {
    if (value.empty() || value.find_first_of(" \t/\\") != std::string_view::npos) return std::nullopt;
    const size_t colon = value.rfind(':');
    if (colon == std::string_view::npos) return DownloadEndpoint{std::string(value), DEFAULT_DOWNLOAD_PORT};
    const std::string_view host = value.substr(0, colon);
    const std::string_view port = value.substr(colon + 1);
    if (host.empty() || port.empty() || port.size() > 5 || host.find(':') != std::string_view::npos) return std::nullopt;
    unsigned long number = 0;
    for (char c : port) {
        if (c < '0' || c > '9') return std::nullopt;
        number = number * 10 + static_cast<unsigned long>(c - '0');
    }
    if (number == 0 || number > 65535) return std::nullopt;
    return DownloadEndpoint{std::string(host), static_cast<INTERNET_PORT>(number)};
}

DownloadEndpoint ResolveDownloadEndpoint(SetupContext& context) {
    char value[512] = {};
    const DWORD length = ::GetEnvironmentVariableA(DOWNLOAD_SERVER_VARIABLE, value, sizeof value);
    if (length == 0) return {DEFAULT_DOWNLOAD_HOST, DEFAULT_DOWNLOAD_PORT};
    if (length < sizeof value) {
        if (auto endpoint = ParseDownloadServer(value)) return *endpoint;
    }
    context.Log(LOG_SERVER, std::string("The download server setting ") + DOWNLOAD_SERVER_VARIABLE +
                                " is not valid; using " + DEFAULT_DOWNLOAD_HOST);
    return {DEFAULT_DOWNLOAD_HOST, DEFAULT_DOWNLOAD_PORT};
}

std::string ObjectPathFor(std::string_view fileName) { return "downloads/" + std::string(fileName); }

std::string ConnectFailureText(std::string_view what, std::string_view detail) {
    std::string line = "Could not conact ";
    if (what == "Server") line += " Server:";
    if (!text::IsBlank(what)) {
        line += what;
        line += "->";
        line += detail;
        line += ' ';
    } else if (!text::IsBlank(detail)) {
        line += detail;
        line += ' ';
    }
    return line;
}

int ReportConnectFailure(SetupContext& context, std::string_view what, std::string_view detail) {
    context.Log(LOG_CLIENT, ConnectFailureText(what, detail));
    return 0;
}

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
    std::string message;
    if (length && buffer) message.assign(buffer, length);
    if (buffer) ::LocalFree(buffer);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' ')) {
        message.pop_back();
    }
    return message.empty() ? "error " + std::to_string(code) : message;
}

int FetchPackage(SetupContext& context, const FetchPlan& plan) { return PackageFetch(context, plan).Run(); }
