// Activation by ProgID and CLSID against registry files written here, in a scratch per-user
// folder and a scratch stand-in for the machine-wide file, naming the module built with the tests.
#include "vexa/activation.h"

#include <dlfcn.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include "activation/class_text.h"
#include "activation/registry_sources.h"
#include "registry/registry_store.h"
#include "support/scoped_env.h"
#include "support/scratch_directory.h"
#include "vexa/VexaComponent.h"
#include "vexa/com_ptr.h"

namespace vexa::activation {
namespace {

namespace fs = std::filesystem;

constexpr const char* kMessageClsid = "{E17CBD66-320E-4BBD-96EF-FA7DAB21974A}";
constexpr const char* kSmsClsid = "{5009B528-A40B-4158-A5C3-20633C473278}";

std::string Root(const std::string& key) { return "HKEY_CLASSES_ROOT\\" + key; }

// The keys activation reads, as registration writes them; each part may be left out.
struct ClassKeys {
    std::string progId;                    // "VexaComponent.Message.1"
    std::string versionIndependentProgId;  // "VexaComponent.Message"
    std::string clsid;
    std::string module;    // the InprocServer32 key is left out when empty
    bool classKey = true;  // false: the ProgIDs alone
};

void AddClass(RegistryFile& registry, const ClassKeys& c) {
    if (!c.progId.empty() && !c.clsid.empty()) registry.SetDefault(Root(c.progId + "\\CLSID"), c.clsid);
    if (!c.versionIndependentProgId.empty())
        registry.SetDefault(Root(c.versionIndependentProgId + "\\CurVer"), c.progId);
    if (!c.clsid.empty() && c.classKey) registry.SetDefault(Root("CLSID\\" + c.clsid), "Object");
    if (!c.module.empty()) {
        registry.SetDefault(Root("CLSID\\" + c.clsid + "\\InprocServer32"), c.module);
        registry.SetValue(Root("CLSID\\" + c.clsid + "\\InprocServer32"), "ThreadingModel", "apartment");
    }
    // The ProgID keys themselves, as registration makes them.
    for (const std::string& name : {c.progId, c.versionIndependentProgId})
        if (!name.empty()) registry.Ensure(Root(name));
}

ClassKeys MessageKeys(const std::string& module = VEXA_MODULE_PATH) {
    return {"VexaComponent.Message.1", "VexaComponent.Message", kMessageClsid, module};
}

ClassKeys SmsKeys(const std::string& module = VEXA_MODULE_PATH) {
    return {"VexaComponent.SMS.1", "VexaComponent.SMS", kSmsClsid, module};
}

std::u16string Wide(std::string_view text) { return std::u16string(text.begin(), text.end()); }  // ASCII

HRESULT Create(std::string_view text, const IID& iid, void** ppv) {
    return VexaCreateObject(Wide(text).c_str(), &iid, ppv);
}

HRESULT CreateStatus(std::string_view text) {
    ComPtr<IUnknown> object;
    return Create(text, IID_IUnknown, object.OutVoid());
}

class Activation : public testing::Test {
protected:
    fs::path UserFile() const { return scratch_.Path() / "user" / "vexa" / "registry.reg"; }
    fs::path MachineFile() const { return scratch_.Path() / "machine" / "registry.reg"; }

    // Replaces the file, damaged or not, with these classes.
    static void Write(const fs::path& file, const std::vector<ClassKeys>& classes) {
        fs::remove(file);
        ASSERT_EQ(UpdateRegistry(file,
                                 [&](RegistryFile& registry) {
                                     registry = RegistryFile();
                                     for (const ClassKeys& c : classes) AddClass(registry, c);
                                     return S_OK;
                                 }),
                  S_OK);
    }
    static void WriteText(const fs::path& file, const std::string& text) {
        fs::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary | std::ios::trunc) << text;
    }

