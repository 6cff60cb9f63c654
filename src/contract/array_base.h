// The module-wide ArrayBase: the index of a collection's first element (0 or 1).
#pragma once

#include "vexa/automation.h"

namespace vexa {

LONG ArrayBase();
// Accepts 0 and 1 only; anything else is E_INVALIDARG and keeps the setting.
HRESULT SetArrayBase(LONG value);

}  // namespace vexa
