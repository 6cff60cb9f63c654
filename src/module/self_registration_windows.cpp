// Registration in the system registry: the AppID and class keys as the registry files on Linux
// hold them, the type library recorded by the system itself (which also records its interfaces
// for the type-library marshaler).
#include "module/self_registration.h"
#include "registry/system_registry.h"
#include "vexa/VexaComponent.h"

extern "C" {
__declspec(dllimport) LCID STDMETHODCALLTYPE GetThreadLocale();
__declspec(dllimport) int32_t STDMETHODCALLTYPE SetThreadLocale(LCID locale);
}

namespace vexa {

namespace {

constexpr LCID kTypeLibLocale = 0x0409;

// Registration runs in the system's default locale and gives the caller's back afterwards.
class SystemLocale {
public:
    SystemLocale() : caller_(GetThreadLocale()) { SetThreadLocale(LOCALE_SYSTEM_DEFAULT); }
    ~SystemLocale() { SetThreadLocale(caller_); }
    SystemLocale(const SystemLocale&) = delete;
    SystemLocale& operator=(const SystemLocale&) = delete;

private:
    LCID caller_;
};

}  // namespace

HRESULT RegisterClasses(std::span<const ClassRegistration> classes) {
    const SystemLocale locale;
    const std::string module = ThisModulePath();
    if (module.empty()) return SELFREG_E_CLASS;
    RegistryFile keys;
    if (const HRESULT hr = RegisterModuleClasses(keys, module, classes); FAILED(hr)) return hr;
    if (const HRESULT hr = WriteClassesKeys(keys); FAILED(hr)) return hr;
    return RecordTypeLibrary(module);
}

HRESULT UnregisterClasses(std::span<const ClassRegistration> classes) {
    const SystemLocale locale;
    const HRESULT removedClasses = RemoveClassesTrees(ModuleClassTrees(classes));
    if (FAILED(removedClasses)) return removedClasses;
    const HRESULT forgotten = ForgetTypeLibrary(GuidText(LIBID_VexaComponent), VEXA_TYPELIB_MAJOR,
                                                VEXA_TYPELIB_MINOR, kTypeLibLocale);
    if (FAILED(forgotten)) return forgotten;
    const HRESULT removedAppId = RemoveClassesTrees(ModuleAppIdTrees());
    return FAILED(removedAppId) ? removedAppId : S_OK;
}

}  // namespace vexa
