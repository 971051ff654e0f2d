#include "setup/download.h"

#include <vector>

#include "core/context.h"
#include "setup/body_reader.h"
#include "setup/http_transfer.h"
#include "setup/package_trust.h"
#include "win/crypto.h"
#include "win/handles.h"
#include "win/text.h"

namespace {

enum class Transfer { Stored, NotFound, Failed, Retry, Cancelled };

// The status line during a download, in MiB with one decimal.
constexpr ULONGLONG STATUS_INTERVAL_MS = 250;  // at most four times a second

constexpr DWORD HTTP_STATUS_RANGE_NOT_SATISFIABLE_CODE = 416;
constexpr char CONTENT_MISMATCH[] = "its content does not match the signed package list";

// One fetch: its connection, its transfer buffer and its partial file, kept
// by every attempt, so a later attempt continues where an earlier one stopped.
class PackageFetch {
public:
    PackageFetch(SetupContext& context, const FetchPlan& plan) : context_(context), plan_(plan) {}
    ~PackageFetch() { DiscardPartial(); }  // a partial file never outlives its fetch

    int Run();

private:
    void Fail(const std::string& what) {
        context_.Log(plan_.category, "Download of " + plan_.fileName + " failed: " + what);
    }
    void FailWith(DWORD code) { Fail(WinHttpErrorText(code) + " (" + std::to_string(code) + ")"); }
    // Cancel: the fetch stops and its partial file goes with it; the update stops.
    int Cancelled() {
        context_.Log(plan_.category, "Download of " + plan_.fileName + " was stopped by Cancel");
        return 0;
    }
    // The request is the attempt's; its body's reader takes it over.
    Transfer Attempt(win::InternetHandle& request, const std::string& localPath);
    Transfer Answered(win::InternetHandle& request, const Answer& answer, const std::string& localPath);
    Transfer ReceiveBody(win::InternetHandle& request, const Answer& answer);
    // The bytes so far in the status line (not in the log), at most four
    // times a second, and the bar inside the step.
    void ShowBytes(const Answer& answer, std::uint64_t bytes, bool now);
    bool OpenPartial();
    void StartOver();
    void DiscardPartial();

