#include "registry/registry_store.h"

#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <iterator>
#include <optional>
#include <pwd.h>
#include <set>
#include <sstream>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "child_process.h"
#include "platform/unique_fd.h"
#include "scoped_env.h"
#include "scratch_directory.h"

namespace vexa {
namespace {

namespace fs = std::filesystem;

constexpr HRESULT kPathNotFound = static_cast<HRESULT>(0x80070003);

using ScopedEnvironment = test::ScopedEnv;

std::string ReadBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const fs::path& file, std::string_view bytes) {
    std::ofstream(file, std::ios::binary) << bytes;
}

std::set<std::string> Listing(const fs::path& directory) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(directory))
        names.insert(entry.path().filename().string());
    return names;
}

using test::InChildProcess;

HRESULT AddKey(const fs::path& file, std::string path) {
    return UpdateRegistry(file, [&](RegistryFile& registry) {
        registry.SetDefault(path, path);
        return S_OK;
    });
}

TEST(RegistryStoreTest, ThePerUserFileFollowsXdgDataHomeThenHomeThenThePasswdEntry) {
    const passwd* entry = getpwuid(geteuid());
    ASSERT_NE(entry, nullptr);
    const fs::path passwdHome = entry->pw_dir;
    struct Case {
        const char* dataHome;  // nullptr: unset
        const char* home;
        fs::path expected;
    };
    const Case cases[] = {
        {"/xdg/data", "/home/u", "/xdg/data/vexa/registry.reg"},
        {"/xdg/data/", nullptr, "/xdg/data/vexa/registry.reg"},
        {"relative/data", "/home/u", "/home/u/.local/share/vexa/registry.reg"},
        {"", "/home/u", "/home/u/.local/share/vexa/registry.reg"},
        {nullptr, "/home/u", "/home/u/.local/share/vexa/registry.reg"},
        {nullptr, nullptr, passwdHome / ".local/share/vexa/registry.reg"},
        {nullptr, "", passwdHome / ".local/share/vexa/registry.reg"},
        {"relative", "relative/home", passwdHome / ".local/share/vexa/registry.reg"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << (c.dataHome ? c.dataHome : "(unset)") << ", " << (c.home ? c.home : "(unset)"));
        const ScopedEnvironment dataHome("XDG_DATA_HOME", c.dataHome);
        const ScopedEnvironment home("HOME", c.home);
        EXPECT_EQ(RegistryPath(RegistryScope::kUser).lexically_normal(), c.expected);
        EXPECT_EQ(RegistryPath(RegistryScope::kMachine), "/etc/vexa/registry.reg");
    }
}

TEST(RegistryStoreTest, AMissingFileOrDirectoryReadsAsAnEmptyRegistry) {
    const test::ScratchDirectory scratch;
    for (const fs::path& file :
         {scratch.Path() / "registry.reg", scratch.Path() / "no" / "such" / "registry.reg"}) {
        RegistryFile registry;
        registry.SetDefault("A", "stale");
        EXPECT_EQ(ReadRegistry(file, registry), S_OK);
        EXPECT_TRUE(registry.Keys().empty());
    }
    EXPECT_TRUE(Listing(scratch.Path()).empty());  // reading makes nothing
}

