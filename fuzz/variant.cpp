// VariantChangeType from a BSTR holding the input (UTF-8 made UTF-16) to each numeric, date and
// bool type. A failed conversion leaves the destination as it was, converting in place gives what
// converting into another VARIANT gives, and a value converts to text and that text back: to the
// same value for integers and bools, and for reals and dates (whose text is rounded) to one that
// writes the same text again; only the largest doubles' rounded text is too large to read.
#include "automation/variant.h"

#include <array>
#include <cmath>

#include "automation/bstr.h"
#include "automation/text.h"
#include "fuzz_support.h"

namespace {

using namespace vexa;

enum class Exactness { kValue, kText };

struct Target {
    VARTYPE vt;
    Exactness exactness;
};

constexpr std::array kTargets = {
    Target{VT_I1, Exactness::kValue},   Target{VT_I2, Exactness::kValue},   Target{VT_I4, Exactness::kValue},
    Target{VT_I8, Exactness::kValue},   Target{VT_UI1, Exactness::kValue},  Target{VT_UI2, Exactness::kValue},
    Target{VT_UI4, Exactness::kValue},  Target{VT_UI8, Exactness::kValue},  Target{VT_INT, Exactness::kValue},
    Target{VT_UINT, Exactness::kValue}, Target{VT_BOOL, Exactness::kValue}, Target{VT_R4, Exactness::kText},
    Target{VT_R8, Exactness::kText},    Target{VT_DATE, Exactness::kText},
};

// Doubles this large may write "1.79769313486232E+308", above the largest one.
constexpr double kLargestR8Text = 1.7976931348623e308;

// Every numeric member of the union lies in its first eight bytes, and a conversion's result
// starts out all zero.
bool SameValue(const VARIANT& a, const VARIANT& b) { return a.vt == b.vt && a.llVal == b.llVal; }

bool SameText(const VARIANT& a, const VARIANT& b) {
    return a.vt == VT_BSTR && b.vt == VT_BSTR &&
           std::u16string_view(a.bstrVal, SysStringLen(a.bstrVal)) ==
               std::u16string_view(b.bstrVal, SysStringLen(b.bstrVal));
}

Variant TextVariant(std::u16string_view text) {
    Variant v;
    v.vt = VT_BSTR;
    v.bstrVal = Bstr(text).Detach();
    return v;
}

// The value's text and back again.
void CheckRoundTrip(const Variant& value, const Target& target, USHORT flags) {
    using fuzz::Check;
    Variant text;
    Check(SUCCEEDED(VariantChangeType(&text, &value, flags, VT_BSTR)), "a converted value has a text");
    Variant back;
    const HRESULT hr = VariantChangeType(&back, &text, flags, target.vt);
    // A double within rounding of the largest one writes a text above it (15 digits, as OLE
    // writes them), which reads as an overflow.
    if (hr == DISP_E_OVERFLOW && target.vt == VT_R8 && std::fabs(value.dblVal) > kLargestR8Text) return;
    Check(SUCCEEDED(hr), "a value's own text converts back");
    if (target.exactness == Exactness::kValue) {
        Check(SameValue(back, value), "a value's own text converts back to it");
        return;
    }
    Variant again;
    Check(SUCCEEDED(VariantChangeType(&again, &back, flags, VT_BSTR)), "a value read back has a text");
    Check(SameText(again, text), "a value read back from its text writes the same text");
}

void CheckConversion(const Variant& source, const Target& target) {
    using fuzz::Check;
    Variant value;
    const HRESULT hr = VariantChangeType(&value, &source, 0, target.vt);
    Variant inPlace = source;
    Check(VariantChangeType(&inPlace, &inPlace, 0, target.vt) == hr, "in place converts alike");
    if (FAILED(hr)) {
        Check(value.vt == VT_EMPTY, "a failed conversion leaves the destination as it was");
        Check(SameText(inPlace, source), "a failed conversion in place leaves the source as it was");
        return;
    }
    Check(value.vt == target.vt, "a conversion gives the type asked for");
    Check(SameValue(inPlace, value), "in place converts to the same value");
    CheckRoundTrip(value, target, 0);
    if (target.vt == VT_BOOL) CheckRoundTrip(value, target, VARIANT_ALPHABOOL);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const Variant source = TextVariant(Utf16FromUtf8(vexa::fuzz::AsText(data, size)));
    for (const Target& target : kTargets) CheckConversion(source, target);
    return 0;
}
