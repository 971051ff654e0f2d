#include "cert_store.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct CryptProvTraits {
    using Type = HCRYPTPROV;
    static Type Invalid() { return 0; }
    static void Close(Type h) { ::CryptReleaseContext(h, 0); }
};
struct CryptKeyTraits {
    using Type = HCRYPTKEY;
    static Type Invalid() { return 0; }
    static void Close(Type h) { ::CryptDestroyKey(h); }
};

// A throw-away self-signed certificate with a subject no other test uses. Its
// key lives only in memory, so no key container is left in the machine.
certs::Bytes MakeSelfSigned(const std::string& commonName) {
    win::UniqueHandle<CryptProvTraits> provider;
    if (!::CryptAcquireContextW(provider.Put(), nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT)) return {};
    win::UniqueHandle<CryptKeyTraits> key;
    if (!::CryptGenKey(provider.Get(), AT_SIGNATURE, 1024u << 16, key.Put())) return {};
    const std::string x500 = "CN=" + commonName + ", O=TovinSoft Testbed";
    DWORD size = 0;
    if (!::CertStrToNameA(X509_ASN_ENCODING, x500.c_str(), CERT_X500_NAME_STR, nullptr, nullptr, &size, nullptr))
        return {};
    certs::Bytes name(size);
    if (!::CertStrToNameA(X509_ASN_ENCODING, x500.c_str(), CERT_X500_NAME_STR, nullptr, name.data(), &size, nullptr))
        return {};
    CERT_NAME_BLOB blob{size, name.data()};
    certs::CertContext cert(
        ::CertCreateSelfSignCertificate(provider.Get(), &blob, 0, nullptr, nullptr, nullptr, nullptr, nullptr));
    if (!cert) return {};
    return certs::Bytes(cert.Get()->pbCertEncoded, cert.Get()->pbCertEncoded + cert.Get()->cbCertEncoded);
}

std::string ToPem(const certs::Bytes& der) {
    DWORD size = 0;
    ::CryptBinaryToStringA(der.data(), static_cast<DWORD>(der.size()), CRYPT_STRING_BASE64HEADER, nullptr, &size);
    std::string pem(size, '\0');
    ::CryptBinaryToStringA(der.data(), static_cast<DWORD>(der.size()), CRYPT_STRING_BASE64HEADER, pem.data(), &size);
    pem.resize(size);
    return pem;
}

std::string UniqueName(const char* what) {
    return std::string("Corvanta Testbed ") + what + " " + std::to_string(::GetCurrentProcessId()) + "-" +
           std::to_string(::GetTickCount64());
}

// Removes the test's certificate from Root however the test ends.
class RootCleanup {
public:
    explicit RootCleanup(std::string subject) : subject_(std::move(subject)) {}
    ~RootCleanup() { certs::RemoveFromRoot(subject_); }
    RootCleanup(const RootCleanup&) = delete;
    RootCleanup& operator=(const RootCleanup&) = delete;

private:
    std::string subject_;
};

class CertificateFile : public testing::Test {
protected:
    void SetUp() override {
        der = MakeSelfSigned(UniqueName("Decode"));
        ASSERT_FALSE(der.empty()) << "CertCreateSelfSignCertificate failed: " << ::GetLastError();
    }
    certs::Bytes der;
};

TEST_F(CertificateFile, PemGivesTheDerBytes) {
    EXPECT_EQ(certs::DecodeCertificate(ToPem(der)), der);
}

TEST_F(CertificateFile, PemWithUnixLineEndsAndTextBeforeTheBlockGivesTheDerBytes) {
    std::string pem = ToPem(der);
    std::string unix;
    for (char c : pem)
        if (c != '\r') unix += c;
    EXPECT_EQ(certs::DecodeCertificate("subject=CN = something\nissuer=CN = something\n" + unix), der);
}

TEST_F(CertificateFile, DerIsTakenAsItIs) {
    EXPECT_EQ(certs::DecodeCertificate(std::string(der.begin(), der.end())), der);
}

TEST_F(CertificateFile, AnythingElseIsRefused) {
    EXPECT_TRUE(certs::DecodeCertificate("").empty());
    EXPECT_TRUE(certs::DecodeCertificate("not a certificate at all").empty());
    EXPECT_TRUE(certs::DecodeCertificate("-----BEGIN CERTIFICATE-----\n!!!!\n-----END CERTIFICATE-----\n").empty());
    std::string cut(der.begin(), der.begin() + static_cast<long>(der.size() / 2));
    EXPECT_TRUE(certs::DecodeCertificate(cut).empty());
}

TEST(RootStore, AddsACertificateOnceFindsItAndRemovesIt) {
    const std::string subject = UniqueName("Round Trip");
    const certs::Bytes der = MakeSelfSigned(subject);
    ASSERT_FALSE(der.empty());
    RootCleanup cleanup(subject);
    EXPECT_FALSE(certs::RootContains(der));

    DWORD error = 0;
    ASSERT_EQ(certs::AddToRoot(der, error), certs::AddResult::Added) << std::hex << error;
    EXPECT_EQ(certs::AddToRoot(der, error), certs::AddResult::AlreadyPresent);
    EXPECT_TRUE(certs::RootContains(der));

    // Found by any part of its subject, whatever the case, and only once.
    const auto found = certs::FindInRoot(subject.substr(10));
    ASSERT_EQ(found.size(), 1u);
    EXPECT_NE(found[0].subject.find("CN=" + subject), std::string::npos) << found[0].subject;
    EXPECT_EQ(found[0].thumbprint.size(), 40u);
    std::string upper = subject;
    for (char& c : upper) c = static_cast<char>(::toupper(static_cast<unsigned char>(c)));
    EXPECT_EQ(certs::FindInRoot(upper).size(), 1u);

    EXPECT_EQ(certs::RemoveFromRoot(subject), 1);
    EXPECT_FALSE(certs::RootContains(der));
    EXPECT_TRUE(certs::FindInRoot(subject).empty());
    EXPECT_EQ(certs::RemoveFromRoot(subject), 0);
}

TEST(RootStore, AGarbageCertificateIsNotAdded) {
    DWORD error = 0;
    EXPECT_EQ(certs::AddToRoot(certs::Bytes{0x30, 0x03, 0x01, 0x01, 0x00}, error), certs::AddResult::Failed);
    EXPECT_NE(error, 0u);
    EXPECT_EQ(certs::AddToRoot(certs::Bytes{}, error), certs::AddResult::Failed);
}

TEST(RootStore, RemovingNeedsASubjectText) {
    EXPECT_EQ(certs::RemoveFromRoot(""), 0);
    EXPECT_FALSE(certs::FindInRoot("").empty());  // Root is never empty on a working machine
}

// The machine's start installs the test root at every start; it must be there exactly once.
TEST(TestMachineRoot, HoldsTheTestRootCaExactlyOnce) {
    const auto found = certs::FindInRoot("CN=Corvanta Testbed Root CA");
    EXPECT_EQ(found.size(), 1u);
    EXPECT_TRUE(certs::FindInRoot("Corvanta Testbed Untrusted CA").empty());
}

}  // namespace