    SetupContext& context_;
    const FetchPlan& plan_;
    const PackageEntry* entry_ = nullptr;
    std::string partialPath_;
    win::FileHandle partial_;
    std::uint64_t have_ = 0;   // bytes in the partial file, all of them hashed
    std::wstring etag_, lastModified_;  // of the answer those bytes came from
    std::vector<char> buffer_;
    win::Sha256 hash_;
    DWORD stallSeconds_ = DEFAULT_STALL_SECONDS;
    ULONGLONG lastShown_ = 0;
};

void PackageFetch::ShowBytes(const Answer& answer, std::uint64_t bytes, bool now) {
    const ULONGLONG tick = ::GetTickCount64();
    if (!now && tick - lastShown_ < STATUS_INTERVAL_MS) return;
    lastShown_ = tick;
    // The whole file's size as the answer gives it: a part's total, or the length.
    std::optional<std::uint64_t> total = answer.contentLength;
    if (answer.contentRange) total = answer.contentRange->total;
    context_.SetStatus(DownloadStatusText(plan_.fileName, bytes, total));
    if (plan_.onFraction && entry_ && entry_->size > 0) {
        plan_.onFraction(static_cast<double>(bytes) / static_cast<double>(entry_->size));
    }
}

bool PackageFetch::OpenPartial() {
    if (partial_) return true;
    // Nobody may write the file while it is being made.
    partial_.Reset(::CreateFileA(partialPath_.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                 CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!partial_) {
        Fail("could not create " + partialPath_ + ": " + win::SystemErrorText(::GetLastError()));
        return false;
    }
    have_ = 0;
    hash_.Reset();
    return true;
}

void PackageFetch::StartOver() {
    have_ = 0;
    hash_.Reset();
    etag_.clear();
    lastModified_.clear();
    if (!partial_) return;
    LARGE_INTEGER zero = {};
    if (!::SetFilePointerEx(partial_.Get(), zero, nullptr, FILE_BEGIN) || !::SetEndOfFile(partial_.Get())) {
        DiscardPartial();
    }
}

void PackageFetch::DiscardPartial() {
    const bool had = partial_.Valid();
    partial_.Reset();
    if (had) ::DeleteFileA(partialPath_.c_str());
    have_ = 0;
    hash_.Reset();
}

Transfer PackageFetch::ReceiveBody(win::InternetHandle& request, const Answer& answer) {
    // Cancel closes the request it tracks; from here on the body's reader owns it.
    if (!context_.cancel.Untrack(request.Get())) {
        request.Release();
        return Transfer::Cancelled;
    }
    DWORD writeError = 0, readError = 0;
    std::uint64_t received = 0;
    BodyEnd end = BodyEnd::Complete;
    ShowBytes(answer, have_, true);  // the status line says at once what comes
    {
        // One byte more than the list says tells a longer file from the right one.
        BodyReader reader(std::move(request), entry_->size + 1 - have_);
        std::vector<char> piece;
        for (;;) {
            // The next piece comes in while this one is written and hashed.
            const BodyReader::Next next = reader.Wait(context_.cancel.Event(), piece);
            if (next == BodyReader::Next::Cancelled) {
                end = BodyEnd::Cancelled;
                break;
            }
            if (next == BodyReader::Next::End) {
                end = reader.End();
                readError = reader.Error();
                break;
            }
            const DWORD size = static_cast<DWORD>(piece.size());
            DWORD written = 0;
            if (!::WriteFile(partial_.Get(), piece.data(), size, &written, nullptr) || written != size) {
                writeError = ::GetLastError();
                end = BodyEnd::Refused;
                break;
            }
            hash_.Update(piece.data(), piece.size());
            have_ += size;
            received += size;
            ShowBytes(answer, have_, false);
        }
    }
    ShowBytes(answer, have_, true);
    if (end == BodyEnd::Cancelled) return Transfer::Cancelled;
    if (end == BodyEnd::Stalled) {
        Fail("no data for " + std::to_string(stallSeconds_) + " seconds");  // the next attempt continues
        return Transfer::Failed;
    }
    if (end == BodyEnd::ReadFailed) {
        FailWith(readError);  // what came is kept: the next attempt continues from it
        return Transfer::Failed;
    }
    if (end == BodyEnd::Refused) {
        Fail("could not write " + partialPath_ + ": " + win::SystemErrorText(writeError));
        DiscardPartial();
        return Transfer::Failed;
    }
    // A body cut short by the server ends without a read error; only the
    // announced length tells it from a complete one.
    if (answer.contentLength && received < *answer.contentLength) {
        Fail("incomplete, " + std::to_string(have_) + " of " + std::to_string(entry_->size) + " bytes received");
        return Transfer::Failed;
    }
    const std::optional<win::Sha256Digest> digest = have_ == entry_->size ? hash_.Finish() : std::nullopt;
    if (!digest || *digest != entry_->sha256) {
        Fail(CONTENT_MISMATCH);
        DiscardPartial();
        return Transfer::Failed;
    }
    if (!::FlushFileBuffers(partial_.Get())) {
        Fail("could not write " + partialPath_ + ": " + win::SystemErrorText(::GetLastError()));
        DiscardPartial();
        return Transfer::Failed;
    }
    return Transfer::Stored;
}

Transfer PackageFetch::Answered(win::InternetHandle& request, const Answer& answer, const std::string& localPath) {
    if (answer.status == HTTP_STATUS_NOT_FOUND) return Transfer::NotFound;
    if (answer.status == HTTP_STATUS_OK) {
        StartOver();  // the whole file comes again
        etag_ = answer.etag;
        lastModified_ = answer.lastModified;
    } else if (answer.status == HTTP_STATUS_PARTIAL_CONTENT) {
        if (!answer.contentRange || answer.contentRange->first != have_ || answer.contentRange->total != entry_->size) {
            Fail("the server sent another part of the file than asked for");
            StartOver();
            return Transfer::Failed;
        }
    } else {
        Fail("the server answered with HTTP status " + std::to_string(answer.status));
        return Transfer::Failed;
    }
    const std::uint64_t expected = entry_->size - have_;
    if (answer.contentLength && *answer.contentLength != expected) {
        Fail(CONTENT_MISMATCH);
        DiscardPartial();
        return Transfer::Failed;
    }
    if (!OpenPartial()) return Transfer::Failed;
    Transfer result = ReceiveBody(request, answer);
    if (result != Transfer::Stored) return result;
    partial_.Reset();
    if (!::MoveFileExA(partialPath_.c_str(), localPath.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        Fail("could not store " + localPath + ": " + win::SystemErrorText(::GetLastError()));
        ::DeleteFileA(partialPath_.c_str());
        have_ = 0;
        hash_.Reset();
        return Transfer::Failed;
    }
    have_ = 0;
    hash_.Reset();
    return Transfer::Stored;
}

Transfer PackageFetch::Attempt(win::InternetHandle& request, const std::string& localPath) {
    // The earlier copy goes first: the local name only ever holds a complete file.
    ::DeleteFileA(localPath.c_str());
    const std::wstring resume = partial_ ? ResumeHeaders(have_, etag_, lastModified_) : std::wstring();
    if (resume.empty()) StartOver();
    Answer answer;
    DWORD error = 0;
    bool sent = false;
    if (!SendAndReceive(request.Get(), resume, answer, error, sent)) {
        if (context_.cancel.Requested()) return Transfer::Cancelled;
        if (IsTimeout(error)) {
            Fail("no data for " + std::to_string(stallSeconds_) + " seconds");
            return Transfer::Failed;
        }
        if (!sent && plan_.reportSendFailure) ReportConnectFailure(context_, "Server", context_.downloadHost);
        ReportConnectFailure(context_, "Server", context_.downloadHost);
        FailWith(error);
        return Transfer::Failed;
    }
    if (answer.status == HTTP_STATUS_RANGE_NOT_SATISFIABLE_CODE) {
        // What was kept is no part of the file any longer: it starts over.
        DiscardPartial();
        return Transfer::Retry;
    }
    return Answered(request, answer, localPath);
}

int PackageFetch::Run() {
    const LogCategory category = plan_.category;
    if (!context_.packageTrust->Ready(context_, category)) return 0;
    entry_ = context_.packageTrust->Entry(plan_.fileName);
    if (!entry_) {
        context_.Fail(category, NotListedText(plan_.fileName));
        return 1;
    }
    if (plan_.announceGetting) context_.Log(category, "Getting " + plan_.fileName + " from server");
    const DownloadEndpoint endpoint = ResolveDownloadEndpoint(context_);
    const std::string objectPath = ObjectPathFor(plan_.fileName);
    context_.Log(category, plan_.downloadingText, endpoint.host, objectPath);
    if (plan_.recordHost) context_.downloadHost = endpoint.host;

    const std::string localPath = text::JoinPath(plan_.localFolder, plan_.fileName);
    if (localPath.size() + 8 > LOCAL_PATH_LIMIT) {  // room for ".partial"
        context_.Fail(category, "Path too long for download", localPath);
        return 1;
    }
    win::InternetHandle connection(
        ::WinHttpConnect(context_.internetSession.Get(), win::ToWide(endpoint.host).c_str(), endpoint.port, 0));
    const std::wstring wideObjectPath = win::ToWide(objectPath);
    partialPath_ = localPath + ".partial";
    stallSeconds_ = StallLimitSeconds();
    HandOnResult outcome = HandOnResult::Retry;
    bool restartedOnce = false;
    for (int attempt = 0; attempt < DOWNLOAD_ATTEMPTS && outcome == HandOnResult::Retry; ++attempt) {
        if (context_.Stopping()) return Cancelled();
        win::InternetHandle request = OpenPackageRequest(connection.Get(), wideObjectPath);
        if (!request) {
            // The update cannot go on without requests: it stops, and says so.
            ++context_.report.failedSteps;
            return ReportConnectFailure(context_, "Url", objectPath);
        }
        WatchForStall(request.Get(), stallSeconds_);
        // Cancel closes the request the transfer waits on; then it is not closed twice.
        context_.cancel.Track(request.Get());
        const Transfer transfer = Attempt(request, localPath);
        if (request && !context_.cancel.Untrack(request.Get())) request.Release();
        if (context_.Stopping()) return Cancelled();
        if (transfer == Transfer::Retry && !restartedOnce) {
            // A 416: the same attempt asks again for the whole file.
            restartedOnce = true;
            --attempt;
            continue;
        }
        switch (transfer) {
            case Transfer::NotFound:
                DiscardPartial();
                context_.Fail(category, "Could not find " + plan_.fileName + " on server. Please contact you administrator");
                return 1;
            case Transfer::Stored:
                context_.packageTrust->MarkFetched(plan_.fileName);
                outcome = plan_.handOn ? plan_.handOn(localPath) : HandOnResult::Done;
                break;
            case Transfer::Failed:
            case Transfer::Retry:
            case Transfer::Cancelled:
                break;
        }
    }
    if (outcome == HandOnResult::Done) {
        context_.Log(category, plan_.downloadedText, endpoint.host, objectPath);
    } else if (outcome == HandOnResult::Retry) {
        context_.Fail(category, "Could not download " + plan_.fileName + " after 5 attempts");
    }
    return 1;
}

}  // namespace

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

std::string ContentMismatchText(std::string_view fileName) {
    return "Download of " + std::string(fileName) + " failed: " + CONTENT_MISMATCH;
}

std::string DownloadStatusText(std::string_view fileName, std::uint64_t received, std::optional<std::uint64_t> total) {
    auto mib = [](std::uint64_t bytes) {
        // One decimal, always a point: 12.3
        const std::uint64_t tenths = (bytes * 10 + (1u << 19)) >> 20;
        return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10);
    };
    std::string status = "Downloading " + std::string(fileName) + ": " + mib(received);
    if (total) status += " of " + mib(*total);
    return status + " MB";
}

std::string NotListedText(std::string_view fileName) {
    return std::string(fileName) + " is not in the signed package list; it was not downloaded";
}

int FetchPackage(SetupContext& context, const FetchPlan& plan) { return PackageFetch(context, plan).Run(); }