    const test::ScratchDirectory scratch_;
    const test::ScopedEnv dataHome_{"XDG_DATA_HOME", (scratch_.Path() / "user").c_str()};
    const ScopedMachineRegistry machine_{MachineFile()};
};

TEST_F(Activation, CreatesEachClassByItsProgIdsAndItsClsid) {
    Write(UserFile(), {MessageKeys(), SmsKeys()});
    struct Case {
        const char* text;
        CLSID clsid;
    };
    const Case kCases[] = {
        {"VexaComponent.Message.1", CLSID_Message},
        {"VexaComponent.Message", CLSID_Message},
        {kMessageClsid, CLSID_Message},
        {"{e17cbd66-320e-4bbd-96ef-fa7dab21974a}", CLSID_Message},  // GUIDs read in either case
        {"vexacomponent.message", CLSID_Message},                   // and so do key names
        {"VexaComponent.SMS.1", CLSID_SMS},
        {"VexaComponent.SMS", CLSID_SMS},
        {kSmsClsid, CLSID_SMS},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.text);
        ComPtr<IDispatch> object;
        ASSERT_EQ(Create(c.text, IID_IDispatch, object.OutVoid()), S_OK);
        ComPtr<IMessage> message;
        ComPtr<ISMS> sms;
        const bool isMessage = c.clsid == CLSID_Message;
        EXPECT_EQ(object.As(IID_IMessage, message), isMessage ? S_OK : E_NOINTERFACE);
        EXPECT_EQ(object.As(IID_ISMS, sms), isMessage ? E_NOINTERFACE : S_OK);
        LONG major = 0;
        EXPECT_EQ(isMessage ? message->get_VersionMajor(&major) : sms->get_VersionMajor(&major), S_OK);
        EXPECT_EQ(major, 4);

        CLSID resolved{};
        char path[4096];
        size_t size = sizeof path;
        ASSERT_EQ(VexaResolveClass(Wide(c.text).c_str(), &resolved, path, &size), S_OK);
        EXPECT_EQ(resolved, c.clsid);
        EXPECT_STREQ(path, VEXA_MODULE_PATH);
        EXPECT_EQ(size, std::string(VEXA_MODULE_PATH).size() + 1);
    }
}

TEST_F(Activation, ThePerUserRegistryWinsProgIdByProgIdAndClassByClass) {
    const std::string missing = (scratch_.Path() / "gone" / "VexaComponent32.so").string();
    struct Case {
        const char* what;
        std::vector<ClassKeys> user, machine;
        HRESULT expected;
    };
    const Case kCases[] = {
        {"only the machine registers", {}, {MessageKeys()}, S_OK},
        {"the user's module is the one loaded", {MessageKeys()}, {MessageKeys(missing)}, S_OK},
        {"even when it does not load", {MessageKeys(missing)}, {MessageKeys()}, CO_E_DLLNOTFOUND},
        // The user's ProgID leads to a class only the machine knows.
        {"keys merge",
         {{"VexaComponent.Message.1", "VexaComponent.Message", kMessageClsid, "", false}},
         {{"", "", kMessageClsid, VEXA_MODULE_PATH}},
         S_OK},
        // A user's class is the user's alone: no module of the machine's completes it.
        {"the user's class without a module",
         {{"", "", kMessageClsid, ""}},
         {MessageKeys()},
         REGDB_E_CLASSNOTREG},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.what);
        Write(UserFile(), c.user);
        Write(MachineFile(), c.machine);
        EXPECT_EQ(CreateStatus("VexaComponent.Message"), c.expected);
    }
}