TEST(RegistryStoreTest, UpdatesMakeTheDirectoryAndKeepWhatWasThere) {
    const test::ScratchDirectory scratch;
    const fs::path directory = scratch.Path() / "data" / "vexa";
    const fs::path file = directory / "registry.reg";
    ASSERT_EQ(AddKey(file, "HKEY_CLASSES_ROOT\\A"), S_OK);
    ASSERT_EQ(UpdateRegistry(file,
                             [](RegistryFile& registry) {
                                 EXPECT_NE(registry.Find("HKEY_CLASSES_ROOT\\A"), nullptr);
                                 registry.SetValue("HKEY_CLASSES_ROOT\\B", "N", "v");
                                 return S_FALSE;
                             }),
              S_OK);

    RegistryFile expected;
    expected.SetDefault("HKEY_CLASSES_ROOT\\A", "HKEY_CLASSES_ROOT\\A");
    expected.SetValue("HKEY_CLASSES_ROOT\\B", "N", "v");
    EXPECT_EQ(ReadBytes(file), expected.Serialize());
    RegistryFile read;
    ASSERT_EQ(ReadRegistry(file, read), S_OK);
    EXPECT_EQ(read.Serialize(), expected.Serialize());

    struct stat status {};
    ASSERT_EQ(stat(file.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0644u);
    // Only the registry and its lock: no temporary file is left behind.
    EXPECT_EQ(Listing(directory), (std::set<std::string>{"registry.reg", "registry.reg.lock"}));
}

TEST(RegistryStoreTest, ADamagedFileIsLeftAsItIsAndReported) {
    const test::ScratchDirectory scratch;
    const fs::path file = scratch.Path() / "registry.reg";
    const std::string damaged = "Windows Registry Editor Version 5.00\r\n\r\n[A]\r\n\"N\"=dword:00000001\r\n";
    WriteBytes(file, damaged);

    bool edited = false;
    EXPECT_EQ(UpdateRegistry(file,
                             [&](RegistryFile&) {
                                 edited = true;
                                 return S_OK;
                             }),
              kRegistryDamaged);
    EXPECT_FALSE(edited);
    EXPECT_EQ(ReadBytes(file), damaged);

    RegistryFile registry;
    registry.SetDefault("Kept", "as it was");
    EXPECT_EQ(ReadRegistry(file, registry), kRegistryDamaged);
    EXPECT_NE(registry.Find("Kept"), nullptr);
    EXPECT_EQ(Listing(scratch.Path()), (std::set<std::string>{"registry.reg", "registry.reg.lock"}));
}

TEST(RegistryStoreTest, AFailingEditWritesNothing) {
    const test::ScratchDirectory scratch;
    const fs::path file = scratch.Path() / "registry.reg";
    const auto failing = [](RegistryFile& registry) {
        registry.SetDefault("Half", "done");
        return E_ACCESSDENIED;
    };

    EXPECT_EQ(UpdateRegistry(file, failing), E_ACCESSDENIED);
    EXPECT_FALSE(fs::exists(file));

    ASSERT_EQ(AddKey(file, "A"), S_OK);
    const std::string before = ReadBytes(file);
    EXPECT_EQ(UpdateRegistry(file, failing), E_ACCESSDENIED);
    EXPECT_EQ(ReadBytes(file), before);
    EXPECT_EQ(Listing(scratch.Path()), (std::set<std::string>{"registry.reg", "registry.reg.lock"}));
}

TEST(RegistryStoreTest, FailuresOfTheFileSystemComeBackAsTheirHresults) {
    const test::ScratchDirectory scratch;
    WriteBytes(scratch.Path() / "plain", "not a directory");
    const fs::path underAFile = scratch.Path() / "plain" / "registry.reg";
    RegistryFile registry;
    EXPECT_EQ(ReadRegistry(underAFile, registry), kPathNotFound);
    EXPECT_EQ(AddKey(underAFile, "A"), kPathNotFound);

    // Somebody who may not write into the directories can neither make nor change the registry.
    // Run as root, the child drops to nobody, for whom the directories are closed anyway.
    const fs::path directory = scratch.Path() / "vexa";
    const fs::path readOnly = directory / "registry.reg";
    ASSERT_EQ(AddKey(readOnly, "A"), S_OK);
    ASSERT_EQ(chmod(directory.c_str(), 0500), 0);
    ASSERT_EQ(chmod(scratch.Path().c_str(), 0500), 0);
    EXPECT_EQ(InChildProcess([&] { return AddKey(scratch.Path() / "other" / "registry.reg", "A"); }, true),
              E_ACCESSDENIED);
    EXPECT_EQ(InChildProcess([&] { return AddKey(readOnly, "B"); }, true), E_ACCESSDENIED);
    EXPECT_EQ(chmod(scratch.Path().c_str(), 0700), 0);
    EXPECT_EQ(chmod(directory.c_str(), 0700), 0);
    EXPECT_EQ(ReadRegistry(readOnly, registry), S_OK);
    EXPECT_NE(registry.Find("A"), nullptr);
    EXPECT_EQ(registry.Find("B"), nullptr);
    EXPECT_EQ(Listing(directory), (std::set<std::string>{"registry.reg", "registry.reg.lock"}));
}

TEST(RegistryStoreTest, WritersAtTheSameTimeNeverLoseEachOthersKeys) {
    const test::ScratchDirectory scratch;
    const fs::path file = scratch.Path() / "vexa" / "registry.reg";
    constexpr int kWriters = 4;
    constexpr int kKeysEach = 25;

    std::vector<pid_t> children;
    for (int writer = 0; writer < kWriters; ++writer) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            bool ok = true;
            for (int key = 0; key < kKeysEach; ++key)
                ok = ok && AddKey(file, "W" + std::to_string(writer) + "\\K" + std::to_string(key)) == S_OK;
            _exit(ok ? 0 : 1);
        }
        children.push_back(child);
    }
    for (const pid_t child : children) {
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }

    RegistryFile registry;
    ASSERT_EQ(ReadRegistry(file, registry), S_OK);
    EXPECT_EQ(registry.Keys().size(), size_t{kWriters * kKeysEach});
    for (int writer = 0; writer < kWriters; ++writer) {
        for (int key = 0; key < kKeysEach; ++key) {
            const std::string path = "W" + std::to_string(writer) + "\\K" + std::to_string(key);
            EXPECT_NE(registry.Find(path), nullptr) << path;
        }
    }
    EXPECT_EQ(Listing(file.parent_path()), (std::set<std::string>{"registry.reg", "registry.reg.lock"}));
}

