// SAFEARRAY vectors as OLE lays them out: the descriptor and the elements are separate blocks,
// and the element VARTYPE sits in the 4 bytes just before the descriptor (FADF_HAVEVARTYPE).
#pragma once

#include <memory>
#include <span>

#include "automation/bstr.h"
#include "vexa/automation.h"

namespace vexa {

struct SafeArrayDeleter {
    void operator()(SAFEARRAY* psa) const noexcept { SafeArrayDestroy(psa); }
};
// Owns an array until it is handed out with release().
using SafeArrayPtr = std::unique_ptr<SAFEARRAY, SafeArrayDeleter>;

// A BSTR vector with lower bound 0, each element a copy; null when memory runs out.
SAFEARRAY* MakeBstrVector(std::span<const Bstr> items);

// Writes VT_ARRAY | VT_BSTR holding a new vector of copies into out (which holds nothing that
// needs freeing). On failure out is left empty.
HRESULT BstrArrayVariant(std::span<const Bstr> items, VARIANT* out);

// The Linux runtime's deep copy of a vector made by SafeArrayCreateVector (VariantCopy's): strings
// and VARIANTs copied, interface references added.
HRESULT CopySafeArray(SAFEARRAY* src, SAFEARRAY** out);

}  // namespace vexa
