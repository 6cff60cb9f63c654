#include <memory>
#include <type_traits>

#include "checks.h"
#include "com_support.h"

namespace host {

namespace {

struct LibraryFreer {
    void operator()(HMODULE module) const { FreeLibrary(module); }
};
using Library = std::unique_ptr<std::remove_pointer_t<HMODULE>, LibraryFreer>;

template <class Function>
Function* Export(HMODULE module, const char* name) {
    // Through the generic function pointer type, which converts to any other without a warning.
    return reinterpret_cast<Function*>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

}  // namespace

void CheckModuleDirectly(const std::wstring& dllPath) {
    const Library dll(LoadLibraryW(dllPath.c_str()));
    Check("module loads as a library", dll != nullptr, "LoadLibrary error " + std::to_string(GetLastError()));
    if (!dll) return;
    for (const char* name :
         {"DllGetClassObject", "DllCanUnloadNow", "DllRegisterServer", "DllUnregisterServer"})
        Check(std::string("module exports ") + name, GetProcAddress(dll.get(), name) != nullptr, "not found");
    auto* getClassObject = Export<decltype(DllGetClassObject)>(dll.get(), "DllGetClassObject");
    auto* canUnloadNow = Export<decltype(DllCanUnloadNow)>(dll.get(), "DllCanUnloadNow");
    if (!getClassObject || !canUnloadNow) return;

    void* notCreatable = &notCreatable;
    CheckHr("DllGetClassObject of a class that is not creatable",
            getClassObject(CLSID_Receiver, IID_IClassFactory, &notCreatable), CLASS_E_CLASSNOTAVAILABLE);
    Check("DllGetClassObject clears the out pointer of a refusal", notCreatable == nullptr, "left as it was");
    CheckHr("DllGetClassObject without an out pointer",
            getClassObject(CLSID_Message, IID_IClassFactory, nullptr), E_POINTER);
    CheckHr("DllCanUnloadNow before any object", canUnloadNow(), S_OK);

    const auto factory = [&] {
        ComPtr<IClassFactory> made;
        CheckHr(
            "DllGetClassObject of Message",
            getClassObject(CLSID_Message, IID_IClassFactory, reinterpret_cast<void**>(made.GetAddressOf())),
            S_OK);
        return made;
    };
    {
        ComPtr<IDispatch> object;
        if (ComPtr<IClassFactory> f = factory())
            CheckHr(
                "class object creates Message",
                f->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(object.GetAddressOf())),
                S_OK);
        CheckHr("DllCanUnloadNow while an object lives", canUnloadNow(), S_FALSE);
    }
    CheckHr("DllCanUnloadNow once every object is released", canUnloadNow(), S_OK);

    if (ComPtr<IClassFactory> f = factory()) CheckHr("LockServer(TRUE)", f->LockServer(TRUE), S_OK);
    CheckHr("DllCanUnloadNow while the server is locked", canUnloadNow(), S_FALSE);
    if (ComPtr<IClassFactory> f = factory()) CheckHr("LockServer(FALSE)", f->LockServer(FALSE), S_OK);
    CheckHr("DllCanUnloadNow once the server is unlocked", canUnloadNow(), S_OK);
}

}  // namespace host
