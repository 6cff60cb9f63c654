// The data directory holds password hashes and a private key: the directory is 0700 and every
// file in it 0600, whatever the umask, for a directory the sandbox makes and for one an earlier
// version left open; a directory or file of another user is refused rather than taken over.
#include "sandbox/data_directory.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "sandbox_process.h"
#include "scratch_directory.h"
#include "send_load.h"

namespace vexa::sandbox {
namespace {

unsigned ModeOf(const std::filesystem::path& path) {
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0) return 0;
    return status.st_mode & 07777;
}

// Every entry of the directory with its mode, where that is not `expected`.
std::string FilesNotOfMode(const std::filesystem::path& dir, unsigned expected) {
    std::string found;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        if (ModeOf(entry.path()) != expected) {
            char mode[8];
            std::snprintf(mode, sizeof mode, "%04o", ModeOf(entry.path()));
            found += entry.path().filename().string() + " " + mode + "\n";
        }
    }
    return found;
}

// The mask that would leave new files readable by everyone, as most users have it.
class OpenUmask {
public:
    OpenUmask() : saved_(::umask(022)) {}
    ~OpenUmask() { ::umask(saved_); }
    OpenUmask(const OpenUmask&) = delete;
    OpenUmask& operator=(const OpenUmask&) = delete;

private:
    mode_t saved_;
};

class DataDirectoryTest : public testing::Test {
protected:
    OpenUmask umask_;
    vexa::test::ScratchDirectory scratch_;
    const std::filesystem::path dir_ = scratch_.Path() / "data";
};

TEST_F(DataDirectoryTest, EveryFileIsPrivateAfterAStartAndAfterSends) {
    vexa::test::SandboxProcess process(VEXA_SANDBOX_PATH, dir_,
                                       vexa::test::SandboxLaunch{{"--account", "kim:secret:1000"}, {}, {}});
    ASSERT_TRUE(process.Up()) << process.Output();
    EXPECT_EQ(ModeOf(dir_), 0700u);
    EXPECT_EQ(FilesNotOfMode(dir_, 0600), "");
    for (const char* file : {"sandbox.db", "sandbox.db-wal", "sandbox.db-shm", "cert.pem", "key.pem",
                             "sandbox.lock", "endpoints", "ports"}) {
        EXPECT_TRUE(std::filesystem::exists(dir_ / file)) << file;
    }

    const test::LoadPlan plan{.httpsPort = process.HttpsPort(),
                              .certificate = process.Certificate(),
                              .user = "kim",
                              .password = "secret",
                              .senders = 2,
                              .sendsEach = 10};
    const test::SendLoad::Outcome outcome = test::SendLoad(plan).Finish();
    EXPECT_EQ(outcome.failures, 0) << outcome.firstFailure;
    EXPECT_EQ(FilesNotOfMode(dir_, 0600), "");
    process.Stop();
    EXPECT_EQ(process.ExitCode(), 0);
    EXPECT_EQ(ModeOf(dir_), 0700u);
    EXPECT_EQ(FilesNotOfMode(dir_, 0600), "");
}

TEST_F(DataDirectoryTest, AnOpenDirectoryAndItsFilesAreTightenedOnStart) {
    std::filesystem::create_directories(dir_);
    std::filesystem::permissions(
        dir_, std::filesystem::perms::owner_all | std::filesystem::perms::group_read |
                  std::filesystem::perms::group_exec | std::filesystem::perms::others_read |
                  std::filesystem::perms::others_exec);
    for (const char* file : {"sandbox.db", "sandbox.db-wal", "key.pem", "ports", "notes.txt"}) {
        std::ofstream(dir_ / file) << "";
        std::filesystem::permissions(dir_ / file, std::filesystem::perms::all);
    }
    std::filesystem::create_directory(dir_ / "backups");
    const std::filesystem::path outside = scratch_.Path() / "outside";
    std::ofstream(outside) << "";
    std::filesystem::permissions(
        outside, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                     std::filesystem::perms::group_read | std::filesystem::perms::others_read);
    std::filesystem::create_symlink(outside, dir_ / "link");

    const DataDirectory directory(dir_);
    EXPECT_EQ(ModeOf(dir_), 0700u);
    for (const char* file :
         {"sandbox.db", "sandbox.db-wal", "key.pem", "ports", "notes.txt", "sandbox.lock"}) {
        EXPECT_EQ(ModeOf(dir_ / file), 0600u) << file;
    }
    // Not files of the sandbox: neither followed nor changed.
    EXPECT_EQ(ModeOf(dir_ / "backups"), 0755u);
    EXPECT_EQ(ModeOf(outside), 0644u);
}

// Needs root, who alone can give a file away.
TEST_F(DataDirectoryTest, ADirectoryOrFileOfAnotherUserIsRefused) {
    if (::geteuid() != 0) GTEST_SKIP() << "only root can make a file of another user";
    constexpr uid_t kNobody = 65534;
    std::filesystem::create_directories(dir_);
    ASSERT_EQ(::chown(dir_.c_str(), kNobody, kNobody), 0);
    try {
        const DataDirectory directory(dir_);
        ADD_FAILURE() << "a directory of another user was taken";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("belongs to user 65534"), std::string::npos) << e.what();
    }

    ASSERT_EQ(::chown(dir_.c_str(), 0, 0), 0);
    std::ofstream(dir_ / "sandbox.db") << "";
    ASSERT_EQ(::chown((dir_ / "sandbox.db").c_str(), kNobody, kNobody), 0);
    EXPECT_THROW(const DataDirectory directory(dir_), std::runtime_error);
}

}  // namespace
}  // namespace vexa::sandbox
