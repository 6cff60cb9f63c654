// A self-signed TLS certificate for servers that tests start on loopback.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace vexa::test {

struct CertificateFiles {
    std::filesystem::path certificate;  // PEM: the certificate alone, fit to be trusted by a client
    std::filesystem::path privateKey;   // PEM: its private key
};

// Makes an EC P-256 key and a certificate for it (self-signed, valid from an hour ago for a day)
// naming `names` as its subjectAltName entries ("IP:127.0.0.1", "DNS:localhost"), and writes both
// into `directory`. Throws std::runtime_error when OpenSSL or the file system fails.
CertificateFiles WriteTestCertificate(const std::filesystem::path& directory,
                                      const std::vector<std::string>& names = {"IP:127.0.0.1",
                                                                               "DNS:localhost"});

}  // namespace vexa::test