TEST(RegistryStoreTest, AnEditThatLeavesNoValueRemovesTheFileAndItsLock) {
    struct Case {
        const char* name;
        std::function<void(RegistryFile&)> edit;
        bool kept;
    };
    const Case kCases[] = {
        {"every key removed", [](RegistryFile& r) { r = RegistryFile(); }, false},
        {"bare keys left",
         [](RegistryFile& r) {
             r.RemoveTree("A\\Value");
             r.RemoveTree("B");
             r.Ensure("A");
         },
         false},
        {"a default value left", [](RegistryFile& r) { r.RemoveTree("B"); }, true},
        {"a named value left",
         [](RegistryFile& r) {
             r = RegistryFile();
             r.SetValue("C", "name", "value");
         },
         true},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        const test::ScratchDirectory scratch;
        const fs::path file = scratch.Path() / "registry.reg";
        ASSERT_EQ(AddKey(file, "A\\Value"), S_OK);
        ASSERT_EQ(AddKey(file, "B"), S_OK);
        EXPECT_EQ(UpdateRegistry(file,
                                 [&](RegistryFile& registry) {
                                     c.edit(registry);
                                     return S_OK;
                                 }),
                  S_OK);
        const std::set<std::string> kept = {"registry.reg", "registry.reg.lock"};
        EXPECT_EQ(Listing(scratch.Path()), c.kept ? kept : std::set<std::string>{});
    }
}

// Whether somebody waits in flock for the file with this inode, as /proc/locks tells
// ("1: -> FLOCK  ADVISORY  WRITE 4242 fe:00:1234 0 EOF").
bool SomebodyWaitsFor(ino_t inode) {
    std::ifstream locks("/proc/locks");
    const std::string device_inode_end = ":" + std::to_string(inode);
    for (std::string line; std::getline(locks, line);) {
        if (line.find(" -> ") == std::string::npos) continue;
        std::istringstream words(line);
        for (std::string word; words >> word;)
            if (word.ends_with(device_inode_end)) return true;
    }
    return false;
}

void WaitUntil(const std::function<bool()>& condition) {
    while (!condition()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

struct LockedFile {
    UniqueFd fd;
    ino_t inode = 0;
};

LockedFile LockExclusively(const fs::path& path) {
    LockedFile locked{UniqueFd(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644))};
    struct stat status {};
    EXPECT_TRUE(locked.fd.Valid());
    EXPECT_EQ(::flock(locked.fd.Get(), LOCK_EX), 0);
    EXPECT_EQ(::fstat(locked.fd.Get(), &status), 0);
    locked.inode = status.st_ino;
    return locked;
}

TEST(RegistryStoreTest, AWriterWaitingOnALockFileThatIsRemovedWaitsForItsSuccessor) {
    if (!fs::exists("/proc/locks")) GTEST_SKIP() << "no /proc/locks to see who waits";
    const test::ScratchDirectory scratch;
    const fs::path file = scratch.Path() / "registry.reg";
    const fs::path lockPath = scratch.Path() / "registry.reg.lock";

    // A writer at work holds the lock; another one opens the lock file and waits for it.
    LockedFile atWork = LockExclusively(lockPath);
    std::atomic<bool> edited = false;
    HRESULT waiterResult = E_UNEXPECTED;
    std::thread waiter([&] {
        waiterResult = UpdateRegistry(file, [&](RegistryFile& registry) {
            edited = true;
            registry.SetDefault("Waited", "yes");
            return S_OK;
        });
    });
    WaitUntil([&] { return SomebodyWaitsFor(atWork.inode); });

    // The writer at work empties the registry, removing the lock file; a newcomer makes a new one
    // and locks it before the waiter wakes.
    ASSERT_EQ(::unlink(lockPath.c_str()), 0);
    LockedFile newcomer = LockExclusively(lockPath);
    atWork.fd.Reset();
    WaitUntil([&] { return edited || SomebodyWaitsFor(newcomer.inode); });
    EXPECT_FALSE(edited) << "the waiter wrote while the newcomer held the lock";

    newcomer.fd.Reset();
    waiter.join();
    EXPECT_EQ(waiterResult, S_OK);
    RegistryFile registry;
    ASSERT_EQ(ReadRegistry(file, registry), S_OK);
    EXPECT_NE(registry.Find("Waited"), nullptr);
}

}  // namespace
}  // namespace vexa
