#include "test_certificate.h"

#include <cstdint>
#include <memory>
#include <openssl/asn1.h>
#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#include <stdexcept>

namespace vexa::test {

namespace {

template <auto Free>
struct Deleter {
    template <class T>
    void operator()(T* p) const {
        Free(p);
    }
};
using KeyPtr = std::unique_ptr<EVP_PKEY, Deleter<EVP_PKEY_free>>;
using CertificatePtr = std::unique_ptr<X509, Deleter<X509_free>>;
using ExtensionPtr = std::unique_ptr<X509_EXTENSION, Deleter<X509_EXTENSION_free>>;
using BioPtr = std::unique_ptr<BIO, Deleter<BIO_free_all>>;

void Check(bool ok, const char* what) {
    if (!ok) throw std::runtime_error(std::string("test certificate: ") + what);
}

void AddExtension(X509* certificate, int nid, const std::string& value) {
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, certificate, certificate, nullptr, nullptr, 0);
    ExtensionPtr extension(X509V3_EXT_conf_nid(nullptr, &context, nid, value.c_str()));
    Check(extension && X509_add_ext(certificate, extension.get(), -1) == 1, "extension");
}

template <class Write>
void WritePem(const std::filesystem::path& file, Write write) {
    BioPtr bio(BIO_new_file(file.c_str(), "w"));
    Check(bio && write(bio.get()) == 1, "writing a PEM file");
}

}  // namespace

CertificateFiles WriteTestCertificate(const std::filesystem::path& directory,
                                      const std::vector<std::string>& names) {
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
              X509_gmtime_adj(X509_getm_notAfter(cert), 24 * 3600) != nullptr &&
              X509_set_pubkey(cert, key.get()) == 1,
          "certificate fields");
    X509_NAME* subject = X509_get_subject_name(cert);
    Check(X509_NAME_add_entry_by_txt(subject, "CN", MBSTRING_ASC,
                                     reinterpret_cast<const unsigned char*>("Vexa test server"), -1, -1,
                                     0) == 1 &&
              X509_set_issuer_name(cert, subject) == 1,
          "subject");
    AddExtension(cert, NID_basic_constraints, "critical,CA:TRUE");
    AddExtension(cert, NID_subject_key_identifier, "hash");
    if (!names.empty()) {
        std::string alternatives;
        for (const std::string& name : names) alternatives += (alternatives.empty() ? "" : ",") + name;
        AddExtension(cert, NID_subject_alt_name, alternatives);
    }
    Check(X509_sign(cert, key.get(), EVP_sha256()) > 0, "signing");

    CertificateFiles files{directory / "certificate.pem", directory / "key.pem"};
    WritePem(files.certificate, [&](BIO* bio) { return PEM_write_bio_X509(bio, cert); });
    WritePem(files.privateKey, [&](BIO* bio) {
        return PEM_write_bio_PrivateKey(bio, key.get(), nullptr, nullptr, 0, nullptr, nullptr);
    });
    return files;
}

}  // namespace vexa::test
