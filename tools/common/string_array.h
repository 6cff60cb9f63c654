// Arrays of strings that the component hands out (ImageURLs, UserPhoneNumbers): a VARIANT of
// VT_ARRAY | VT_BSTR holding a one-dimensional SAFEARRAY.
#pragma once

#include <string>
#include <vector>

#include "vexa_module.h"

namespace vexa_host {

// The strings in array order. The VARIANT is cleared with the module's VariantClear whatever it
// holds; anything but an array of strings gives an empty list.
std::vector<std::u16string> TakeStringArray(const VexaModule& module, VARIANT& value);

}  // namespace vexa_host
