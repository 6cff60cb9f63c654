// A C++ host that knows only the public headers: loads the module and checks the creation
// entry points and the unload rule.
#include <gtest/gtest.h>

#include "vexa_module.h"
#include "vexa/com_ptr.h"

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

}  // namespace
