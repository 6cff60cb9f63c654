// The automation binary contract: COM's layouts and OLE Automation's types and runtime functions.
// On Linux x86-64 the runtime functions are exported from VexaComponent32.so with C linkage; on
// Windows they are the system's (oleaut32, ole32), declared here with the same C linkage and
// calling convention, so the module's sources see one set of types on both. Hosts in any language
// bind to these layouts, so nothing here may change shape.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(VEXA_BUILDING_MODULE)
#define VEXA_EXPORT __attribute__((visibility("default")))
#else
#define VEXA_EXPORT
#endif

// COM methods are __stdcall on 32-bit Windows (the only ABI where it differs); every interface
// method and every implementation of one carries it, or a real host's first call crashes.
#ifndef STDMETHODCALLTYPE
#if defined(_WIN32) && defined(__i386__)
#define STDMETHODCALLTYPE __attribute__((stdcall))
#else
#define STDMETHODCALLTYPE
#endif
#endif

// The runtime functions below: ours on Linux, the system's on Windows (__stdcall on 32-bit).
#if defined(_WIN32)
#define VEXA_RUNTIME_API __declspec(dllimport)
#define VEXA_RUNTIME_CALL STDMETHODCALLTYPE
#else
#define VEXA_RUNTIME_API VEXA_EXPORT
#define VEXA_RUNTIME_CALL
#endif

using HRESULT = int32_t;
using SCODE = int32_t;
using ULONG = uint32_t;
using LONG = int32_t;
using INT = int32_t;
using UINT = uint32_t;
using DWORD = uint32_t;
using WORD = uint16_t;
using BYTE = uint8_t;
using SHORT = int16_t;
using USHORT = uint16_t;
using LONGLONG = int64_t;
using ULONGLONG = uint64_t;
using DISPID = int32_t;
using LCID = uint32_t;
using VARTYPE = uint16_t;
using VARIANT_BOOL = int16_t;
using DATE = double;
using OLECHAR = char16_t;
using LPOLESTR = OLECHAR*;
using LPCOLESTR = const OLECHAR*;
using BSTR = OLECHAR*;

constexpr VARIANT_BOOL VARIANT_TRUE = -1;
constexpr VARIANT_BOOL VARIANT_FALSE = 0;

struct GUID {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
};
using IID = GUID;
using CLSID = GUID;
using REFIID = const IID&;
using REFCLSID = const CLSID&;

constexpr bool operator==(const GUID& a, const GUID& b) noexcept {
    if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) return false;
    for (int i = 0; i < 8; ++i)
        if (a.Data4[i] != b.Data4[i]) return false;
    return true;
}
constexpr bool operator!=(const GUID& a, const GUID& b) noexcept { return !(a == b); }

// Parses "XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX" at compile time, so identifiers are written once,
// in the form in which they are published.
constexpr GUID GuidFromString(const char (&s)[37]) {
    auto hex = [](char c) -> uint32_t {
        return c >= '0' && c <= '9'   ? static_cast<uint32_t>(c - '0')
               : c >= 'a' && c <= 'f' ? static_cast<uint32_t>(c - 'a' + 10)
                                      : static_cast<uint32_t>(c - 'A' + 10);
    };
    auto field = [&](int at, int digits) {
        uint32_t v = 0;
        for (int i = 0; i < digits; ++i) v = v * 16 + hex(s[at + i]);
        return v;
    };
    GUID g{field(0, 8), static_cast<uint16_t>(field(9, 4)), static_cast<uint16_t>(field(14, 4)), {}};
    g.Data4[0] = static_cast<uint8_t>(field(19, 2));
    g.Data4[1] = static_cast<uint8_t>(field(21, 2));
    for (int i = 0; i < 6; ++i) g.Data4[2 + i] = static_cast<uint8_t>(field(24 + 2 * i, 2));
    return g;
}

