#include "win/crypto.h"

#include <algorithm>
#include <vector>

namespace win {

namespace {

constexpr DWORD FILE_CHUNK = 256 * 1024;  // reads of a file being hashed

}  // namespace

void Sha256::Reset() {
    hash_.Reset();
    failed_ = !algorithm_ && !BCRYPT_SUCCESS(::BCryptOpenAlgorithmProvider(algorithm_.Put(), BCRYPT_SHA256_ALGORITHM,
                                                                           nullptr, 0));
    failed_ = failed_ || !BCRYPT_SUCCESS(::BCryptCreateHash(algorithm_.Get(), hash_.Put(), nullptr, 0, nullptr, 0, 0));
}

void Sha256::Update(const void* data, std::size_t size) {
    const auto* bytes = static_cast<const UCHAR*>(data);
    while (!failed_ && size > 0) {
        const ULONG piece = size > 0x40000000 ? 0x40000000 : static_cast<ULONG>(size);
        failed_ = !BCRYPT_SUCCESS(::BCryptHashData(hash_.Get(), const_cast<UCHAR*>(bytes), piece, 0));
        bytes += piece;
        size -= piece;
    }
}

std::optional<Sha256Digest> Sha256::Finish() {
    Sha256Digest digest{};
    const bool done =
        !failed_ && BCRYPT_SUCCESS(::BCryptFinishHash(hash_.Get(), digest.data(), static_cast<ULONG>(digest.size()), 0));
    failed_ = true;
    if (!done) return std::nullopt;
    return digest;
}

std::optional<Sha256Digest> Sha256Of(std::string_view data) {
    Sha256 hash;
    hash.Update(data);
    return hash.Finish();
}

std::optional<Sha256Digest> Sha256OfFile(HANDLE file, std::uint64_t* size) {
    LARGE_INTEGER start = {};
    if (!::SetFilePointerEx(file, start, nullptr, FILE_BEGIN)) return std::nullopt;
    Sha256 hash;
    std::vector<char> buffer(FILE_CHUNK);
    std::uint64_t total = 0;
    for (;;) {
        DWORD read = 0;
        if (!::ReadFile(file, buffer.data(), FILE_CHUNK, &read, nullptr)) return std::nullopt;
        if (read == 0) break;
        hash.Update(buffer.data(), read);
        total += read;
    }
    if (size) *size = total;
    return hash.Finish();
}

bool VerifyEcdsaP256(const EcPoint& key, const Sha256Digest& digest, const RawSignature& signature) {
    CryptAlgorithm algorithm;
    if (!BCRYPT_SUCCESS(::BCryptOpenAlgorithmProvider(algorithm.Put(), BCRYPT_ECDSA_P256_ALGORITHM, nullptr, 0))) {
        return false;
    }
    std::vector<UCHAR> blob(sizeof(BCRYPT_ECCKEY_BLOB) + key.size());
    BCRYPT_ECCKEY_BLOB header = {BCRYPT_ECDSA_PUBLIC_P256_MAGIC, 32};
    std::copy_n(reinterpret_cast<const UCHAR*>(&header), sizeof header, blob.begin());
    std::copy(key.begin(), key.end(), blob.begin() + sizeof header);
    CryptKey handle;
    if (!BCRYPT_SUCCESS(::BCryptImportKeyPair(algorithm.Get(), nullptr, BCRYPT_ECCPUBLIC_BLOB, handle.Put(),
                                              blob.data(), static_cast<ULONG>(blob.size()), 0))) {
        return false;
    }
    return BCRYPT_SUCCESS(::BCryptVerifySignature(handle.Get(), nullptr, const_cast<UCHAR*>(digest.data()),
                                                  static_cast<ULONG>(digest.size()),
                                                  const_cast<UCHAR*>(signature.data()),
                                                  static_cast<ULONG>(signature.size()), 0));
}

}  // namespace win
