// What registration writes into and removes from the registry, on a registry in memory and through
// the module's exported functions on a registry file.
#include "contract/registration.h"

#include <dlfcn.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <optional>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

#include "child_process.h"
#include "registry/registry_store.h"
#include "scratch_directory.h"
#include "vexa/VexaComponent.h"

namespace vexa {
namespace {

namespace fs = std::filesystem;

constexpr ClassRegistration kClasses[] = {
    {CLSID_Message, "VexaComponent.Message.1", "VexaComponent.Message", "Message Object"},
    {CLSID_SMS, "VexaComponent.SMS.1", "VexaComponent.SMS", "SMS Object"},
};

// Registration into an empty registry, in the order written. %MODULE% is the module's path,
// %MODULEDIR% its directory.
constexpr std::string_view kRegistered = R"(Windows Registry Editor Version 5.00

[HKEY_CLASSES_ROOT\AppID]

[HKEY_CLASSES_ROOT\AppID\{FF78F57D-91B0-4097-82A9-8FAAD218842F}]
@="VexaComponent"

[HKEY_CLASSES_ROOT\AppID\VexaComponent32.DLL]
"AppID"="{FF78F57D-91B0-4097-82A9-8FAAD218842F}"

[HKEY_CLASSES_ROOT\VexaComponent.Message.1]
@="Message Object"

[HKEY_CLASSES_ROOT\VexaComponent.Message.1\CLSID]
@="{E17CBD66-320E-4BBD-96EF-FA7DAB21974A}"

[HKEY_CLASSES_ROOT\VexaComponent.Message]
@="Message Object"

[HKEY_CLASSES_ROOT\VexaComponent.Message\CLSID]
@="{E17CBD66-320E-4BBD-96EF-FA7DAB21974A}"

[HKEY_CLASSES_ROOT\VexaComponent.Message\CurVer]
@="VexaComponent.Message.1"

[HKEY_CLASSES_ROOT\CLSID]

[HKEY_CLASSES_ROOT\CLSID\{E17CBD66-320E-4BBD-96EF-FA7DAB21974A}]
@="Message Object"
"AppID"="{FF78F57D-91B0-4097-82A9-8FAAD218842F}"

[HKEY_CLASSES_ROOT\CLSID\{E17CBD66-320E-4BBD-96EF-FA7DAB21974A}\ProgID]
@="VexaComponent.Message.1"

[HKEY_CLASSES_ROOT\CLSID\{E17CBD66-320E-4BBD-96EF-FA7DAB21974A}\VersionIndependentProgID]
@="VexaComponent.Message"

[HKEY_CLASSES_ROOT\CLSID\{E17CBD66-320E-4BBD-96EF-FA7DAB21974A}\Programmable]

[HKEY_CLASSES_ROOT\CLSID\{E17CBD66-320E-4BBD-96EF-FA7DAB21974A}\InprocServer32]
@="%MODULE%"
"ThreadingModel"="apartment"

[HKEY_CLASSES_ROOT\CLSID\{E17CBD66-320E-4BBD-96EF-FA7DAB21974A}\TypeLib]
@="{FF78F57D-91B0-4097-82A9-8FAAD218842F}"

[HKEY_CLASSES_ROOT\VexaComponent.SMS.1]
@="SMS Object"

[HKEY_CLASSES_ROOT\VexaComponent.SMS.1\CLSID]
@="{5009B528-A40B-4158-A5C3-20633C473278}"

[HKEY_CLASSES_ROOT\VexaComponent.SMS]
@="SMS Object"

[HKEY_CLASSES_ROOT\VexaComponent.SMS\CLSID]
@="{5009B528-A40B-4158-A5C3-20633C473278}"

[HKEY_CLASSES_ROOT\VexaComponent.SMS\CurVer]
@="VexaComponent.SMS.1"

[HKEY_CLASSES_ROOT\CLSID\{5009B528-A40B-4158-A5C3-20633C473278}]
@="SMS Object"
"AppID"="{FF78F57D-91B0-4097-82A9-8FAAD218842F}"

[HKEY_CLASSES_ROOT\CLSID\{5009B528-A40B-4158-A5C3-20633C473278}\ProgID]
@="VexaComponent.SMS.1"

[HKEY_CLASSES_ROOT\CLSID\{5009B528-A40B-4158-A5C3-20633C473278}\VersionIndependentProgID]
@="VexaComponent.SMS"

[HKEY_CLASSES_ROOT\CLSID\{5009B528-A40B-4158-A5C3-20633C473278}\Programmable]

[HKEY_CLASSES_ROOT\CLSID\{5009B528-A40B-4158-A5C3-20633C473278}\InprocServer32]
@="%MODULE%"
"ThreadingModel"="apartment"

[HKEY_CLASSES_ROOT\CLSID\{5009B528-A40B-4158-A5C3-20633C473278}\TypeLib]
@="{FF78F57D-91B0-4097-82A9-8FAAD218842F}"

[HKEY_CLASSES_ROOT\TypeLib]

[HKEY_CLASSES_ROOT\TypeLib\{FF78F57D-91B0-4097-82A9-8FAAD218842F}]

[HKEY_CLASSES_ROOT\TypeLib\{FF78F57D-91B0-4097-82A9-8FAAD218842F}\4.2]
@="VexaComponent 4.2 형식 라이브러리"

[HKEY_CLASSES_ROOT\TypeLib\{FF78F57D-91B0-4097-82A9-8FAAD218842F}\4.2\409]

[HKEY_CLASSES_ROOT\TypeLib\{FF78F57D-91B0-4097-82A9-8FAAD218842F}\4.2\409\win64]
@="%MODULE%"

[HKEY_CLASSES_ROOT\TypeLib\{FF78F57D-91B0-4097-82A9-8FAAD218842F}\4.2\FLAGS]
@="0"

[HKEY_CLASSES_ROOT\TypeLib\{FF78F57D-91B0-4097-82A9-8FAAD218842F}\4.2\HELPDIR]
@="%MODULEDIR%"
)";

// What registering and unregistering leave: the roots other modules share.
constexpr std::string_view kRoots = R"(Windows Registry Editor Version 5.00
[HKEY_CLASSES_ROOT\AppID]
[HKEY_CLASSES_ROOT\CLSID]
[HKEY_CLASSES_ROOT\TypeLib]
)";

