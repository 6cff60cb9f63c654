#include "string_array.h"

namespace vexa_host {

namespace {

// Clears a VARIANT that the module filled, on every path out of a scope.
class VariantGuard {
public:
    VariantGuard(const VexaModule& module, VARIANT& value) : module_(module), value_(value) {}
    ~VariantGuard() { module_.VariantClear(&value_); }
    VariantGuard(const VariantGuard&) = delete;
    VariantGuard& operator=(const VariantGuard&) = delete;

private:
    const VexaModule& module_;
    VARIANT& value_;
};

}  // namespace

std::vector<std::u16string> TakeStringArray(const VexaModule& module, VARIANT& value) {
    const VariantGuard guard(module, value);
    std::vector<std::u16string> strings;
    SAFEARRAY* array = value.parray;
    if (value.vt != (VT_ARRAY | VT_BSTR) || !array || array->cDims != 1) return strings;
    const LONG first = array->rgsabound[0].lLbound;
    const ULONG count = array->rgsabound[0].cElements;
    strings.reserve(count);
    for (ULONG i = 0; i < count; ++i) {
        LONG index = first + static_cast<LONG>(i);
        // The element comes out as a copy of its own, which the module frees.
        ModuleString element(module);
        if (module.SafeArrayGetElement(array, &index, element.Out()) < 0) continue;
        strings.push_back(element.Text());
    }
    return strings;
}

}  // namespace vexa_host
