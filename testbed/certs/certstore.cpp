// certstore: the test machine's trusted roots from the command line.
//   certstore add <file>         add a PEM or DER certificate to LocalMachine\Root
//   certstore has <file>         exit 0 when that certificate is in Root, 3 when not
//   certstore list [subject]     one line per matching certificate: thumbprint, tab, subject
//   certstore remove <subject>   remove every certificate whose subject contains the text
// Exit codes: 0 done, 1 failure, 2 usage, 3 nothing matched.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "cert_store.h"

namespace {

constexpr int kDone = 0, kFailed = 1, kUsage = 2, kNoMatch = 3;

bool ReadCertificateFile(const char* path, certs::Bytes& der) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "certstore: cannot read %s\n", path);
        return false;
    }
    const std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    der = certs::DecodeCertificate(content);
    if (der.empty()) {
        std::fprintf(stderr, "certstore: %s holds no certificate\n", path);
        return false;
    }
    return true;
}

int Add(const char* path) {
    certs::Bytes der;
    if (!ReadCertificateFile(path, der)) return kFailed;
    DWORD error = 0;
    switch (certs::AddToRoot(der, error)) {
        case certs::AddResult::Added:
            std::printf("added %s\n", path);
            return kDone;
        case certs::AddResult::AlreadyPresent:
            std::printf("already present %s\n", path);
            return kDone;
        case certs::AddResult::Failed:
            break;
    }
    std::fprintf(stderr, "certstore: adding %s to LocalMachine\\Root failed (0x%08lX)\n", path,
                 static_cast<unsigned long>(error));
    return kFailed;
}

int Has(const char* path) {
    certs::Bytes der;
    if (!ReadCertificateFile(path, der)) return kFailed;
    return certs::RootContains(der) ? kDone : kNoMatch;
}

int List(const char* subject) {
    const auto found = certs::FindInRoot(subject);
    for (const auto& c : found) std::printf("%s\t%s\n", c.thumbprint.c_str(), c.subject.c_str());
    return found.empty() ? kNoMatch : kDone;
}

int Remove(const char* subject) {
    const int removed = certs::RemoveFromRoot(subject);
    if (removed < 0) {
        std::fprintf(stderr, "certstore: cannot open LocalMachine\\Root\n");
        return kFailed;
    }
    std::printf("removed %d\n", removed);
    return removed ? kDone : kNoMatch;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "add" && argc == 3) return Add(argv[2]);
    if (command == "has" && argc == 3) return Has(argv[2]);
    if (command == "list" && argc <= 3) return List(argc == 3 ? argv[2] : "");
    if (command == "remove" && argc == 3 && argv[2][0]) return Remove(argv[2]);
    std::fprintf(stderr, "usage: certstore add <file> | has <file> | list [subject] | remove <subject>\n");
    return kUsage;
}
