#include "automation/type_information.h"

namespace vexa {

HRESULT TypeInformation(REFIID, ITypeInfo** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    return DISP_E_BADINDEX;
}

// The stand-in keeps no error information on threads.
void DropThreadErrorInformation() {}

}  // namespace vexa