RegistryFile Parsed(std::string_view text) {
    std::string error;
    std::optional<RegistryFile> file = RegistryFile::Parse(text, &error);
    EXPECT_TRUE(file) << error;
    return file ? std::move(*file) : RegistryFile();
}

std::string Replaced(std::string text, std::string_view placeholder, std::string_view value) {
    for (size_t at = text.find(placeholder); at != std::string::npos;
         at = text.find(placeholder, at + value.size()))
        text.replace(at, placeholder.size(), value);
    return text;
}

// The registration of the module at modulePath, serialized.
std::string Expected(const std::string& modulePath) {
    const std::string text =
        Replaced(std::string(kRegistered), "%MODULEDIR%", fs::path(modulePath).parent_path().string());
    return Parsed(Replaced(text, "%MODULE%", modulePath)).Serialize();
}

std::string Registered(RegistryFile registry, const std::string& modulePath) {
    EXPECT_EQ(RegisterModule(registry, modulePath, kClasses), S_OK);
    return registry.Serialize();
}

TEST(RegistrationTest, GuidsAreWrittenInUpperCaseInBraces) {
    EXPECT_EQ(GuidText(CLSID_Message), "{E17CBD66-320E-4BBD-96EF-FA7DAB21974A}");
    EXPECT_EQ(GuidText(GuidFromString("0a0b6edf-00dd-0030-0DB0-00000000000f")),
              "{0A0B6EDF-00DD-0030-0DB0-00000000000F}");
}