// ---------------------------------------------------------------------------------------------
// HRESULTs
constexpr bool SUCCEEDED(HRESULT hr) noexcept { return hr >= 0; }
constexpr bool FAILED(HRESULT hr) noexcept { return hr < 0; }

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001);
constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002);
constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003);
constexpr HRESULT E_ABORT = static_cast<HRESULT>(0x80004004);
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005);
constexpr HRESULT E_UNEXPECTED = static_cast<HRESULT>(0x8000FFFF);
constexpr HRESULT E_ACCESSDENIED = static_cast<HRESULT>(0x80070005);
constexpr HRESULT E_HANDLE = static_cast<HRESULT>(0x80070006);
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000E);
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057);
constexpr HRESULT CLASS_E_NOAGGREGATION = static_cast<HRESULT>(0x80040110);
constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = static_cast<HRESULT>(0x80040111);
constexpr HRESULT REGDB_E_CLASSNOTREG = static_cast<HRESULT>(0x80040154);
constexpr HRESULT CO_E_CLASSSTRING = static_cast<HRESULT>(0x800401F3);
constexpr HRESULT DISP_E_UNKNOWNINTERFACE = static_cast<HRESULT>(0x80020001);
constexpr HRESULT DISP_E_MEMBERNOTFOUND = static_cast<HRESULT>(0x80020003);
constexpr HRESULT DISP_E_PARAMNOTFOUND = static_cast<HRESULT>(0x80020004);
constexpr HRESULT DISP_E_TYPEMISMATCH = static_cast<HRESULT>(0x80020005);
constexpr HRESULT DISP_E_UNKNOWNNAME = static_cast<HRESULT>(0x80020006);
constexpr HRESULT DISP_E_NONAMEDARGS = static_cast<HRESULT>(0x80020007);
constexpr HRESULT DISP_E_BADVARTYPE = static_cast<HRESULT>(0x80020008);
constexpr HRESULT DISP_E_EXCEPTION = static_cast<HRESULT>(0x80020009);
constexpr HRESULT DISP_E_OVERFLOW = static_cast<HRESULT>(0x8002000A);
constexpr HRESULT DISP_E_BADINDEX = static_cast<HRESULT>(0x8002000B);
constexpr HRESULT DISP_E_UNKNOWNLCID = static_cast<HRESULT>(0x8002000C);
constexpr HRESULT DISP_E_ARRAYISLOCKED = static_cast<HRESULT>(0x8002000D);
constexpr HRESULT DISP_E_BADPARAMCOUNT = static_cast<HRESULT>(0x8002000E);
constexpr HRESULT DISP_E_PARAMNOTOPTIONAL = static_cast<HRESULT>(0x8002000F);
constexpr HRESULT STG_E_INVALIDFUNCTION = static_cast<HRESULT>(0x80030001);
constexpr HRESULT STG_E_INVALIDPOINTER = static_cast<HRESULT>(0x80030009);
constexpr HRESULT STG_E_MEDIUMFULL = static_cast<HRESULT>(0x80030070);

// ---------------------------------------------------------------------------------------------
// VARIANT
enum VARENUM : VARTYPE {
    VT_EMPTY = 0,
    VT_NULL = 1,
    VT_I2 = 2,
    VT_I4 = 3,
    VT_R4 = 4,
    VT_R8 = 5,
    VT_CY = 6,
    VT_DATE = 7,
    VT_BSTR = 8,
    VT_DISPATCH = 9,
    VT_ERROR = 10,
    VT_BOOL = 11,
    VT_VARIANT = 12,
    VT_UNKNOWN = 13,
    VT_DECIMAL = 14,
    VT_I1 = 16,
    VT_UI1 = 17,
    VT_UI2 = 18,
    VT_UI4 = 19,
    VT_I8 = 20,
    VT_UI8 = 21,
    VT_INT = 22,
    VT_UINT = 23,
    VT_RECORD = 36,
    VT_ARRAY = 0x2000,
    VT_BYREF = 0x4000,
    VT_TYPEMASK = 0x0FFF,
};

// VariantChangeType flags.
constexpr USHORT VARIANT_NOVALUEPROP = 0x01;
constexpr USHORT VARIANT_ALPHABOOL = 0x02;

struct IUnknown;
struct IDispatch;
struct IRecordInfo;
struct SAFEARRAY;
struct VARIANT;

