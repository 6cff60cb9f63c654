// Self-signed TLS certificates: the sandbox's own, kept in its data directory, and throw-away
// ones for the servers that tests start on loopback.
#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace vexa::sandbox {

struct CertificateFiles {
    std::filesystem::path certificate;  // PEM: the certificate alone, fit to be trusted by a client
    std::filesystem::path privateKey;   // PEM: its private key, readable by its owner only
};

struct CertificateSubject {
    std::string commonName;
    // subjectAltName entries such as "IP:127.0.0.1" and "DNS:localhost"; none when empty.
    std::vector<std::string> alternativeNames;
    // Valid from an hour before it is made (clocks drift) for this long.
    std::chrono::seconds lifetime{24 * 3600};
};

// The names a loopback server answers to.
inline const std::vector<std::string> kLoopbackNames = {"IP:127.0.0.1", "DNS:localhost"};

// Makes an EC P-256 key and a self-signed CA certificate for it (SHA-256) and writes both, each
// with mode 0600 (the certificate is public, but it lies among private files). Throws std::runtime_error when
// OpenSSL or the file system fails.
void WriteSelfSignedCertificate(const CertificateFiles& files, const CertificateSubject& subject);

// certificate.pem and key.pem in `directory`, named "Vexa test server" and valid for a day.
CertificateFiles WriteTestCertificate(const std::filesystem::path& directory,
                                      const std::vector<std::string>& names = kLoopbackNames);

// The sandbox's certificate: cert.pem and key.pem in `dataDir`, made when either is missing or
// the certificate has expired, otherwise reused as they are (clients may have been told to trust
// it). Throws when the files exist but cannot be read or do not belong together.
CertificateFiles EnsureSandboxCertificate(const std::filesystem::path& dataDir);

}  // namespace vexa::sandbox
