// The type information of the module's interfaces and classes, where the module carries a type
// library (on Windows, as resource 1); the Linux stand-in has none and answers without.
#pragma once

#include "vexa/automation.h"

namespace vexa {

#if defined(_WIN32)
inline constexpr bool kCarriesTypeLibrary = true;
#else
inline constexpr bool kCarriesTypeLibrary = false;
#endif

// The type information of an interface or class of the library; DISP_E_BADINDEX without a type
// library. out is cleared first.
HRESULT TypeInformation(REFIID guid, ITypeInfo** out);

// Error information left on the thread by an earlier call, whoever made it, must not pass for a
// failure of ours: dropped before a failure is reported to an automation caller.
void DropThreadErrorInformation();

}  // namespace vexa