struct VARIANT {
    VARTYPE vt;
    WORD wReserved1;
    WORD wReserved2;
    WORD wReserved3;
    union {
        LONGLONG llVal;
        LONG lVal;
        BYTE bVal;
        SHORT iVal;
        float fltVal;
        double dblVal;
        VARIANT_BOOL boolVal;
        SCODE scode;
        DATE date;
        BSTR bstrVal;
        IUnknown* punkVal;
        IDispatch* pdispVal;
        SAFEARRAY* parray;
        BYTE* pbVal;
        SHORT* piVal;
        LONG* plVal;
        LONGLONG* pllVal;
        float* pfltVal;
        double* pdblVal;
        VARIANT_BOOL* pboolVal;
        SCODE* pscode;
        DATE* pdate;
        BSTR* pbstrVal;
        IUnknown** ppunkVal;
        IDispatch** ppdispVal;
        SAFEARRAY** pparray;
        VARIANT* pvarVal;
        void* byref;
        char cVal;
        USHORT uiVal;
        ULONG ulVal;
        ULONGLONG ullVal;
        INT intVal;
        UINT uintVal;
        char* pcVal;
        USHORT* puiVal;
        ULONG* pulVal;
        ULONGLONG* pullVal;
        INT* pintVal;
        UINT* puintVal;
        struct {
            void* pvRecord;
            IRecordInfo* pRecInfo;
        } record;
    };
};
using VARIANTARG = VARIANT;
static_assert(sizeof(VARIANT) == (sizeof(void*) == 8 ? 24 : 16),
              "VARIANT is 24 bytes on 64-bit, 16 on 32-bit");

// ---------------------------------------------------------------------------------------------
// SAFEARRAY
struct SAFEARRAYBOUND {
    ULONG cElements;
    LONG lLbound;
};

struct SAFEARRAY {
    USHORT cDims;
    USHORT fFeatures;
    ULONG cbElements;
    ULONG cLocks;
    void* pvData;
    SAFEARRAYBOUND rgsabound[1];
};

constexpr USHORT FADF_AUTO = 0x0001;
constexpr USHORT FADF_STATIC = 0x0002;
constexpr USHORT FADF_EMBEDDED = 0x0004;
constexpr USHORT FADF_FIXEDSIZE = 0x0010;
constexpr USHORT FADF_RECORD = 0x0020;
constexpr USHORT FADF_HAVEIID = 0x0040;
constexpr USHORT FADF_HAVEVARTYPE = 0x0080;
constexpr USHORT FADF_BSTR = 0x0100;
constexpr USHORT FADF_UNKNOWN = 0x0200;
constexpr USHORT FADF_DISPATCH = 0x0400;
constexpr USHORT FADF_VARIANT = 0x0800;

// ---------------------------------------------------------------------------------------------
// Dispatch structures
constexpr DISPID DISPID_UNKNOWN = -1;
constexpr DISPID DISPID_VALUE = 0;
constexpr DISPID DISPID_PROPERTYPUT = -3;
constexpr DISPID DISPID_NEWENUM = -4;

constexpr WORD DISPATCH_METHOD = 0x1;
constexpr WORD DISPATCH_PROPERTYGET = 0x2;
constexpr WORD DISPATCH_PROPERTYPUT = 0x4;
constexpr WORD DISPATCH_PROPERTYPUTREF = 0x8;

constexpr LCID LOCALE_USER_DEFAULT = 0x0400;
constexpr LCID LOCALE_SYSTEM_DEFAULT = 0x0800;
constexpr LCID LOCALE_INVARIANT = 0x007F;

struct DISPPARAMS {
    VARIANTARG* rgvarg;
    DISPID* rgdispidNamedArgs;
    UINT cArgs;
    UINT cNamedArgs;
};

struct EXCEPINFO {
    WORD wCode;
    WORD wReserved;
    BSTR bstrSource;
    BSTR bstrDescription;
    BSTR bstrHelpFile;
    DWORD dwHelpContext;
    void* pvReserved;
    HRESULT (*pfnDeferredFillIn)(EXCEPINFO*);
    SCODE scode;
};

