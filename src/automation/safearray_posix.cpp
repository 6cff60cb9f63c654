// The Linux stand-in's SAFEARRAY runtime.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "automation/safearray.h"
#include "automation/variant.h"

namespace {

// Room before the descriptor; it keeps the descriptor 16-byte aligned and its last 4 bytes hold
// the element VARTYPE.
constexpr size_t kPrefix = 16;
constexpr size_t kVartypeSize = sizeof(DWORD);

struct ElementKind {
    USHORT feature;
    ULONG size;
};

bool DescribeElement(VARTYPE vt, ElementKind& kind) {
    switch (vt) {
        case VT_BSTR:
            kind = {FADF_BSTR, sizeof(BSTR)};
            return true;
        case VT_VARIANT:
            kind = {FADF_VARIANT, sizeof(VARIANT)};
            return true;
        case VT_DISPATCH:
            kind = {FADF_DISPATCH, sizeof(IDispatch*)};
            return true;
        case VT_UNKNOWN:
            kind = {FADF_UNKNOWN, sizeof(IUnknown*)};
            return true;
        case VT_I4:
            kind = {0, sizeof(LONG)};
            return true;
        case VT_UI1:
            kind = {0, sizeof(BYTE)};
            return true;
        default:
            return false;
    }
}

unsigned char* BlockOf(SAFEARRAY* psa) { return reinterpret_cast<unsigned char*>(psa) - kPrefix; }

VARTYPE StoredVartype(SAFEARRAY* psa) {
    DWORD vt;
    std::memcpy(&vt, BlockOf(psa) + kPrefix - kVartypeSize, kVartypeSize);
    return static_cast<VARTYPE>(vt);
}

size_t ElementCount(const SAFEARRAY* psa) {
    if (psa->cDims == 0) return 0;
    const SAFEARRAYBOUND* bounds = psa->rgsabound;
    size_t n = 1;
    for (USHORT i = 0; i < psa->cDims; ++i) n *= bounds[i].cElements;
    return n;
}

unsigned char* ElementAt(SAFEARRAY* psa, size_t index) {
    return static_cast<unsigned char*>(psa->pvData) + index * psa->cbElements;
}

void ReleaseElements(SAFEARRAY* psa) {
    if (!psa->pvData) return;
    const size_t n = ElementCount(psa);
    for (size_t i = 0; i < n; ++i) {
        unsigned char* at = ElementAt(psa, i);
        if (psa->fFeatures & FADF_BSTR) {
            BSTR s;
            std::memcpy(&s, at, sizeof s);
            SysFreeString(s);
        } else if (psa->fFeatures & FADF_VARIANT) {
            VariantClear(reinterpret_cast<VARIANT*>(at));
        } else if (psa->fFeatures & (FADF_UNKNOWN | FADF_DISPATCH)) {
            IUnknown* p;
            std::memcpy(&p, at, sizeof p);
            if (p) p->Release();
        }
    }
}

// Copies one element into dest as SafeArrayGetElement hands it out: its own string, its own
// VARIANT, its own interface reference.
HRESULT CopyElement(SAFEARRAY* psa, size_t index, void* dest) {
    unsigned char* at = ElementAt(psa, index);
    if (psa->fFeatures & FADF_BSTR) {
        BSTR s;
        std::memcpy(&s, at, sizeof s);
        return vexa::CopyBstrOut(s, static_cast<BSTR*>(dest));
    }
    if (psa->fFeatures & FADF_VARIANT) {
        auto* v = static_cast<VARIANT*>(dest);
        VariantInit(v);
        return VariantCopy(v, reinterpret_cast<const VARIANT*>(at));
    }
    if (psa->fFeatures & (FADF_UNKNOWN | FADF_DISPATCH)) {
        IUnknown* p;
        std::memcpy(&p, at, sizeof p);
        if (p) p->AddRef();
        std::memcpy(dest, &p, sizeof p);
        return S_OK;
    }
    std::memcpy(dest, at, psa->cbElements);
    return S_OK;
}

// Bounds are stored last dimension first, as OLE stores them.
const SAFEARRAYBOUND* BoundOf(SAFEARRAY* psa, UINT nDim) {
    const SAFEARRAYBOUND* bounds = psa->rgsabound;
    return &bounds[psa->cDims - nDim];
}

}  // namespace

