#include <objsafe.h>

#include "checks.h"
#include "com_support.h"

__CRT_UUID_DECL(IObjectSafety, 0xcb5bdc81, 0x93c1, 0x11cf, 0x8f, 0x20, 0x00, 0x80, 0x5f, 0x2c, 0xd0, 0x64)

namespace host {

namespace {

// Answered only by the outer object below, so a request for it shows where a call went.
constexpr IID kOuterOnly = {0x6a1c3e0b, 0x0d7b, 0x4c62, {0x9e, 0x3e, 0x5a, 0x8c, 0x2b, 0x9f, 0x4d, 0x11}};

// An outer object that aggregates one inner object: it answers IUnknown and kOuterOnly itself and
// hands every other request to the inner one. It lives on the stack, so Release never deletes it.
class Outer : public IUnknown {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (iid == IID_IUnknown || iid == kOuterOnly) {
            *out = static_cast<IUnknown*>(this);
            AddRef();
            return S_OK;
        }
        if (inner) return inner->QueryInterface(iid, out);
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs_; }

    ComPtr<IUnknown> inner;

private:
    ULONG refs_ = 1;
};

// The dual interface through its vtable: on 32-bit Windows a slip in the calling convention
// crashes right here.
template <class Dual>
void CheckVersions(const std::string& name, IUnknown* object) {
    if (ComPtr<Dual> dual = Query<Dual>(name + " dual interface", object)) {
        CheckProp(name + " VersionMajor", dual.Get(), &Dual::get_VersionMajor, 4L);
        CheckProp(name + " VersionMinor", dual.Get(), &Dual::get_VersionMinor, 2L);
    }
}

struct CreatableClass {
    const char* name;
    const wchar_t* coclass;  // as the type library names it
    const wchar_t* progId;
    const wchar_t* versionedProgId;
    const CLSID& clsid;
    const IID& dual;
    void (*checkVersions)(const std::string& name, IUnknown* object);
};
const CreatableClass kClasses[] = {
    {"Message", L"Message", L"VexaComponent.Message", L"VexaComponent.Message.1", CLSID_Message, IID_IMessage,
     &CheckVersions<IMessage>},
    {"SMS", L"SMS", L"VexaComponent.SMS", L"VexaComponent.SMS.1", CLSID_SMS, IID_ISMS, &CheckVersions<ISMS>},
};

void CheckProgIds(const CreatableClass& c) {
    for (const wchar_t* progId : {c.progId, c.versionedProgId}) {
        CLSID clsid{};
        const std::string name = "CLSIDFromProgID(" + Utf8(progId) + ")";
        CheckHr(name, CLSIDFromProgID(progId, &clsid), S_OK);
        Check(name + " names the class", IsEqualCLSID(clsid, c.clsid), "another CLSID");
    }
}

void CheckClassObject(const CreatableClass& c) {
    const std::string name = c.name;
    ComPtr<IClassFactory> factory;
    CheckHr(name + " class object",
            CoGetClassObject(c.clsid, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                             reinterpret_cast<void**>(factory.GetAddressOf())),
            S_OK);
    if (!factory) return;
    ComPtr<IUnknown> object;
    CheckHr(name + " CreateInstance",
            factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(object.GetAddressOf())),
            S_OK);
    if (!object) return;
    c.checkVersions(name, object.Get());

    if (ComPtr<IProvideClassInfo> provider =
            Query<IProvideClassInfo>(name + " IProvideClassInfo", object.Get())) {
        ComPtr<ITypeInfo> info;
        Bstr className;
        CheckHr(name + " GetClassInfo", provider->GetClassInfo(info.GetAddressOf()), S_OK);
        if (info) info->GetDocumentation(MEMBERID_NIL, className.Out(), nullptr, nullptr, nullptr);
        CheckEqual(name + " class information names the class", className.Text(), std::wstring(c.coclass));
    }
    // Both options are offered; a host such as a browser turns them on before it scripts the object.
    if (ComPtr<IObjectSafety> safety = Query<IObjectSafety>(name + " IObjectSafety", object.Get())) {
        constexpr DWORD kSafe = INTERFACESAFE_FOR_UNTRUSTED_CALLER | INTERFACESAFE_FOR_UNTRUSTED_DATA;
        DWORD supported = 0, enabled = 0;
        CheckHr(name + " SetInterfaceSafetyOptions",
                safety->SetInterfaceSafetyOptions(IID_IDispatch, kSafe, kSafe), S_OK);
        CheckHr(name + " GetInterfaceSafetyOptions",
                safety->GetInterfaceSafetyOptions(IID_IDispatch, &supported, &enabled), S_OK);
        CheckEqual(name + " safety options supported", static_cast<long>(supported),
                   static_cast<long>(kSafe));
        CheckEqual(name + " safety options enabled", static_cast<long>(enabled), static_cast<long>(kSafe));
    }

    Outer outer;
    CheckHr(
        name + " aggregated, asked for IUnknown",
        factory->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(outer.inner.GetAddressOf())),
        S_OK);
    if (outer.inner) {
        ComPtr<IDispatch> inner;
        outer.inner->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(inner.GetAddressOf()));
        ComPtr<IUnknown> seen;
        if (inner) inner->QueryInterface(kOuterOnly, reinterpret_cast<void**>(seen.GetAddressOf()));
        Check(name + " aggregated object delegates to the outer one", seen.Get() == &outer,
              "its IDispatch did not hand the outer object's interface");
    }
    void* refused = &refused;
    CheckHr(name + " aggregated, asked for another interface",
            factory->CreateInstance(&outer, c.dual, &refused), CLASS_E_NOAGGREGATION);
    Check(name + " refused aggregation leaves no object", refused == nullptr, "out pointer not cleared");
}

}  // namespace

void CheckActivation() {
    for (const CreatableClass& c : kClasses) {
        CheckProgIds(c);
        CheckClassObject(c);
    }
}

}  // namespace host
