#include "sandbox/certificate.h"

#include <cstdint>
#include <fcntl.h>
#include <memory>
#include <openssl/asn1.h>
#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#include <stdexcept>

#include "platform/c_handle.h"
#include "platform/unique_fd.h"
#include "sandbox/private_file.h"

namespace vexa::sandbox {

namespace {

using KeyPtr = CHandle<EVP_PKEY, EVP_PKEY_free>;
using CertificatePtr = CHandle<X509, X509_free>;
using ExtensionPtr = CHandle<X509_EXTENSION, X509_EXTENSION_free>;
using BioPtr = CHandle<BIO, BIO_free_all>;

void Check(bool ok, const char* what) {
    if (ok) return;
    ERR_clear_error();
    throw std::runtime_error(std::string("certificate: ") + what);
}

void AddExtension(X509* certificate, int nid, const std::string& value) {
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, certificate, certificate, nullptr, nullptr, 0);
    ExtensionPtr extension(X509V3_EXT_conf_nid(nullptr, &context, nid, value.c_str()));
    Check(extension && X509_add_ext(certificate, extension.get(), -1) == 1, "extension");
}

template <class Write>
void WritePem(BioPtr bio, Write write) {
    Check(bio && write(bio.get()) == 1 && BIO_flush(bio.get()) == 1, "writing a PEM file");
}

// A PEM file only its owner may read, also when it existed before with wider permissions.
BioPtr OpenPemFile(const std::filesystem::path& file) {
    UniqueFd fd = OpenPrivateFile(file, O_WRONLY | O_CREAT | O_TRUNC);
    BioPtr bio(BIO_new_fd(fd.Get(), BIO_CLOSE));
    // The BIO owns the descriptor from here on.
    if (bio) (void)fd.Release();
    return bio;
}

CertificatePtr ReadCertificate(const std::filesystem::path& file) {
    BioPtr bio(BIO_new_file(file.c_str(), "r"));
    CertificatePtr certificate(bio ? PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr) : nullptr);
    ERR_clear_error();
    return certificate;
}

KeyPtr ReadPrivateKey(const std::filesystem::path& file) {
    BioPtr bio(BIO_new_file(file.c_str(), "r"));
    KeyPtr key(bio ? PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr) : nullptr);
    ERR_clear_error();
    return key;
}

}  // namespace

void WriteSelfSignedCertificate(const CertificateFiles& files, const CertificateSubject& subject) {
    KeyPtr key(EVP_EC_gen("P-256"));
    Check(key != nullptr, "key generation");

    CertificatePtr certificate(X509_new());
    Check(certificate != nullptr, "certificate");
    X509* cert = certificate.get();
    uint64_t serial = 0;
    Check(RAND_bytes(reinterpret_cast<unsigned char*>(&serial), sizeof serial) == 1, "serial number");
    Check(X509_set_version(cert, X509_VERSION_3) == 1 &&
              ASN1_INTEGER_set_uint64(X509_get_serialNumber(cert), serial >> 1) == 1 &&
              X509_gmtime_adj(X509_getm_notBefore(cert), -3600) != nullptr &&
              X509_gmtime_adj(X509_getm_notAfter(cert), static_cast<long>(subject.lifetime.count())) !=
                  nullptr &&
              X509_set_pubkey(cert, key.get()) == 1,
          "certificate fields");
    X509_NAME* name = X509_get_subject_name(cert);
    Check(X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                                     reinterpret_cast<const unsigned char*>(subject.commonName.c_str()), -1,
                                     -1, 0) == 1 &&
              X509_set_issuer_name(cert, name) == 1,
          "subject");
    AddExtension(cert, NID_basic_constraints, "critical,CA:TRUE");
    AddExtension(cert, NID_subject_key_identifier, "hash");
    if (!subject.alternativeNames.empty()) {
        std::string alternatives;
        for (const std::string& entry : subject.alternativeNames) {
            alternatives += (alternatives.empty() ? "" : ",") + entry;
        }
        AddExtension(cert, NID_subject_alt_name, alternatives);
    }
    Check(X509_sign(cert, key.get(), EVP_sha256()) > 0, "signing");

    WritePem(OpenPemFile(files.certificate), [&](BIO* bio) { return PEM_write_bio_X509(bio, cert); });
    WritePem(OpenPemFile(files.privateKey), [&](BIO* bio) {
        return PEM_write_bio_PrivateKey(bio, key.get(), nullptr, nullptr, 0, nullptr, nullptr);
    });
}

CertificateFiles WriteTestCertificate(const std::filesystem::path& directory,
                                      const std::vector<std::string>& names) {
    CertificateFiles files{directory / "certificate.pem", directory / "key.pem"};
    WriteSelfSignedCertificate(files, {"Vexa test server", names, std::chrono::hours(24)});
    return files;
}

CertificateFiles EnsureSandboxCertificate(const std::filesystem::path& dataDir) {
    const CertificateFiles files{dataDir / "cert.pem", dataDir / "key.pem"};
    if (std::filesystem::exists(files.certificate) && std::filesystem::exists(files.privateKey)) {
        const CertificatePtr certificate = ReadCertificate(files.certificate);
        const KeyPtr key = ReadPrivateKey(files.privateKey);
        if (!certificate || !key || X509_check_private_key(certificate.get(), key.get()) != 1) {
            ERR_clear_error();
            throw std::runtime_error(
                "certificate: " + files.certificate.string() + " and " + files.privateKey.string() +
                " cannot be read or do not belong together; remove both to get new ones");
        }
        // Still valid: keep it, since clients may trust exactly this certificate.
        if (X509_cmp_current_time(X509_get0_notAfter(certificate.get())) > 0) {
            std::filesystem::permissions(files.privateKey, kPrivateFileMode);
            return files;
        }
    }
    constexpr std::chrono::hours kTenYears(24 * 3653);
    WriteSelfSignedCertificate(files, {"vexa-sandbox", kLoopbackNames, kTenYears});
    return files;
}

}  // namespace vexa::sandbox
