// Activation for hosts: create a registered class by its ProgID or CLSID text, as the registry
// file names it, without knowing where the module lies. Exported from libvexa-activation.so with
// C linkage; link it (-lvexa-activation) and include this header.
//
// The registry is read on every call: per user first ($XDG_DATA_HOME/vexa/registry.reg), then
// machine wide (/etc/vexa/registry.reg). A ProgID or a class the per-user file registers is taken
// from it whole, whatever the machine-wide file says. The module a class names is loaded once per
// process and stays loaded.
//
// Strings the component hands out are freed with the module's own runtime functions
// (SysFreeString and the rest): a host that needs them opens the module VexaResolveClass names
// with dlopen (the loaded module, not a second copy) and looks them up with dlsym.
#pragma once

#include <cstddef>

#include "vexa/automation.h"

#if defined(VEXA_BUILDING_ACTIVATION)
#define VEXA_ACTIVATION_EXPORT __attribute__((visibility("default")))
#else
#define VEXA_ACTIVATION_EXPORT
#endif

// The module a class names will not load, or it exports no DllGetClassObject.
constexpr HRESULT CO_E_DLLNOTFOUND = static_cast<HRESULT>(0x800401F8);
// HRESULT_FROM_WIN32(ERROR_BADDB): a registry file that does not parse.
constexpr HRESULT VEXA_E_REGISTRYDAMAGED = static_cast<HRESULT>(0x800703F1);
// HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER).
constexpr HRESULT VEXA_E_INSUFFICIENTBUFFER = static_cast<HRESULT>(0x8007007A);

extern "C" {

// A new instance of the class that progIdOrClsid names ("VexaComponent.Message",
// "VexaComponent.Message.1" or "{E17CBD66-320E-4BBD-96EF-FA7DAB21974A}"), asked for riid.
// A version-independent ProgID leads through its CurVer key to the versioned one, a ProgID to its
// CLSID, the CLSID to its InprocServer32 module; that module's class object makes the instance.
//
// E_POINTER when ppv is null, E_INVALIDARG when progIdOrClsid or riid is (*ppv is cleared first);
// CO_E_CLASSSTRING for an unknown ProgID or a malformed CLSID; REGDB_E_CLASSNOTREG for a class
// that is not registered or has no module; CO_E_DLLNOTFOUND when its module will not load;
// VEXA_E_REGISTRYDAMAGED when a registry file does not parse; otherwise what the module's class
// object answers.
VEXA_ACTIVATION_EXPORT HRESULT VexaCreateObject(const OLECHAR* progIdOrClsid, const GUID* riid, void** ppv);

// Resolves progIdOrClsid as VexaCreateObject does, without loading anything. clsid (may be null)
// receives the class. modulePath (may be null) receives the module's path, NUL-terminated, in
// *pathSize bytes; *pathSize is then set to the bytes the path takes with its NUL, also when the
// buffer is too small (VEXA_E_INSUFFICIENTBUFFER, nothing written). pathSize may be null only
// when modulePath is. Fails as VexaCreateObject resolves: CO_E_CLASSSTRING, REGDB_E_CLASSNOTREG,
// CO_E_DLLNOTFOUND (a module path that is not absolute), VEXA_E_REGISTRYDAMAGED.
VEXA_ACTIVATION_EXPORT HRESULT VexaResolveClass(const OLECHAR* progIdOrClsid, CLSID* clsid, char* modulePath,
                                                size_t* pathSize);

// The registry file that a module's DllRegisterServer and DllUnregisterServer write when called in
// this process: the effective user's ($XDG_DATA_HOME/vexa/registry.reg), or the machine-wide one
// when running as root. path and pathSize as VexaResolveClass's modulePath and pathSize;
// machineWide (may be null) receives 1 for the machine-wide file, 0 for the user's. E_FAIL when
// the user has no home folder to hold one.
VEXA_ACTIVATION_EXPORT HRESULT VexaRegistrationFile(char* path, size_t* pathSize, int* machineWide);
}
