// The few OLE Automation calls of the system's own that only the Windows side makes, declared in
// the module's types (the system's headers cannot be included beside them).
#pragma once

#include "vexa/automation.h"

struct IErrorInfo;

// Only the members before and including the one called are declared; the rest of the vtable is
// never reached through this declaration.
struct ITypeLib : IUnknown {
    virtual UINT STDMETHODCALLTYPE GetTypeInfoCount() = 0;
    virtual HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, ITypeInfo** ppTInfo) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetTypeInfoType(UINT index, int32_t* pTKind) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetTypeInfoOfGuid(REFIID guid, ITypeInfo** ppTInfo) = 0;
};

// A type information whose own members the module never calls.
struct ITypeInfo : IUnknown {};

constexpr int32_t REGKIND_NONE = 2;

extern "C" {
VEXA_RUNTIME_API HRESULT VEXA_RUNTIME_CALL LoadTypeLibEx(LPCOLESTR szFile, int32_t regkind,
                                                         ITypeLib** pptlib);
VEXA_RUNTIME_API HRESULT VEXA_RUNTIME_CALL SetErrorInfo(ULONG dwReserved, IErrorInfo* perrinfo);
}
