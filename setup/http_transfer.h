#pragma once
// One HTTPS GET of the download protocol: the request, its answer and its
// body, whatever the caller does with the bytes.
#include <windows.h>
#include <winhttp.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "win/handles.h"

// Reads of 256 KiB: measured in the test machine, both WinHTTP's TLS reads
// and the file writes are two to three times faster than with 15 MB reads.
constexpr DWORD READ_CHUNK_BYTES = 256 * 1024;

// A GET of downloads/<name> with the protocol's flags; redirects are never
// followed, so a mirror cannot send the setup elsewhere.
win::InternetHandle OpenPackageRequest(HINTERNET connection, const std::wstring& objectPath);

struct ContentRange {
    std::uint64_t first = 0, last = 0, total = 0;
};

struct Answer {
    DWORD status = 0;
    std::optional<std::uint64_t> contentLength;
    std::optional<ContentRange> contentRange;  // of a 206 answer
    std::wstring etag;
    std::wstring lastModified;
};

// Sends the request with the protocol's header block (and any extra headers,
// each ending in CR LF) and waits for the answer; false with the system's
// error code when either fails (sent tells whether the send itself worked).
bool SendAndReceive(HINTERNET request, const std::wstring& extraHeaders, Answer& answer, DWORD& error, bool& sent);

enum class BodyEnd { Complete, ReadFailed, Refused, Stalled, Cancelled };
// Reads the body into the sink in reads of READ_CHUNK_BYTES, at most `limit`
// bytes (reading stops there); the sink refuses by returning false.
// `received` counts what was delivered. `stopping` is asked before every
// read (a read that waits is ended by closing the request); a request the
// receive time-out ends in the middle is Stalled.
BodyEnd ReadBody(HINTERNET request, std::vector<char>& buffer, std::uint64_t limit,
                 const std::function<bool(const char* data, DWORD size)>& sink, std::uint64_t& received,
                 DWORD& error, const std::function<bool()>& stopping = {});
// The system's codes of a receive time-out (Wine gives the socket's own).
bool IsTimeout(DWORD error);
// The longest a transfer may go without a byte before it fails its attempt:
// the DownloadStallSeconds policy (DWORD) when it is set, else 300 s.
DWORD StallLimitSeconds();
constexpr char STALL_POLICY_VALUE[] = "DownloadStallSeconds";
constexpr DWORD DEFAULT_STALL_SECONDS = 300;
// Sets the request's receive time-out to the stall limit; the session's own
// time-outs stay.
void WatchForStall(HINTERNET request, DWORD seconds);

// What a resumed request asks for: the rest of the file from `have`, if the
// file is still the one the first answer described (its strong ETag, else its
// Last-Modified date). Empty when there is nothing to continue from.
std::wstring ResumeHeaders(std::uint64_t have, const std::wstring& etag, const std::wstring& lastModified);
// "bytes <first>-<last>/<total>"; nothing for any other form.
std::optional<ContentRange> ParseContentRange(std::wstring_view text);
// The decimal Content-Length text of an answer; nothing when it is not one.
std::optional<std::uint64_t> ParseContentLength(std::wstring_view text);
std::string WinHttpErrorText(DWORD code);
