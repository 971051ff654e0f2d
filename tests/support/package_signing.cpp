#include "support/package_signing.h"

#include <windows.h>

#include <algorithm>

#include "setup/package_list.h"
#include "support/temp_folder.h"
#include "test_signing_key.h"
#include "win/text.h"

namespace {

std::string DerInteger(const std::uint8_t* value, size_t size) {
    while (size > 1 && *value == 0) {
        ++value;
        --size;
    }
    std::string out(1, '\x02');
    const bool pad = (*value & 0x80) != 0;
    out += static_cast<char>(size + (pad ? 1 : 0));
    if (pad) out += '\0';
    out.append(reinterpret_cast<const char*>(value), size);
    return out;
}


std::vector<std::string> ServedNames(const testbed::DownloadServerState& server) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA entry;
    win::FindHandle find(::FindFirstFileA(server.DownloadPath("*").c_str(), &entry));
    if (!find) return names;
    do {
        const std::string name = entry.cFileName;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        if (name.rfind("packages.manifest", 0) == 0 || name.rfind(".packages.manifest", 0) == 0) continue;
        names.push_back(name);
    } while (::FindNextFileA(find.Get(), &entry));
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

ListSigner ListSigner::BuildTestKey() {
    ListSigner signer;
    ::BCryptOpenAlgorithmProvider(signer.algorithm_.Put(), BCRYPT_ECDSA_P256_ALGORITHM, nullptr, 0);
    std::vector<UCHAR> blob(sizeof(BCRYPT_ECCKEY_BLOB) + 96);
    BCRYPT_ECCKEY_BLOB header = {BCRYPT_ECDSA_PRIVATE_P256_MAGIC, 32};
    std::copy_n(reinterpret_cast<const UCHAR*>(&header), sizeof header, blob.begin());
    std::copy(test_signing_key::POINT.begin(), test_signing_key::POINT.end(), blob.begin() + sizeof header);
    std::copy(test_signing_key::SECRET.begin(), test_signing_key::SECRET.end(), blob.begin() + sizeof header + 64);
    ::BCryptImportKeyPair(signer.algorithm_.Get(), nullptr, BCRYPT_ECCPRIVATE_BLOB, signer.key_.Put(), blob.data(),
                          static_cast<ULONG>(blob.size()), 0);
    return signer;
}

ListSigner ListSigner::NewKey() {
    ListSigner signer;
    ::BCryptOpenAlgorithmProvider(signer.algorithm_.Put(), BCRYPT_ECDSA_P256_ALGORITHM, nullptr, 0);
    ::BCryptGenerateKeyPair(signer.algorithm_.Get(), signer.key_.Put(), 256, 0);
    ::BCryptFinalizeKeyPair(signer.key_.Get(), 0);
    return signer;
}

std::string ListSigner::Sign(std::string_view data) const {
    const auto digest = win::Sha256Of(data);
    win::RawSignature raw{};
    ULONG size = 0;
    if (!digest || !BCRYPT_SUCCESS(::BCryptSignHash(key_.Get(), nullptr, const_cast<UCHAR*>(digest->data()),
                                                     static_cast<ULONG>(digest->size()), raw.data(),
                                                     static_cast<ULONG>(raw.size()), &size, 0))) {
        return {};
    }
    return RawSignatureToDer(raw);
}

std::string RawSignatureToDer(const win::RawSignature& raw) {
    const std::string body = DerInteger(raw.data(), 32) + DerInteger(raw.data() + 32, 32);
    return std::string(1, '\x30') + static_cast<char>(body.size()) + body;
}

std::string ListLineFor(const std::string& path, const std::string& name) {
    win::FileHandle file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    std::uint64_t size = 0;
    const auto digest = file ? win::Sha256OfFile(file.Get(), &size) : std::nullopt;
    if (!digest) return {};
    return HexDigest(*digest) + " " + std::to_string(size) + " " + name;
}

std::string ServedFolderList(const testbed::DownloadServerState& server, std::uint64_t serial,
                             const std::vector<std::string>& leaveOut) {
    std::string list = "# the test machine's packages\nserial " + std::to_string(serial) + "\n";
    for (const std::string& name : ServedNames(server)) {
        if (std::find(leaveOut.begin(), leaveOut.end(), name) != leaveOut.end()) continue;
        list += ListLineFor(server.DownloadPath(name), name) + "\n";
    }
    return list;
}

bool PublishList(const testbed::DownloadServerState& server, const std::string& list, const std::string& signature) {
    // Each file is written beside its place and moved over it, so the server
    // never hands out half of one.
    for (const auto& [name, content] : {std::pair{"packages.manifest", &list}, std::pair{"packages.manifest.sig", &signature}}) {
        const std::string path = server.DownloadPath(name);
        if (!WriteFileText(path + ".new", *content) ||
            !::MoveFileExA((path + ".new").c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
            return false;
        }
    }
    return true;
}

bool SignServedFolder(const testbed::DownloadServerState& server) {
    const std::string list = ServedFolderList(server);
    return PublishList(server, list, ListSigner::BuildTestKey().Sign(list));
}

ServedList::ServedList(const testbed::DownloadServerState& server, const std::string& list,
                       const std::string& signature)
    : server_(server) {
    PublishList(server_, list, signature);
}

ServedList::~ServedList() { SignServedFolder(server_); }
