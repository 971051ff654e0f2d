#pragma once
// SHA-256 and ECDSA P-256 verification through the system's BCrypt.
#include <windows.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "win/handles.h"

namespace win {

using Sha256Digest = std::array<std::uint8_t, 32>;
// An ECDSA P-256 public key: X then Y, 32 bytes each.
using EcPoint = std::array<std::uint8_t, 64>;
// An ECDSA signature as BCrypt takes it: r then s, 32 bytes each.
using RawSignature = std::array<std::uint8_t, 64>;

// A running SHA-256 over data given in pieces. A hash that could not be set
// up, or a failed step, makes Finish give nothing.
class Sha256 {
public:
    Sha256() { Reset(); }
    void Update(const void* data, std::size_t size);
    void Update(std::string_view data) { Update(data.data(), data.size()); }
    // The digest of everything given since the last Reset; the hash then
    // takes nothing more until the next Reset.
    std::optional<Sha256Digest> Finish();
    void Reset();

private:
    CryptAlgorithm algorithm_;
    CryptHash hash_;
    bool failed_ = false;
};

std::optional<Sha256Digest> Sha256Of(std::string_view data);
// The hash of a whole open file, read from its start; the position is left at
// the end and the number of bytes read is given back.
std::optional<Sha256Digest> Sha256OfFile(HANDLE file, std::uint64_t* size = nullptr);

// True when the signature over the digest was made with the key's private half.
bool VerifyEcdsaP256(const EcPoint& key, const Sha256Digest& digest, const RawSignature& signature);

}  // namespace win
