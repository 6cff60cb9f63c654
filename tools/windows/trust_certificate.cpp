// Adds a PEM certificate to the LocalMachine and CurrentUser "Root" stores of the Windows system it
// runs on (on Windows itself the user's store asks for a confirmation). Under Wine both live in the
// prefix's registry, so a test trusts its own server's certificate for that prefix alone and leaves
// the Linux system's trust untouched.
//   trust_certificate.exe CERT.pem
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace {

struct StoreCloser {
    void operator()(HCERTSTORE store) const { CertCloseStore(store, 0); }
};
using Store = std::unique_ptr<void, StoreCloser>;

bool ReadFile(const wchar_t* path, std::string& text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

// The DER bytes of the first certificate of a PEM text.
bool DecodePem(const std::string& pem, std::vector<BYTE>& der) {
    DWORD size = 0;
    const auto length = static_cast<DWORD>(pem.size());
    if (!CryptStringToBinaryA(pem.data(), length, CRYPT_STRING_BASE64HEADER, nullptr, &size, nullptr,
                              nullptr))
        return false;
    der.resize(size);
    return CryptStringToBinaryA(pem.data(), length, CRYPT_STRING_BASE64HEADER, der.data(), &size, nullptr,
                                nullptr) != FALSE;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: trust_certificate CERT.pem\n");
        return 2;
    }
    std::string pem;
    std::vector<BYTE> der;
    if (!ReadFile(argv[1], pem) || !DecodePem(pem, der)) {
        std::fprintf(stderr, "trust_certificate: no PEM certificate in %ls\n", argv[1]);
        return 1;
    }
    // The machine's store, and the user's too: Wine 8 re-syncs the machine's Root store with the
    // host's certificates from other processes at times of its own and drops what it did not
    // import itself, which the user's store is spared.
    for (const DWORD location : {CERT_SYSTEM_STORE_LOCAL_MACHINE, CERT_SYSTEM_STORE_CURRENT_USER}) {
        const Store root(CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, location, L"Root"));
        if (!root) {
            std::fprintf(stderr, "trust_certificate: cannot open a Root store (error %lu)\n", GetLastError());
            return 1;
        }
        if (!CertAddEncodedCertificateToStore(root.get(), X509_ASN_ENCODING, der.data(),
                                              static_cast<DWORD>(der.size()), CERT_STORE_ADD_REPLACE_EXISTING,
                                              nullptr)) {
            std::fprintf(stderr, "trust_certificate: the store refused the certificate (error 0x%08lx)\n",
                         GetLastError());
            return 1;
        }
    }
    return 0;
}
