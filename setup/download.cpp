#include "setup/download.h"

#include <vector>

#include "app/context.h"
#include "setup/http_transfer.h"
#include "setup/package_trust.h"
#include "win/crypto.h"
#include "win/handles.h"
#include "win/text.h"

namespace {

enum class Transfer { Stored, NotFound, Failed };

// One fetch: its connection and transfer buffer, reused by every attempt.
class PackageFetch {
public:
    PackageFetch(SetupContext& context, const FetchPlan& plan) : context_(context), plan_(plan) {}

    int Run();

private:
    void Fail(const std::string& what) {
        context_.Log(plan_.category, "Download of " + plan_.fileName + " failed: " + what);
    }
    void FailWith(DWORD code) { Fail(WinHttpErrorText(code) + " (" + std::to_string(code) + ")"); }
    Transfer Attempt(HINTERNET request, const std::string& localPath);
    Transfer ReceiveBody(HINTERNET request, const Answer& answer, const std::string& partialPath);

    SetupContext& context_;
    const FetchPlan& plan_;
    const PackageEntry* entry_ = nullptr;
    std::vector<char> buffer_;
    win::Sha256 hash_;
};

Transfer PackageFetch::ReceiveBody(HINTERNET request, const Answer& answer, const std::string& partialPath) {
    // Nobody may write the file while it is being made.
    win::FileHandle file(::CreateFileA(partialPath.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                       CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        Fail("could not create " + partialPath + ": " + win::SystemErrorText(::GetLastError()));
        return Transfer::Failed;
    }
    hash_.Reset();
    DWORD writeError = 0, readError = 0;
    std::uint64_t received = 0;
    // One byte more than the list says tells a longer file from the right one.
    const BodyEnd end = ReadBody(
        request, buffer_, entry_->size + 1,
        [&](const char* data, DWORD size) {
            hash_.Update(data, size);
            DWORD written = 0;
            if (::WriteFile(file.Get(), data, size, &written, nullptr) && written == size) return true;
            writeError = ::GetLastError();
            return false;
        },
        received, readError);
    if (end == BodyEnd::ReadFailed) {
        FailWith(readError);
        return Transfer::Failed;
    }
    if (end == BodyEnd::Refused) {
        Fail("could not write " + partialPath + ": " + win::SystemErrorText(writeError));
        return Transfer::Failed;
    }
    // A body cut short by the server ends without a read error; only the
    // announced length tells it from a complete one.
    if (answer.contentLength && received < *answer.contentLength) {
        Fail("incomplete, " + std::to_string(received) + " of " + std::to_string(*answer.contentLength) +
             " bytes received");
        return Transfer::Failed;
    }
    const std::optional<win::Sha256Digest> digest = hash_.Finish();
    if (received != entry_->size || !digest || *digest != entry_->sha256) {
        Fail("its content does not match the signed package list");
        return Transfer::Failed;
    }
    if (!::FlushFileBuffers(file.Get())) {
        Fail("could not write " + partialPath + ": " + win::SystemErrorText(::GetLastError()));
        return Transfer::Failed;
    }
    return Transfer::Stored;
}

Transfer PackageFetch::Attempt(HINTERNET request, const std::string& localPath) {
    // The earlier copy goes first: the local name only ever holds a complete file.
    ::DeleteFileA(localPath.c_str());
    Answer answer;
    DWORD error = 0;
    bool sent = false;
    if (!SendAndReceive(request, answer, error, sent)) {
        if (!sent && plan_.reportSendFailure) ReportConnectFailure(context_, "Server", context_.downloadHost);
        ReportConnectFailure(context_, "Server", context_.downloadHost);
        FailWith(error);
        return Transfer::Failed;
    }
    if (answer.status == HTTP_STATUS_NOT_FOUND) return Transfer::NotFound;
    if (answer.status != HTTP_STATUS_OK) {
        Fail("the server answered with HTTP status " + std::to_string(answer.status));
        return Transfer::Failed;
    }
    if (answer.contentLength && *answer.contentLength != entry_->size) {
        Fail("its content does not match the signed package list");
        return Transfer::Failed;
    }
    const std::string partialPath = localPath + ".partial";
    Transfer result = ReceiveBody(request, answer, partialPath);
    if (result == Transfer::Stored &&
        !::MoveFileExA(partialPath.c_str(), localPath.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        Fail("could not store " + localPath + ": " + win::SystemErrorText(::GetLastError()));
        result = Transfer::Failed;
    }
    if (result != Transfer::Stored) ::DeleteFileA(partialPath.c_str());
    return result;
}

int PackageFetch::Run() {
    const LogCategory category = plan_.category;
    if (!context_.packageTrust->Ready(context_, category)) return 0;
    entry_ = context_.packageTrust->Entry(plan_.fileName);
    if (!entry_) {
        context_.Log(category, NotListedText(plan_.fileName));
        ++context_.failedSteps;
        return 1;
    }
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
    HandOnResult outcome = HandOnResult::Retry;
    for (int attempt = 0; attempt < DOWNLOAD_ATTEMPTS && outcome == HandOnResult::Retry; ++attempt) {
        win::InternetHandle request = OpenPackageRequest(connection.Get(), wideObjectPath);
        if (!request) {
            // The update cannot go on without requests: it stops, and says so.
            ++context_.failedSteps;
            return ReportConnectFailure(context_, "Url", objectPath);
        }
        switch (Attempt(request.Get(), localPath)) {
            case Transfer::NotFound:
                context_.Log(category, "Could not find " + plan_.fileName + " on server. Please contact you administrator");
                ++context_.failedSteps;
                return 1;
            case Transfer::Stored:
                context_.packageTrust->MarkFetched(plan_.fileName);
                outcome = plan_.handOn ? plan_.handOn(localPath) : HandOnResult::Done;
                break;
            case Transfer::Failed:
                break;
        }
    }
    if (outcome == HandOnResult::Done) {
        context_.Log(category, plan_.downloadedText, endpoint.host, objectPath);
    } else if (outcome == HandOnResult::Retry) {
        context_.Log(category, "Could not download " + plan_.fileName + " after 5 attempts");
        ++context_.failedSteps;
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
    return "Download of " + std::string(fileName) + " failed: its content does not match the signed package list";
}

std::string NotListedText(std::string_view fileName) {
    return std::string(fileName) + " is not in the signed package list; it was not downloaded";
}

int FetchPackage(SetupContext& context, const FetchPlan& plan) { return PackageFetch(context, plan).Run(); }