TEST(RegistrationTest, WritesTheAppIdTheClassesAndTheTypeLibrary) {
    EXPECT_EQ(Registered(RegistryFile(), "/opt/vexa/lib/VexaComponent32.so"),
              Expected("/opt/vexa/lib/VexaComponent32.so"));
    // A module at the top of the tree keeps its help directory.
    const RegistryFile atTop = Parsed(Registered(RegistryFile(), "/VexaComponent32.so"));
    const RegistryKey* helpDir =
        atTop.Find("HKEY_CLASSES_ROOT\\TypeLib\\{FF78F57D-91B0-4097-82A9-8FAAD218842F}\\4.2\\HELPDIR");
    ASSERT_NE(helpDir, nullptr);
    EXPECT_EQ(helpDir->defaultValue, "/");
}

TEST(RegistrationTest, RegisteringAgainFromElsewhereLeavesOnlyTheNewPath) {
    RegistryFile registry;
    ASSERT_EQ(RegisterModule(registry, "/old/place/VexaComponent32.so", kClasses), S_OK);
    ASSERT_EQ(RegisterModule(registry, "/new/place/VexaComponent32.so", kClasses), S_OK);
    EXPECT_EQ(registry.Serialize(), Expected("/new/place/VexaComponent32.so"));
}

TEST(RegistrationTest, OnlyAnAbsoluteModulePathIsRegistered) {
    for (const char* path : {"", "VexaComponent32.so", "./VexaComponent32.so", "lib/VexaComponent32.so"}) {
        RegistryFile registry;
        EXPECT_EQ(RegisterModule(registry, path, kClasses), E_INVALIDARG) << path;
        EXPECT_TRUE(registry.Keys().empty()) << path;
    }
}

// Other modules' keys, a later version of our type library and names that merely begin like ours.
constexpr std::string_view kNeighbours = R"(Windows Registry Editor Version 5.00
[HKEY_CLASSES_ROOT\AppID]
[HKEY_CLASSES_ROOT\AppID\{11111111-2222-3333-4444-555555555555}]
@="Other"
[HKEY_CLASSES_ROOT\AppID\VexaComponent32.DLL.bak]
"AppID"="{11111111-2222-3333-4444-555555555555}"
[HKEY_CLASSES_ROOT\CLSID]
[HKEY_CLASSES_ROOT\CLSID\{11111111-2222-3333-4444-555555555555}]
@="Other Object"
[HKEY_CLASSES_ROOT\CLSID\{11111111-2222-3333-4444-555555555555}\InprocServer32]
@="/usr/lib/other.so"
[HKEY_CLASSES_ROOT\VexaComponent.Message.2]
@="Message Object"
[HKEY_CLASSES_ROOT\VexaComponent.MessageBox]
@="Other Object"
[HKEY_CLASSES_ROOT\TypeLib]
[HKEY_CLASSES_ROOT\TypeLib\{FF78F57D-91B0-4097-82A9-8FAAD218842F}]
[HKEY_CLASSES_ROOT\TypeLib\{FF78F57D-91B0-4097-82A9-8FAAD218842F}\4.3]
@="VexaComponent 4.3"
[HKEY_CLASSES_ROOT\TypeLib\{FF78F57D-91B0-4097-82A9-8FAAD218842F}\4.3\409\win64]
@="/opt/vexa-4.3/VexaComponent32.so"
)";

TEST(RegistrationTest, UnregisteringRemovesOurKeysAndKeepsEverybodyElses) {
    struct Case {
        const char* name;
        std::string_view before;  // the registry before registration
        std::string_view after;   // after registration and unregistration
    };
    const Case cases[] = {
        {"empty registry", "", kRoots},
        {"among neighbours", kNeighbours, kNeighbours},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (int registrations : {1, 2}) {
            RegistryFile registry = Parsed(c.before);
            for (int i = 0; i < registrations; ++i) {
                const std::string path = "/place" + std::to_string(i) + "/VexaComponent32.so";
                ASSERT_EQ(RegisterModule(registry, path, kClasses), S_OK);
            }
            EXPECT_EQ(UnregisterModule(registry, kClasses), S_OK);
            EXPECT_EQ(registry.Serialize(), Parsed(c.after).Serialize()) << registrations << " registrations";
            EXPECT_EQ(UnregisterModule(registry, kClasses), S_FALSE);  // nothing left to remove
            EXPECT_EQ(registry.Serialize(), Parsed(c.after).Serialize());
        }
    }
}

