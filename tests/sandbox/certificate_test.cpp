// The certificates: the sandbox's own is made once and kept; test servers get throw-away ones.
#include "sandbox/certificate.h"

#include <fstream>
#include <gtest/gtest.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#include <sys/stat.h>

#include "sandbox_fixture.h"

namespace vexa::sandbox {
namespace {

std::string Contents(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

mode_t ModeOf(const std::filesystem::path& file) {
    struct stat info {};
    EXPECT_EQ(::stat(file.c_str(), &info), 0);
    return info.st_mode & 0777;
}

// Whether the certificate in `file` is valid for that IP address or DNS name.
bool Names(const std::filesystem::path& file, const char* ip, const char* host) {
    BIO* bio = BIO_new_file(file.c_str(), "r");
    X509* cert = bio ? PEM_read_bio_X509(bio, nullptr, nullptr, nullptr) : nullptr;
    BIO_free(bio);
    const bool named =
        cert && X509_check_ip_asc(cert, ip, 0) == 1 && X509_check_host(cert, host, 0, 0, nullptr) == 1;
    X509_free(cert);
    return named;
}

TEST(CertificateTest, TestCertificatesNameLoopbackAndKeepTheKeyPrivate) {
    test::ScratchDirectory dir;
    const CertificateFiles files = WriteTestCertificate(dir.Path());
    EXPECT_EQ(files.certificate, dir.Path() / "certificate.pem");
    EXPECT_EQ(files.privateKey, dir.Path() / "key.pem");
    EXPECT_TRUE(Names(files.certificate, "127.0.0.1", "localhost"));
    EXPECT_EQ(ModeOf(files.privateKey), 0600u);
    EXPECT_NE(Contents(files.privateKey).find("PRIVATE KEY"), std::string::npos);

    const CertificateFiles other = WriteTestCertificate(dir.Path(), {"DNS:example.test"});
    EXPECT_FALSE(Names(other.certificate, "127.0.0.1", "example.test"));
}

TEST(CertificateTest, TheSandboxsCertificateIsMadeOnceAndKept) {
    test::ScratchDirectory dir;
    const CertificateFiles made = EnsureSandboxCertificate(dir.Path());
    EXPECT_EQ(made.certificate, dir.Path() / "cert.pem");
    EXPECT_EQ(made.privateKey, dir.Path() / "key.pem");
    EXPECT_TRUE(Names(made.certificate, "127.0.0.1", "localhost"));
    EXPECT_EQ(ModeOf(made.privateKey), 0600u);
    const std::string certificate = Contents(made.certificate);

    std::filesystem::permissions(made.privateKey, std::filesystem::perms::all);
    EnsureSandboxCertificate(dir.Path());
    EXPECT_EQ(Contents(made.certificate), certificate);
    EXPECT_EQ(ModeOf(made.privateKey), 0600u);

    // Without its key the certificate is of no use: both are made anew.
    std::filesystem::remove(made.privateKey);
    EnsureSandboxCertificate(dir.Path());
    EXPECT_NE(Contents(made.certificate), certificate);
}

TEST(CertificateTest, AnExpiredCertificateIsReplacedAndABrokenOneRefused) {
    test::ScratchDirectory dir;
    const CertificateFiles files{dir.Path() / "cert.pem", dir.Path() / "key.pem"};
    WriteSelfSignedCertificate(files, {"old", kLoopbackNames, std::chrono::hours(-2)});
    const std::string expired = Contents(files.certificate);
    EnsureSandboxCertificate(dir.Path());
    EXPECT_NE(Contents(files.certificate), expired);

    // A key of another certificate.
    WriteSelfSignedCertificate({dir.Path() / "other.pem", dir.Path() / "other-key.pem"}, {"other", {}, {}});
    std::filesystem::copy_file(dir.Path() / "other-key.pem", files.privateKey,
                               std::filesystem::copy_options::overwrite_existing);
    EXPECT_THROW(EnsureSandboxCertificate(dir.Path()), std::runtime_error);
    std::ofstream(files.certificate) << "not a certificate";
    EXPECT_THROW(EnsureSandboxCertificate(dir.Path()), std::runtime_error);
}

}  // namespace
}  // namespace vexa::sandbox
