// The texts that GetErrorMessage gives for a code.
#pragma once

#include <string>

#include "vexa/automation.h"

namespace vexa {

// The component's own text for VEXA_E_NOTCONNECTED .. VEXA_E_DEPRECATED, else the system's text
// for the code (with the line break the system ends it with), else empty. Never fails.
std::u16string ErrorText(HRESULT code);

// GetErrorMessage as both front objects expose it: a null out-pointer is S_OK.
HRESULT GetErrorMessageText(HRESULT code, BSTR* out);

}  // namespace vexa