TEST(RegistrationTest, ThisModulesPathIsTheFileItRunsFrom) {
    const std::string path = ThisModulePath();
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(path.front(), '/');
    EXPECT_TRUE(fs::equivalent(path, "/proc/self/exe"));
}

// The module's exported functions, run the way a user's host runs them.
class ExportedRegistration : public testing::Test {
protected:
    using Entry = HRESULT (*)();

    void SetUp() override {
        module_ = dlopen(VEXA_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(module_, nullptr) << dlerror();
        registerServer_ = reinterpret_cast<Entry>(dlsym(module_, "DllRegisterServer"));
        unregisterServer_ = reinterpret_cast<Entry>(dlsym(module_, "DllUnregisterServer"));
        ASSERT_NE(registerServer_, nullptr);
        ASSERT_NE(unregisterServer_, nullptr);
    }
    void TearDown() override {
        if (module_) dlclose(module_);
    }

    // Runs entry as an ordinary user whose XDG_DATA_HOME is the scratch directory.
    HRESULT AsUser(Entry entry) const { return test::AsRegistryUser(data_.Path(), entry); }

    fs::path File() const { return data_.Path() / "vexa" / "registry.reg"; }

    std::string Bytes() const {
        std::ifstream in(File(), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    const test::ScratchDirectory data_;
    void* module_ = nullptr;
    Entry registerServer_ = nullptr;
    Entry unregisterServer_ = nullptr;
};

TEST_F(ExportedRegistration, RegistersThisModuleAndUnregistersIt) {
    ASSERT_EQ(AsUser(registerServer_), S_OK);
    RegistryFile registry;
    ASSERT_EQ(ReadRegistry(File(), registry), S_OK);
    EXPECT_EQ(registry.Serialize(), Expected(VEXA_MODULE_PATH));

    // Bare roots are all that is left: the file goes, and its lock file with it.
    ASSERT_EQ(AsUser(unregisterServer_), S_OK);
    EXPECT_FALSE(fs::exists(File()));
    EXPECT_FALSE(fs::exists(File().string() + ".lock"));
}

TEST_F(ExportedRegistration, UnregisteringKeepsAFileThatHoldsOtherClasses) {
    fs::create_directories(File().parent_path());
    std::ofstream(File(), std::ios::binary) << kNeighbours;
    ASSERT_EQ(AsUser(registerServer_), S_OK);
    ASSERT_EQ(AsUser(unregisterServer_), S_OK);
    RegistryFile registry;
    ASSERT_EQ(ReadRegistry(File(), registry), S_OK);
    EXPECT_EQ(registry.Serialize(), Parsed(kNeighbours).Serialize());
}

TEST_F(ExportedRegistration, UnregisteringWhatWasNeverRegisteredWritesNothing) {
    EXPECT_EQ(AsUser(unregisterServer_), S_OK);
    EXPECT_FALSE(fs::exists(File().parent_path()));
    fs::create_directories(File().parent_path());
    std::ofstream(File(), std::ios::binary) << kNeighbours;
    EXPECT_EQ(AsUser(unregisterServer_), S_OK);
    EXPECT_EQ(Bytes(), kNeighbours);
}

TEST_F(ExportedRegistration, ADamagedRegistryIsLeftAsItIsAndReported) {
    const std::string damaged = std::string(kNeighbours) + "\"Count\"=dword:00000001\n";
    fs::create_directories(File().parent_path());
    for (Entry entry : {registerServer_, unregisterServer_}) {
        std::ofstream(File(), std::ios::binary | std::ios::trunc) << damaged;
        EXPECT_EQ(AsUser(entry), kRegistryDamaged);
        EXPECT_EQ(Bytes(), damaged);
    }
}

}  // namespace
}  // namespace vexa
