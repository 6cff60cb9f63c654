// Numbers as OLE converts them for the invariant locale: reading and writing their text, and
// fitting values into the integer types of VARIANT.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "vexa/automation.h"

namespace vexa {

// Wide enough for every value of I8 and UI8 alike.
using WideInt = __int128;

// An integer type of VARIANT: its width in bits and whether it is signed.
struct IntegerType {
    int bits;
    bool isSigned;
};

bool InRange(WideInt value, IntegerType type);
// The value's low bits read as the type (two's complement): how OLE turns VARIANT_TRUE into 255
// for UI1, and "&HFFFF" into -1 for I2.
WideInt Wrap(WideInt value, IntegerType type);

// Rounds to the nearest integer, a half to the even one (2.5 gives 2, 3.5 gives 4).
// DISP_E_OVERFLOW when the result is outside the type or the value is not a number.
HRESULT RoundToInteger(double value, IntegerType type, WideInt& out);

// Number text: spaces around it, an optional sign, digits with optional "," separators, an
// optional "." fraction and an optional exponent ("1e3", "2.5E-2"); or "&H" hexadecimal or "&O"
// octal digits, which may fill the whole width of the type. Anything else, the empty text
// included, is DISP_E_TYPEMISMATCH; a value outside the type is DISP_E_OVERFLOW. A fraction is
// rounded as RoundToInteger does, but on the exact decimal digits.
HRESULT ParseInteger(std::u16string_view text, IntegerType type, WideInt& out);
// The same text as a double; hexadecimal and octal read as unsigned. DISP_E_OVERFLOW beyond the
// range of a double, and a value too small for it reads as 0.
HRESULT ParseReal(std::u16string_view text, double& out);

std::u16string FormatInteger(WideInt value);
// Like "%.*G" with the given significant digits (15 for R8, 7 for R4): "1.5", "1E+20", "1E-05";
// negative zero is "0".
std::u16string FormatReal(double value, int significantDigits);

}  // namespace vexa
