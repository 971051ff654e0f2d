#pragma once
// Package lists the tests sign themselves: the build's own test key (which
// the setup under test trusts) or a key of their own (which it does not).
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "server_state.h"
#include "win/crypto.h"
#include "win/handles.h"

// The serial of the package set as built, and of every list the tests sign
// unless they say otherwise.
constexpr std::uint64_t SERVED_SERIAL = 1000;

class ListSigner {
public:
    static ListSigner BuildTestKey();  // the key the setup trusts
    static ListSigner NewKey();        // a key nobody trusts
    // A signature over the bytes in DER, as openssl writes it.
    std::string Sign(std::string_view data) const;

private:
    win::CryptAlgorithm algorithm_;
    win::CryptKey key_;
};

// r || s in DER: a SEQUENCE of two positive INTEGERs.
std::string RawSignatureToDer(const win::RawSignature& raw);
// "<sha256> <size> <name>" for a file.
std::string ListLineFor(const std::string& path, const std::string& name);
// A list of every file of the served folder (those named in leaveOut aside).
std::string ServedFolderList(const testbed::DownloadServerState& server, std::uint64_t serial = SERVED_SERIAL,
                             const std::vector<std::string>& leaveOut = {});
// Writes packages.manifest and its signature into the served folder.
bool PublishList(const testbed::DownloadServerState& server, const std::string& list, const std::string& signature);
// The served folder's own list, signed with the test key.
bool SignServedFolder(const testbed::DownloadServerState& server);

// A list of the test's own making for the test's duration; afterwards the
// served folder is signed as usual again.
class ServedList {
public:
    ServedList(const testbed::DownloadServerState& server, const std::string& list, const std::string& signature);
    ~ServedList();
    ServedList(const ServedList&) = delete;
    ServedList& operator=(const ServedList&) = delete;

private:
    const testbed::DownloadServerState& server_;
};