// ---------------------------------------------------------------------------------------------
// Interfaces: pure virtual members only, no destructor, no data (the vtable is the contract).
inline constexpr IID IID_IUnknown = GuidFromString("00000000-0000-0000-C000-000000000046");
inline constexpr IID IID_IDispatch = GuidFromString("00020400-0000-0000-C000-000000000046");
inline constexpr IID IID_IEnumVARIANT = GuidFromString("00020404-0000-0000-C000-000000000046");
inline constexpr IID IID_IClassFactory = GuidFromString("00000001-0000-0000-C000-000000000046");
inline constexpr IID IID_IStream = GuidFromString("0000000C-0000-0000-C000-000000000046");
inline constexpr IID IID_ISequentialStream = GuidFromString("0C733A30-2A1C-11CE-ADE5-00AA0044773D");
inline constexpr IID IID_IObjectSafety = GuidFromString("CB5BDC81-93C1-11CF-8F20-00805F2CD064");
inline constexpr IID IID_IProvideClassInfo = GuidFromString("B196B283-BAB4-101A-B69C-00AA00341D07");
inline constexpr IID IID_NULL = GuidFromString("00000000-0000-0000-0000-000000000000");

struct ITypeInfo;

struct IUnknown {
    virtual HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) = 0;
    virtual ULONG STDMETHODCALLTYPE AddRef() = 0;
    virtual ULONG STDMETHODCALLTYPE Release() = 0;
};

struct IDispatch : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* pctinfo) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid,
                                                    DISPID* rgDispId) = 0;
    virtual HRESULT STDMETHODCALLTYPE Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags,
                                             DISPPARAMS* pDispParams, VARIANT* pVarResult,
                                             EXCEPINFO* pExcepInfo, UINT* puArgErr) = 0;
};

struct IEnumVARIANT : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Next(ULONG celt, VARIANT* rgVar, ULONG* pCeltFetched) = 0;
    virtual HRESULT STDMETHODCALLTYPE Skip(ULONG celt) = 0;
    virtual HRESULT STDMETHODCALLTYPE Reset() = 0;
    virtual HRESULT STDMETHODCALLTYPE Clone(IEnumVARIANT** ppEnum) = 0;
};

struct IClassFactory : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppvObject) = 0;
    virtual HRESULT STDMETHODCALLTYPE LockServer(int32_t fLock) = 0;
};

constexpr DWORD INTERFACESAFE_FOR_UNTRUSTED_CALLER = 0x00000001;
constexpr DWORD INTERFACESAFE_FOR_UNTRUSTED_DATA = 0x00000002;

struct IObjectSafety : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetInterfaceSafetyOptions(REFIID riid, DWORD* pdwSupportedOptions,
                                                                DWORD* pdwEnabledOptions) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetInterfaceSafetyOptions(REFIID riid, DWORD dwOptionSetMask,
                                                                DWORD dwEnabledOptions) = 0;
};

// The type information of a class (answered by the front objects where the module carries a type
// library, that is on Windows).
struct IProvideClassInfo : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo** ppTI) = 0;
};

// ---------------------------------------------------------------------------------------------
// Streams
union LARGE_INTEGER {
    struct {
        DWORD LowPart;
        LONG HighPart;
    } u;
    LONGLONG QuadPart;
};
union ULARGE_INTEGER {
    struct {
        DWORD LowPart;
        DWORD HighPart;
    } u;
    ULONGLONG QuadPart;
};

struct FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
};

struct STATSTG {
    LPOLESTR pwcsName;
    DWORD type;
    ULARGE_INTEGER cbSize;
    FILETIME mtime;
    FILETIME ctime;
    FILETIME atime;
    DWORD grfMode;
    DWORD grfLocksSupported;
    CLSID clsid;
    DWORD grfStateBits;
    DWORD reserved;
};

constexpr DWORD STREAM_SEEK_SET = 0;
constexpr DWORD STREAM_SEEK_CUR = 1;
constexpr DWORD STREAM_SEEK_END = 2;
constexpr DWORD STGTY_STREAM = 2;
constexpr DWORD STATFLAG_DEFAULT = 0;
constexpr DWORD STATFLAG_NONAME = 1;
constexpr DWORD STGM_READWRITE = 0x00000002;

struct ISequentialStream : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Read(void* pv, ULONG cb, ULONG* pcbRead) = 0;
    virtual HRESULT STDMETHODCALLTYPE Write(const void* pv, ULONG cb, ULONG* pcbWritten) = 0;
};

