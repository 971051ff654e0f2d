#include "setup/package_trust.h"

#include <windows.h>

#include "core/context.h"
#include "core/package_keys.h"
#include "setup/download_server.h"
#include "setup/http_transfer.h"
#include "win/text.h"

namespace {

constexpr int LIST_ATTEMPTS = 5;

// One small file of the list's protocol, into memory; nothing after five
// failed attempts, each logged.
std::optional<std::string> FetchSmallFile(SetupContext& context, LogCategory category, HINTERNET connection,
                                          const std::string& name, std::size_t limit) {
    const std::wstring objectPath = win::ToWide(ObjectPathFor(name));
    std::vector<char> buffer;
    auto fail = [&](const std::string& why) { context.Log(category, "Download of " + name + " failed: " + why); };
    for (int attempt = 0; attempt < LIST_ATTEMPTS; ++attempt) {
        win::InternetHandle request = OpenPackageRequest(connection, objectPath);
        if (!request) {
            const DWORD code = ::GetLastError();
            fail("the request could not be opened: " + WinHttpErrorText(code) + " (" + std::to_string(code) + ")");
            continue;
        }
        Answer answer;
        DWORD error = 0;
        bool sent = false;
        if (!SendAndReceive(request.Get(), {}, answer, error, sent)) {
            fail(WinHttpErrorText(error) + " (" + std::to_string(error) + ")");
            continue;
        }
        if (answer.status != HTTP_STATUS_OK) {
            fail("the server answered with HTTP status " + std::to_string(answer.status));
            continue;
        }
        if (answer.contentLength && *answer.contentLength > limit) {
            fail("it is larger than " + std::to_string(limit) + " bytes");
            continue;
        }
        std::string body;
        std::uint64_t received = 0;
        const BodyEnd end = ReadBody(
            request.Get(), buffer, limit + 1,
            [&body](const char* data, DWORD size) {
                body.append(data, size);
                return true;
            },
            received, error);
        if (end != BodyEnd::Complete) {
            fail(WinHttpErrorText(error) + " (" + std::to_string(error) + ")");
        } else if (received > limit) {
            fail("it is larger than " + std::to_string(limit) + " bytes");
        } else if (answer.contentLength && received != *answer.contentLength) {
            fail("incomplete, " + std::to_string(received) + " of " + std::to_string(*answer.contentLength) +
                 " bytes received");
        } else {
            return body;
        }
    }
    return std::nullopt;
}

std::optional<std::uint64_t> KeptSerial() {
    win::RegKey key;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, PACKAGE_SERIAL_KEY, 0, KEY_READ, key.Put()) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    DWORD type = 0, size = sizeof value;
    if (::RegQueryValueExA(key.Get(), PACKAGE_SERIAL_VALUE, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
            ERROR_SUCCESS ||
        type != REG_QWORD || size != sizeof value) {
        return std::nullopt;
    }
    return value;
}

bool KeepSerial(std::uint64_t serial) {
    win::RegKey key;
    if (::RegCreateKeyExA(HKEY_LOCAL_MACHINE, PACKAGE_SERIAL_KEY, 0, nullptr, 0, KEY_WRITE, nullptr, key.Put(),
                          nullptr) != ERROR_SUCCESS) {
        return false;
    }
    return ::RegSetValueExA(key.Get(), PACKAGE_SERIAL_VALUE, 0, REG_QWORD, reinterpret_cast<const BYTE*>(&serial),
                            sizeof serial) == ERROR_SUCCESS;
}

std::string ChangedText(const std::string& fileName) {
    return fileName + " was changed after its download; it was not used";
}

}  // namespace

std::string ListUnavailableText(std::string_view host) {
    return "Could not get the signed package list from " + std::string(host) + "; nothing was installed";
}

std::string ListNotSignedText(std::string_view host) {
    return "The package list of " + std::string(host) + " is not signed by TovinSoft; nothing was installed";
}

std::string ListNotValidText(std::string_view host, std::size_t line) {
    return "The package list of " + std::string(host) + " is not valid (line " + std::to_string(line) +
           "); nothing was installed";
}

std::string ListOlderText(std::string_view host, std::uint64_t serial, std::uint64_t highest) {
    return "The package list of " + std::string(host) + " is older than one already used (serial " +
           std::to_string(serial) + ", at least " + std::to_string(highest) + "); nothing was installed";
}

bool PackageTrust::Refuse(SetupContext& context, LogCategory category, const std::string& line) {
    context.Fail(category, line);
    context.report.stopped = true;  // nothing is fetched, run or unpacked after this
    return false;
}

bool PackageTrust::Ready(SetupContext& context, LogCategory category) {
    if (checked_) return trusted_;
    checked_ = true;
    const DownloadEndpoint& endpoint = ResolveDownloadEndpoint(context);
    const std::string& host = endpoint.host;
    win::InternetHandle connection(
        ::WinHttpConnect(context.internetSession.Get(), win::ToWide(host).c_str(), endpoint.port, 0));
    std::optional<std::string> list = FetchSmallFile(context, category, connection.Get(), PACKAGE_LIST_NAME,
                                                     PACKAGE_LIST_LIMIT);
    std::optional<std::string> signature;
    if (list) {
        signature = FetchSmallFile(context, category, connection.Get(), PACKAGE_SIGNATURE_NAME, PACKAGE_SIGNATURE_LIMIT);
    }
    if (!list || !signature) return Refuse(context, category, ListUnavailableText(host));
    // The signature is checked on the exact bytes before anything of them is read.
    if (!IsSignedByOneOf(*list, *signature, BuiltInPackageKeys())) return Refuse(context, category, ListNotSignedText(host));
    PackageListParse parsed = ParsePackageList(*list);
    if (!parsed.list) return Refuse(context, category, ListNotValidText(host, parsed.badLine));
    const std::optional<std::uint64_t> highest = KeptSerial();
    if (!SerialAccepted(parsed.list->serial, highest)) {
        return Refuse(context, category, ListOlderText(host, parsed.list->serial, *highest));
    }
    if ((!highest || parsed.list->serial > *highest) && !KeepSerial(parsed.list->serial)) {
        // The list is good; only the protection against an older one is weaker.
        context.Fail(category, "Could not store the package list serial",
                    std::string("HKLM\\") + PACKAGE_SERIAL_KEY + "\\" + PACKAGE_SERIAL_VALUE);
    }
    context.Log(category, "Checked the signed package list of " + host + " (serial " +
                              std::to_string(parsed.list->serial) + ")");
    list_ = std::move(parsed.list);
    trusted_ = true;
    return true;
}

const PackageEntry* PackageTrust::Entry(std::string_view fileName) const {
    return list_ ? list_->Find(fileName) : nullptr;
}

std::optional<HeldPackage> HoldVerifiedPackage(SetupContext& context, LogCategory category, const std::string& path,
                                               const std::string& fileName) {
    const PackageEntry* entry = context.packageTrust->Entry(fileName);
    win::FileHandle file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    std::uint64_t size = 0;
    std::optional<win::Sha256Digest> digest;
    if (entry && file) digest = win::Sha256OfFile(file.Get(), &size);
    if (!entry || !digest || size != entry->size || *digest != entry->sha256) {
        context.Fail(category, ChangedText(fileName));
        return std::nullopt;
    }
    return HeldPackage(std::move(file));
}
