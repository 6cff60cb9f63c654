// A C++ host that knows only the public headers: loads the module and checks the creation
// entry points and the unload rule.
#include <dlfcn.h>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <memory>
#include <sys/wait.h>
#include <unistd.h>

#include "support/child_process.h"
#include "support/scratch_directory.h"
#include "vexa/com_ptr.h"
#include "vexa_module.h"

namespace {

using vexa::ComPtr;
using vexa_host::VexaModule;

const VexaModule& Module() {
    static VexaModule module(VEXA_MODULE_PATH);
    return module;
}

TEST(ModuleTest, ClassObjectsOnlyForCreatableClasses) {
    const VexaModule& m = Module();
    void* p = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(m.DllGetClassObject(&CLSID_Message, &IID_IClassFactory, nullptr), E_POINTER);
    EXPECT_EQ(m.DllGetClassObject(&CLSID_Receiver, &IID_IClassFactory, &p), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(p, nullptr);
    const CLSID unknown = GuidFromString("01234567-89AB-CDEF-0123-456789ABCDEF");
    EXPECT_EQ(m.DllGetClassObject(&unknown, &IID_IClassFactory, &p), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(m.DllGetClassObject(&CLSID_Message, &IID_IDispatch, &p), E_NOINTERFACE);

    ComPtr<IClassFactory> first, second;
    ComPtr<IUnknown> asUnknown;
    ASSERT_EQ(m.DllGetClassObject(&CLSID_Message, &IID_IClassFactory, first.OutVoid()), S_OK);
    ASSERT_EQ(m.DllGetClassObject(&CLSID_Message, &IID_IClassFactory, second.OutVoid()), S_OK);
    ASSERT_EQ(m.DllGetClassObject(&CLSID_Message, &IID_IUnknown, asUnknown.OutVoid()), S_OK);
    EXPECT_EQ(first.Get(), second.Get());  // cached for the life of the module
}

TEST(ModuleTest, FactoryCreatesPlainAndRefusesForeignAggregation) {
    const VexaModule& m = Module();
    ComPtr<IClassFactory> factory;
    ASSERT_EQ(m.DllGetClassObject(&CLSID_Message, &IID_IClassFactory, factory.OutVoid()), S_OK);
    ComPtr<IMessage> message;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IMessage, message.OutVoid()), S_OK);
    LONG major = 0;
    message->get_VersionMajor(&major);
    EXPECT_EQ(major, 4);
    void* p = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(factory->CreateInstance(message.Get(), IID_IMessage, &p), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(p, nullptr);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IReceiver, &p), E_NOINTERFACE);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IMessage, nullptr), E_POINTER);
}

TEST(ModuleTest, UnloadOnlyWhenNothingIsHeld) {
    const VexaModule& m = Module();
    ASSERT_EQ(m.DllCanUnloadNow(), S_OK);
    {
        ComPtr<IDispatch> message;
        ASSERT_EQ(m.CreateObject(CLSID_Message, IID_IDispatch, message.OutVoid()), S_OK);
        ComPtr<IDispatch> receivers;
        ComPtr<IMessage> typed;
        ASSERT_EQ(message.As(IID_IMessage, typed), S_OK);
        ASSERT_EQ(typed->CreateReceivers(receivers.Out()), S_OK);
        typed.Reset();
        message.Reset();
        EXPECT_EQ(m.DllCanUnloadNow(), S_FALSE);  // the receivers still live
    }
    EXPECT_EQ(m.DllCanUnloadNow(), S_OK);

    ComPtr<IClassFactory> factory;
    ASSERT_EQ(m.DllGetClassObject(&CLSID_Message, &IID_IClassFactory, factory.OutVoid()), S_OK);
    EXPECT_EQ(m.DllCanUnloadNow(), S_FALSE);
    EXPECT_EQ(factory->LockServer(1), S_OK);
    factory.Reset();
    EXPECT_EQ(m.DllCanUnloadNow(), S_FALSE);
    ComPtr<IClassFactory> again;
    ASSERT_EQ(m.DllGetClassObject(&CLSID_Message, &IID_IClassFactory, again.OutVoid()), S_OK);
    EXPECT_EQ(again->LockServer(0), S_OK);
    again.Reset();
    EXPECT_EQ(m.DllCanUnloadNow(), S_OK);
}