struct IStream : ISequentialStream {
    virtual HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER dlibMove, DWORD dwOrigin,
                                           ULARGE_INTEGER* plibNewPosition) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER libNewSize) = 0;
    virtual HRESULT STDMETHODCALLTYPE CopyTo(IStream* pstm, ULARGE_INTEGER cb, ULARGE_INTEGER* pcbRead,
                                             ULARGE_INTEGER* pcbWritten) = 0;
    virtual HRESULT STDMETHODCALLTYPE Commit(DWORD grfCommitFlags) = 0;
    virtual HRESULT STDMETHODCALLTYPE Revert() = 0;
    virtual HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER libOffset, ULARGE_INTEGER cb,
                                                 DWORD dwLockType) = 0;
    virtual HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER libOffset, ULARGE_INTEGER cb,
                                                   DWORD dwLockType) = 0;
    virtual HRESULT STDMETHODCALLTYPE Stat(STATSTG* pstatstg, DWORD grfStatFlag) = 0;
    virtual HRESULT STDMETHODCALLTYPE Clone(IStream** ppstm) = 0;
};

// ---------------------------------------------------------------------------------------------
// Runtime functions: exported by the module on Linux, the system's on Windows.
extern "C" {
VEXA_RUNTIME_API BSTR VEXA_RUNTIME_CALL SysAllocString(const OLECHAR* psz);
VEXA_RUNTIME_API BSTR VEXA_RUNTIME_CALL SysAllocStringLen(const OLECHAR* strIn, UINT ui);
VEXA_RUNTIME_API INT VEXA_RUNTIME_CALL SysReAllocString(BSTR* pbstr, const OLECHAR* psz);
VEXA_RUNTIME_API void VEXA_RUNTIME_CALL SysFreeString(BSTR bstrString);
VEXA_RUNTIME_API UINT VEXA_RUNTIME_CALL SysStringLen(BSTR pbstr);
VEXA_RUNTIME_API UINT VEXA_RUNTIME_CALL SysStringByteLen(BSTR bstr);

VEXA_RUNTIME_API void VEXA_RUNTIME_CALL VariantInit(VARIANTARG* pvarg);
VEXA_RUNTIME_API HRESULT VEXA_RUNTIME_CALL VariantClear(VARIANTARG* pvarg);
VEXA_RUNTIME_API HRESULT VEXA_RUNTIME_CALL VariantCopy(VARIANTARG* pvargDest, const VARIANTARG* pvargSrc);
VEXA_RUNTIME_API HRESULT VEXA_RUNTIME_CALL VariantChangeType(VARIANTARG* pvargDest, const VARIANTARG* pvarSrc,
                                                             USHORT wFlags, VARTYPE vt);

VEXA_RUNTIME_API SAFEARRAY* VEXA_RUNTIME_CALL SafeArrayCreateVector(VARTYPE vt, LONG lLbound,
                                                                    ULONG cElements);
VEXA_RUNTIME_API HRESULT VEXA_RUNTIME_CALL SafeArrayDestroy(SAFEARRAY* psa);
VEXA_RUNTIME_API UINT VEXA_RUNTIME_CALL SafeArrayGetDim(SAFEARRAY* psa);
VEXA_RUNTIME_API HRESULT VEXA_RUNTIME_CALL SafeArrayGetLBound(SAFEARRAY* psa, UINT nDim, LONG* plLbound);
VEXA_RUNTIME_API HRESULT VEXA_RUNTIME_CALL SafeArrayGetUBound(SAFEARRAY* psa, UINT nDim, LONG* plUbound);
VEXA_RUNTIME_API HRESULT VEXA_RUNTIME_CALL SafeArrayGetElement(SAFEARRAY* psa, LONG* rgIndices, void* pv);
VEXA_RUNTIME_API HRESULT VEXA_RUNTIME_CALL SafeArrayAccessData(SAFEARRAY* psa, void** ppvData);
VEXA_RUNTIME_API HRESULT VEXA_RUNTIME_CALL SafeArrayUnaccessData(SAFEARRAY* psa);

// On Linux hGlobal must be null: the stream always owns a fresh in-memory buffer.
VEXA_RUNTIME_API HRESULT VEXA_RUNTIME_CALL CreateStreamOnHGlobal(void* hGlobal, int32_t fDeleteOnRelease,
                                                                 IStream** ppstm);
}
