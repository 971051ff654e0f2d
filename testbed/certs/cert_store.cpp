#include "cert_store.h"

#include <algorithm>
#include <cctype>

namespace certs {
namespace {

constexpr DWORD kEncoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;

std::string Lower(std::string_view s) {
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

bool SubjectMatches(const CertInfo& info, std::string_view part) {
    return part.empty() || Lower(info.subject).find(Lower(part)) != std::string::npos;
}

std::string Hex(const Bytes& bytes) {
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string out;
    for (BYTE b : bytes) {
        out += digits[b >> 4];
        out += digits[b & 0xF];
    }
    return out;
}

}  // namespace

Bytes DecodeCertificate(std::string_view content) {
    const size_t begin = content.find("-----BEGIN CERTIFICATE-----");
    if (begin == std::string_view::npos) {
        // DER: one ASN.1 SEQUENCE that a certificate context accepts.
        Bytes der(content.begin(), content.end());
        if (der.empty() || der.size() > MAXDWORD) return {};
        CertContext probe(::CertCreateCertificateContext(kEncoding, der.data(), static_cast<DWORD>(der.size())));
        return probe ? der : Bytes{};
    }
    const std::string_view pem = content.substr(begin);
    if (pem.size() > MAXDWORD) return {};
    DWORD size = 0;
    if (!::CryptStringToBinaryA(pem.data(), static_cast<DWORD>(pem.size()), CRYPT_STRING_BASE64HEADER, nullptr,
                                &size, nullptr, nullptr) ||
        size == 0)
        return {};
    Bytes der(size);
    if (!::CryptStringToBinaryA(pem.data(), static_cast<DWORD>(pem.size()), CRYPT_STRING_BASE64HEADER, der.data(),
                                &size, nullptr, nullptr))
        return {};
    der.resize(size);
    CertContext probe(::CertCreateCertificateContext(kEncoding, der.data(), size));
    return probe ? der : Bytes{};
}

CertStore OpenRootStore() {
    return CertStore(::CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"Root"));
}

CertInfo DescribeCertificate(PCCERT_CONTEXT cert) {
    CertInfo info;
    DWORD strType = CERT_X500_NAME_STR;
    DWORD n = ::CertGetNameStringA(cert, CERT_NAME_RDN_TYPE, 0, &strType, nullptr, 0);
    if (n > 1) {
        std::string name(n, '\0');
        n = ::CertGetNameStringA(cert, CERT_NAME_RDN_TYPE, 0, &strType, name.data(), n);
        name.resize(n > 0 ? n - 1 : 0);
        info.subject = name;
    }
    DWORD size = 0;
    if (::CertGetCertificateContextProperty(cert, CERT_SHA1_HASH_PROP_ID, nullptr, &size) && size) {
        Bytes hash(size);
        if (::CertGetCertificateContextProperty(cert, CERT_SHA1_HASH_PROP_ID, hash.data(), &size)) {
            hash.resize(size);
            info.thumbprint = Hex(hash);
        }
    }
    return info;
}

AddResult AddToRoot(const Bytes& der, DWORD& error) {
    error = 0;
    if (der.empty() || der.size() > MAXDWORD) {
        error = static_cast<DWORD>(CRYPT_E_ASN1_BADTAG);
        return AddResult::Failed;
    }
    CertStore store = OpenRootStore();
    if (!store) {
        error = ::GetLastError();
        return AddResult::Failed;
    }
    if (::CertAddEncodedCertificateToStore(store.Get(), kEncoding, der.data(), static_cast<DWORD>(der.size()),
                                           CERT_STORE_ADD_NEW, nullptr))
        return AddResult::Added;
    error = ::GetLastError();
    if (error == static_cast<DWORD>(CRYPT_E_EXISTS)) {
        error = 0;
        return AddResult::AlreadyPresent;
    }
    return AddResult::Failed;
}

std::vector<CertInfo> FindInRoot(std::string_view subjectPart) {
    std::vector<CertInfo> found;
    CertStore store = OpenRootStore();
    if (!store) return found;
    PCCERT_CONTEXT cert = nullptr;
    // The enumeration frees the previous context itself.
    while ((cert = ::CertEnumCertificatesInStore(store.Get(), cert)) != nullptr) {
        CertInfo info = DescribeCertificate(cert);
        if (SubjectMatches(info, subjectPart)) found.push_back(std::move(info));
    }
    return found;
}

bool RootContains(const Bytes& der) {
    if (der.empty() || der.size() > MAXDWORD) return false;
    CertContext wanted(::CertCreateCertificateContext(kEncoding, der.data(), static_cast<DWORD>(der.size())));
    CertStore store = OpenRootStore();
    if (!wanted || !store) return false;
    CertContext present(
        ::CertFindCertificateInStore(store.Get(), kEncoding, 0, CERT_FIND_EXISTING, wanted.Get(), nullptr));
    return present.Valid();
}

int RemoveFromRoot(std::string_view subjectPart) {
    if (subjectPart.empty()) return 0;
    // Removed from the registry store that holds what was added. Wine's system
    // store reports the deletion as done, yet the certificate is still there
    // for the next process to see.
    CertStore store(::CertOpenStore(CERT_STORE_PROV_SYSTEM_REGISTRY_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE,
                                    L"Root"));
    if (!store) return -1;
    std::vector<CertContext> doomed;
    PCCERT_CONTEXT cert = nullptr;
    while ((cert = ::CertEnumCertificatesInStore(store.Get(), cert)) != nullptr) {
        if (SubjectMatches(DescribeCertificate(cert), subjectPart))
            doomed.emplace_back(::CertDuplicateCertificateContext(cert));
    }
    int removed = 0;
    for (CertContext& c : doomed) {
        // CertDeleteCertificateFromStore frees the context it is given, even on failure.
        if (::CertDeleteCertificateFromStore(c.Release())) ++removed;
    }
    return removed;
}

}  // namespace certs
