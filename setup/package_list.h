#pragma once
// The vendor's signed package list: which files the setup may download, with
// their size and SHA-256, and the serial that keeps an old list from coming back.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "win/crypto.h"

constexpr char PACKAGE_LIST_NAME[] = "packages.manifest";
constexpr char PACKAGE_SIGNATURE_NAME[] = "packages.manifest.sig";
// Larger answers are no package list of ours.
constexpr std::size_t PACKAGE_LIST_LIMIT = 1024 * 1024;
constexpr std::size_t PACKAGE_SIGNATURE_LIMIT = 1024;

struct PackageEntry {
    std::string name;
    std::uint64_t size = 0;
    win::Sha256Digest sha256{};
};

struct PackageList {
    std::uint64_t serial = 0;
    std::vector<PackageEntry> entries;
    // Names compare without regard to case, as Windows and the server do.
    const PackageEntry* Find(std::string_view name) const;
};

struct PackageListParse {
    std::optional<PackageList> list;
    // The first line that breaks the format (1 is the first line); a list
    // without a serial line is reported at the line after its last one.
    std::size_t badLine = 0;
};

PackageListParse ParsePackageList(std::string_view text);
// A file name a package line may carry: one plain name Windows keeps as it is.
bool IsListedFileName(std::string_view name);
// An ECDSA signature in DER (SEQUENCE of two INTEGERs), as openssl writes it,
// turned into r || s; nothing when it is not a strict encoding of one.
std::optional<win::RawSignature> DerSignatureToRaw(std::string_view der);
// A list is taken when its serial is not below the highest one taken before.
bool SerialAccepted(std::uint64_t serial, std::optional<std::uint64_t> highestTaken);
// True when one of the keys signed exactly these bytes.
bool IsSignedByOneOf(std::string_view list, std::string_view signatureDer, const std::vector<win::EcPoint>& keys);
// Lower-case hexadecimal, as the list writes a digest.
std::string HexDigest(const win::Sha256Digest& digest);
