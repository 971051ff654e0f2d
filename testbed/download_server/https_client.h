#pragma once
// A WinHTTP client that fetches from the download server the way the setup
// does: one session without proxy, one connection handle for several
// requests, GET of "downloads/<name>" over TLS with full certificate checks.
#include <windows.h>
#include <winhttp.h>

#include <optional>
#include <string>

#include "win/handles.h"

namespace testbed {

struct Response {
    DWORD error = 0;        // the WinHTTP error of the first call that failed, or 0
    std::string failedCall;  // which call that was
    DWORD status = 0;
    std::optional<unsigned long long> contentLength;
    std::string contentType;
    std::string contentRange;  // e.g. "bytes 100-999/1000" (206) or "bytes */1000" (416)
    std::string etag;          // as sent, quotes included
    std::string lastModified;
    std::string location;  // of a redirect that was not followed
    std::string body;  // what arrived, also when the connection was cut
};

class HttpsClient {
public:
    // server: "host" or "host:port" (443 when no port is given).
    explicit HttpsClient(const std::string& server);
    HttpsClient(const HttpsClient&) = delete;
    HttpsClient& operator=(const HttpsClient&) = delete;

    // The error of opening the session or connection, or 0.
    DWORD OpenError() const { return openError_; }
    // How long a request waits for the next data (60 s unless set); for requests opened after it.
    void SetReceiveTimeout(int milliseconds);
    // Whether WinHTTP follows redirects itself (it does unless told otherwise).
    void SetFollowRedirects(bool follow) { followRedirects_ = follow; }
    // headers: more request headers, "Name: value" lines separated by "\r\n",
    // e.g. "Range: bytes=100-\r\nIf-Range: \"3e8-1\"".
    Response Get(const std::string& name, const std::string& headers = "");

private:
    DWORD openError_ = 0;
    bool followRedirects_ = true;
    win::InternetHandle session_;
    win::InternetHandle connection_;
};

}  // namespace testbed