TEST_F(Activation, FailuresTellWhatIsMissing) {
    const std::string missing = (scratch_.Path() / "gone" / "VexaComponent32.so").string();
    const std::string notAModule = (scratch_.Path() / "text.so").string();
    WriteText(notAModule, "not a shared object\n");
    // Neither the module nor a library without DllGetClassObject loads as a class's server.
    const ClassKeys kRegistered[] = {
        MessageKeys(),
        SmsKeys(missing),
        {"Vexa.Relative", "", "{00000000-0000-0000-0000-000000000001}", "VexaComponent32.so"},
        {"Vexa.NotAModule", "", "{00000000-0000-0000-0000-000000000002}", notAModule},
        {"Vexa.NoEntry", "", "{00000000-0000-0000-0000-000000000003}", VEXA_ACTIVATION_LIBRARY_PATH},
        // A class the module does not serve, and one without a server.
        {"Vexa.Receiver", "", "{0A0B6EDF-E0DD-4430-9DB0-7A91CA1635B9}", VEXA_MODULE_PATH},
        {"Vexa.NoServer", "", "{00000000-0000-0000-0000-000000000004}", ""},
        // A ProgID whose CLSID is no CLSID, and current versions that go round in a circle.
        {"Vexa.BadClsid", "", "E17CBD66-320E-4BBD-96EF-FA7DAB21974A", ""},
        {"Vexa.Loop.1", "Vexa.Loop", "", ""},
    };
    Write(UserFile(), {std::begin(kRegistered), std::end(kRegistered)});
    ASSERT_EQ(UpdateRegistry(UserFile(),
                             [](RegistryFile& registry) {
                                 registry.SetDefault(Root("Vexa.Loop.1\\CurVer"), "Vexa.Loop");
                                 registry.SetDefault(Root("Vexa.Dangling\\CurVer"), "Vexa.Nowhere");
                                 registry.SetDefault(Root("Vexa.Escape\\CurVer"),
                                                     "CLSID\\" + std::string(kMessageClsid));
                                 registry.Ensure(Root("Vexa.Dangling"));
                                 registry.Ensure(Root("Vexa.Escape"));
                                 return S_OK;
                             }),
              S_OK);

    struct Case {
        const char* text;
        HRESULT expected;
    };
    const Case kCases[] = {
        {"VexaComponent.Message", S_OK},
        {"VexaComponent.Unknown", CO_E_CLASSSTRING},
        {"", CO_E_CLASSSTRING},
        {"{E17CBD66-320E-4BBD-96EF-FA7DAB21974}", CO_E_CLASSSTRING},    // a digit short
        {"{E17CBD66-320E-4BBD-96EF-FA7DAB21974AB}", CO_E_CLASSSTRING},  // one too many
        {"{E17CBD66+320E-4BBD-96EF-FA7DAB21974A}", CO_E_CLASSSTRING},
        {"{G17CBD66-320E-4BBD-96EF-FA7DAB21974A}", CO_E_CLASSSTRING},
        {"{E17CBD66-320E-4BBD-96EF-FA7DAB21974A", CO_E_CLASSSTRING},
        // A name that would reach into another key is no ProgID.
        {"CLSID\\{E17CBD66-320E-4BBD-96EF-FA7DAB21974A}", CO_E_CLASSSTRING},
        {"VexaComponent.Message\\CurVer", CO_E_CLASSSTRING},
        {"Vexa.BadClsid", CO_E_CLASSSTRING},
        {"Vexa.Loop", CO_E_CLASSSTRING},
        {"Vexa.Dangling", CO_E_CLASSSTRING},
        {"Vexa.Escape", CO_E_CLASSSTRING},
        {"{01234567-89AB-CDEF-0123-456789ABCDEF}", REGDB_E_CLASSNOTREG},
        {"Vexa.NoServer", REGDB_E_CLASSNOTREG},
        {"VexaComponent.SMS", CO_E_DLLNOTFOUND},
        {"Vexa.Relative", CO_E_DLLNOTFOUND},
        {"Vexa.NotAModule", CO_E_DLLNOTFOUND},
        {"Vexa.NoEntry", CO_E_DLLNOTFOUND},
        {"Vexa.Receiver", CLASS_E_CLASSNOTAVAILABLE},  // the module's own answer
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.text);
        void* object = reinterpret_cast<void*>(0x1);
        const HRESULT hr = Create(c.text, IID_IUnknown, &object);
        EXPECT_EQ(hr, c.expected);
        if (FAILED(hr)) {
            EXPECT_EQ(object, nullptr);
        }
        if (object) static_cast<IUnknown*>(object)->Release();
    }

    // Text no ProgID and no CLSID holds.
    void* object = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(VexaCreateObject(u"VexaComponent.메시지", &IID_IUnknown, &object), CO_E_CLASSSTRING);
    EXPECT_EQ(object, nullptr);
    // The module's answer for an interface the class lacks.
    EXPECT_EQ(Create("VexaComponent.Message", IID_IEnumVARIANT, &object), E_NOINTERFACE);
}

TEST_F(Activation, ARegistryFileThatDoesNotParseFailsOnlyLookupsThatReachIt) {
    const std::string damaged =
        "Windows Registry Editor Version 5.00\n\n[HKEY_CLASSES_ROOT\\X]\n\"N\"=dword:1\n";
    Write(UserFile(), {MessageKeys()});
    WriteText(MachineFile(), damaged);
    EXPECT_EQ(CreateStatus("VexaComponent.Message"), S_OK) << "the user's file answers every lookup";
    EXPECT_EQ(CreateStatus("VexaComponent.SMS"), VEXA_E_REGISTRYDAMAGED);

    WriteText(UserFile(), damaged);
    Write(MachineFile(), {MessageKeys()});
    EXPECT_EQ(CreateStatus("VexaComponent.Message"), VEXA_E_REGISTRYDAMAGED);
    EXPECT_EQ(VexaResolveClass(u"VexaComponent.Message", nullptr, nullptr, nullptr), VEXA_E_REGISTRYDAMAGED);
}

TEST_F(Activation, ARegistrationMadeWhileTheHostRunsIsSeenAtItsNextActivation) {
    EXPECT_EQ(CreateStatus("VexaComponent.Message"), CO_E_CLASSSTRING);
    EXPECT_EQ(CreateStatus(kMessageClsid), REGDB_E_CLASSNOTREG);
    Write(UserFile(), {MessageKeys()});
    EXPECT_EQ(CreateStatus("VexaComponent.Message"), S_OK);
    Write(UserFile(), {});
    EXPECT_EQ(CreateStatus("VexaComponent.Message"), CO_E_CLASSSTRING);
    // The module stays loaded all the same: objects of it may still be alive in the host.
    void* loaded = dlopen(VEXA_MODULE_PATH, RTLD_NOW | RTLD_NOLOAD);
    EXPECT_NE(loaded, nullptr);
    if (loaded) dlclose(loaded);
}