// Called by hosts, so nothing may throw: these use only C allocation and copies and the
// runtime's own BSTR and VARIANT functions.
extern "C" {

SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, LONG lLbound, ULONG cElements) {
    ElementKind kind;
    if (!DescribeElement(vt, kind)) return nullptr;
    // The upper bound has to be a LONG too.
    const int64_t upper = int64_t{lLbound} + cElements - 1;
    if (upper > std::numeric_limits<LONG>::max() || upper < std::numeric_limits<LONG>::min()) return nullptr;

    auto* block = static_cast<unsigned char*>(std::calloc(1, kPrefix + sizeof(SAFEARRAY)));
    if (!block) return nullptr;
    // Never a null data pointer, so a host may access an empty array like any other.
    void* data = std::calloc(cElements ? cElements : 1, kind.size);
    if (!data) {
        std::free(block);
        return nullptr;
    }
    const DWORD hidden = vt;
    std::memcpy(block + kPrefix - kVartypeSize, &hidden, kVartypeSize);
    auto* psa = reinterpret_cast<SAFEARRAY*>(block + kPrefix);
    psa->cDims = 1;
    psa->fFeatures = static_cast<USHORT>(FADF_HAVEVARTYPE | kind.feature);
    psa->cbElements = kind.size;
    psa->cLocks = 0;
    psa->pvData = data;
    psa->rgsabound[0] = {cElements, lLbound};
    return psa;
}

HRESULT SafeArrayDestroy(SAFEARRAY* psa) {
    if (!psa) return S_OK;
    if (psa->cLocks > 0) return DISP_E_ARRAYISLOCKED;
    ReleaseElements(psa);
    std::free(psa->pvData);
    std::free(BlockOf(psa));
    return S_OK;
}

UINT SafeArrayGetDim(SAFEARRAY* psa) { return psa ? psa->cDims : 0; }

HRESULT SafeArrayGetLBound(SAFEARRAY* psa, UINT nDim, LONG* plLbound) {
    if (!psa || !plLbound) return E_INVALIDARG;
    if (nDim == 0 || nDim > psa->cDims) return DISP_E_BADINDEX;
    *plLbound = BoundOf(psa, nDim)->lLbound;
    return S_OK;
}

HRESULT SafeArrayGetUBound(SAFEARRAY* psa, UINT nDim, LONG* plUbound) {
    if (!psa || !plUbound) return E_INVALIDARG;
    if (nDim == 0 || nDim > psa->cDims) return DISP_E_BADINDEX;
    const SAFEARRAYBOUND* b = BoundOf(psa, nDim);
    *plUbound = static_cast<LONG>(int64_t{b->lLbound} + b->cElements - 1);
    return S_OK;
}

HRESULT SafeArrayGetElement(SAFEARRAY* psa, LONG* rgIndices, void* pv) {
    if (!psa || !rgIndices || !pv) return E_INVALIDARG;
    // Only vectors are made here.
    if (psa->cDims != 1) return DISP_E_BADINDEX;
    const int64_t at = int64_t{rgIndices[0]} - psa->rgsabound[0].lLbound;
    if (at < 0 || at >= psa->rgsabound[0].cElements) return DISP_E_BADINDEX;
    return CopyElement(psa, static_cast<size_t>(at), pv);
}

HRESULT SafeArrayAccessData(SAFEARRAY* psa, void** ppvData) {
    if (!psa || !ppvData) return E_INVALIDARG;
    if (psa->cLocks == std::numeric_limits<ULONG>::max()) return E_UNEXPECTED;
    ++psa->cLocks;
    *ppvData = psa->pvData;
    return S_OK;
}

HRESULT SafeArrayUnaccessData(SAFEARRAY* psa) {
    if (!psa) return E_INVALIDARG;
    if (psa->cLocks == 0) return E_UNEXPECTED;
    --psa->cLocks;
    return S_OK;
}

}  // extern "C"

namespace vexa {

HRESULT CopySafeArray(SAFEARRAY* src, SAFEARRAY** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!src) return S_OK;
    if (src->cDims != 1 || !(src->fFeatures & FADF_HAVEVARTYPE)) return E_INVALIDARG;
    const SAFEARRAYBOUND bound = src->rgsabound[0];
    SafeArrayPtr copy(SafeArrayCreateVector(StoredVartype(src), bound.lLbound, bound.cElements));
    if (!copy) return E_OUTOFMEMORY;
    // Slots not yet written are zero (null, VT_EMPTY), so an early return frees only the copies.
    for (size_t i = 0; i < bound.cElements; ++i) {
        const HRESULT hr = CopyElement(src, i, ElementAt(copy.get(), i));
        if (FAILED(hr)) return hr;
    }
    *out = copy.release();
    return S_OK;
}

}  // namespace vexa