// Registration runs as a user's host runs it: in a child process with XDG_DATA_HOME at a scratch
// directory; run as root (who registers machine wide), the child drops to nobody.
TEST(ModuleTest, RegistrationNamesTheFileTheModuleWasLoadedFrom) {
    const std::unique_ptr<void, int (*)(void*)> handle(dlopen(VEXA_MODULE_PATH, RTLD_NOW | RTLD_LOCAL),
                                                       &dlclose);
    ASSERT_NE(handle, nullptr) << dlerror();
    const auto registerServer =
        reinterpret_cast<decltype(&DllRegisterServer)>(dlsym(handle.get(), "DllRegisterServer"));
    ASSERT_NE(registerServer, nullptr);

    const vexa::test::ScratchDirectory data;
    ASSERT_EQ(vexa::test::AsRegistryUser(data.Path(), [&] { return registerServer(); }), S_OK);

    std::ifstream in(data.Path() / "vexa" / "registry.reg", std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (const char* clsid :
         {"{E17CBD66-320E-4BBD-96EF-FA7DAB21974A}", "{5009B528-A40B-4158-A5C3-20633C473278}"}) {
        const std::string server = std::string("[HKEY_CLASSES_ROOT\\CLSID\\") + clsid +
                                   "\\InprocServer32]\n@=\"" + VEXA_MODULE_PATH + "\"\n";
        EXPECT_NE(text.find(server), std::string::npos) << server << "\nnot in\n" << text;
    }
}

}  // namespace

namespace {

// A 1 × 1 PNG. This host links no image library, so the module's own are the only ones loaded.
constexpr unsigned char kPixelPng[] = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D,
                                       0x49, 0x48, 0x44, 0x52, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01,
                                       0x08, 0x02, 0x00, 0x00, 0x00, 0x90, 0x77, 0x53, 0xDE, 0x00, 0x00, 0x00,
                                       0x0C, 0x49, 0x44, 0x41, 0x54, 0x78, 0x9C, 0x63, 0xF8, 0xDF, 0xC0, 0x00,
                                       0x00, 0x04, 0x01, 0x01, 0x80, 0xC5, 0x2A, 0x18, 0x5D, 0x00, 0x00, 0x00,
                                       0x00, 0x49, 0x45, 0x4E, 0x44, 0xAE, 0x42, 0x60, 0x82};

// GLib never forgets a registered type, so an image library unloaded with the module and loaded
// again would register its types twice and crash.
TEST(ModuleTest, PicturesStillWorkAfterTheModuleIsUnloadedAndLoadedAgain) {
    const vexa::test::ScratchDirectory dir;
    const std::string png = (dir.Path() / "pixel.png").string();
    std::ofstream(png, std::ios::binary).write(reinterpret_cast<const char*>(kPixelPng), sizeof kPixelPng);
    const std::u16string path(png.begin(), png.end());  // ASCII

    for (int round = 0; round < 2; ++round) {
        {
            const VexaModule m(VEXA_MODULE_PATH);
            ComPtr<IMessage> message;
            ASSERT_EQ(m.CreateObject(CLSID_Message, IID_IMessage, message.OutVoid()), S_OK);
            ComPtr<IDispatch> contents;
            ASSERT_EQ(message->CreateContents(contents.Out()), S_OK);
            ComPtr<IContents> typed;
            ASSERT_EQ(contents.As(IID_IContents, typed), S_OK);
            LONG bytes = 0;
            const vexa_host::ModuleString name(m, path);
            EXPECT_EQ(typed->AddImageFile(name.Get(), &bytes), S_OK) << "round " << round;
            EXPECT_GT(bytes, 0);
        }
        if (void* still = dlopen(VEXA_MODULE_PATH, RTLD_NOW | RTLD_NOLOAD)) {
            dlclose(still);
            GTEST_SKIP() << "another test of this process holds the module loaded";
        }
    }
}

}  // namespace