TEST_F(Activation, NullArgumentsAreRefusedAndTheOutPointerCleared) {
    Write(UserFile(), {MessageKeys()});
    void* object = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(VexaCreateObject(u"VexaComponent.Message", &IID_IUnknown, nullptr), E_POINTER);
    EXPECT_EQ(VexaCreateObject(nullptr, &IID_IUnknown, &object), E_INVALIDARG);
    EXPECT_EQ(object, nullptr);
    object = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(VexaCreateObject(u"VexaComponent.Message", nullptr, &object), E_INVALIDARG);
    EXPECT_EQ(object, nullptr);

    char path[8];
    EXPECT_EQ(VexaResolveClass(nullptr, nullptr, nullptr, nullptr), E_INVALIDARG);
    EXPECT_EQ(VexaResolveClass(u"VexaComponent.Message", nullptr, path, nullptr), E_POINTER);
    // Only the class asked for.
    CLSID clsid{};
    EXPECT_EQ(VexaResolveClass(u"VexaComponent.Message", &clsid, nullptr, nullptr), S_OK);
    EXPECT_EQ(clsid, CLSID_Message);
}

TEST_F(Activation, TheModulePathComesInTheBufferOnlyWhenItFits) {
    Write(UserFile(), {MessageKeys()});
    const std::string expected = VEXA_MODULE_PATH;
    size_t size = 0;
    ASSERT_EQ(VexaResolveClass(u"VexaComponent.Message", nullptr, nullptr, &size), S_OK);
    EXPECT_EQ(size, expected.size() + 1);

    std::string buffer(expected.size(), '#');
    size = buffer.size();
    EXPECT_EQ(VexaResolveClass(u"VexaComponent.Message", nullptr, buffer.data(), &size),
              VEXA_E_INSUFFICIENTBUFFER);
    EXPECT_EQ(size, expected.size() + 1);
    EXPECT_EQ(buffer, std::string(expected.size(), '#')) << "nothing written";

    buffer.assign(expected.size() + 1, '#');
    EXPECT_EQ(VexaResolveClass(u"VexaComponent.Message", nullptr, buffer.data(), &size), S_OK);
    EXPECT_EQ(buffer, expected + '\0');
}

TEST_F(Activation, TheRegistrationFileIsTheUsersOrForRootTheMachines) {
    const bool root = geteuid() == 0;
    const std::string expected = root ? "/etc/vexa/registry.reg" : UserFile().string();
    size_t size = 0;
    int machineWide = -1;
    ASSERT_EQ(VexaRegistrationFile(nullptr, &size, &machineWide), S_OK);
    EXPECT_EQ(size, expected.size() + 1);
    EXPECT_EQ(machineWide, root ? 1 : 0);

    std::string buffer(expected.size(), '#');
    size = buffer.size();
    EXPECT_EQ(VexaRegistrationFile(buffer.data(), &size, nullptr), VEXA_E_INSUFFICIENTBUFFER);
    buffer.assign(expected.size() + 1, '#');
    EXPECT_EQ(VexaRegistrationFile(buffer.data(), &size, nullptr), S_OK);
    EXPECT_EQ(buffer, expected + '\0');
    EXPECT_EQ(VexaRegistrationFile(buffer.data(), nullptr, nullptr), E_POINTER);
}

TEST_F(Activation, HostThreadsActivateAtOnce) {
    Write(UserFile(), {MessageKeys(), SmsKeys()});
    std::vector<HRESULT> results(8, E_FAIL);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < results.size(); ++i) {
        threads.emplace_back([&results, i] {
            ComPtr<IUnknown> object;
            results[i] =
                Create(i % 2 ? "VexaComponent.SMS" : "VexaComponent.Message", IID_IUnknown, object.OutVoid());
        });
    }
    for (std::thread& t : threads) t.join();
    for (HRESULT hr : results) EXPECT_EQ(hr, S_OK);
}

TEST(ClassText, ClsidsParseInEitherCaseAndProgIdsAreKeyNamesOnly) {
    EXPECT_EQ(ParseClsid("{e17cbd66-320e-4bbd-96ef-FA7DAB21974A}"), CLSID_Message);
    EXPECT_FALSE(ParseClsid("E17CBD66-320E-4BBD-96EF-FA7DAB21974A"));
    for (const char* name : {"VexaComponent.Message.1", "My_App-2.Thing"})
        EXPECT_TRUE(IsProgId(name)) << name;
    for (const char* name : {"", "A B", "A\\B", "A]B", "A\"B", "A=B"}) EXPECT_FALSE(IsProgId(name)) << name;
}

}  // namespace
}  // namespace vexa::activation
