#pragma once
// The test machine's trusted roots: the LocalMachine "Root" store, as the
// setup's WinHTTP downloads see it. Adds, finds and removes certificates.
#include <windows.h>
#include <wincrypt.h>

#include <string>
#include <string_view>
#include <vector>

#include "win/unique_handle.h"

namespace certs {

struct CertStoreTraits {
    using Type = HCERTSTORE;
    static Type Invalid() { return nullptr; }
    static void Close(Type h) { ::CertCloseStore(h, 0); }
};
struct CertContextTraits {
    using Type = PCCERT_CONTEXT;
    static Type Invalid() { return nullptr; }
    static void Close(Type h) { ::CertFreeCertificateContext(h); }
};
using CertStore = win::UniqueHandle<CertStoreTraits>;
using CertContext = win::UniqueHandle<CertContextTraits>;

using Bytes = std::vector<BYTE>;

// The DER bytes of the first certificate of a PEM text, or the bytes
// themselves when they already are DER. Empty when neither.
Bytes DecodeCertificate(std::string_view fileContent);

// Opens LocalMachine\Root; changes are persisted when it is closed.
CertStore OpenRootStore();

struct CertInfo {
    std::string subject;     // "O=..., CN=..."
    std::string thumbprint;  // SHA-1, upper-case hex
};
CertInfo DescribeCertificate(PCCERT_CONTEXT cert);

enum class AddResult { Added, AlreadyPresent, Failed };
// Never adds the same certificate twice. On failure, error holds the reason.
AddResult AddToRoot(const Bytes& der, DWORD& error);

// Certificates of Root whose subject contains the given text (all of them
// for an empty text), compared without regard to case.
std::vector<CertInfo> FindInRoot(std::string_view subjectPart);
bool RootContains(const Bytes& der);

// Removes every certificate whose subject contains the text (which must not
// be empty); returns how many went, or -1 when the store could not be opened.
int RemoveFromRoot(std::string_view subjectPart);

}  // namespace certs
