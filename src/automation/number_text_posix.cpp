#include <charconv>
#include <cmath>
#include <cstdint>
#include <string>

#include "automation/number_text.h"

namespace vexa {

namespace {

// Every digit of a UI8 fits in this many decimal digits; longer integer parts overflow anyway.
constexpr int64_t kMaxIntegerDigits = 20;
// Exponents are saturated here: beyond it every value overflows or reads as 0 anyway.
constexpr int64_t kExponentLimit = 100000;

WideInt MinOf(IntegerType t) { return t.isSigned ? -(WideInt{1} << (t.bits - 1)) : 0; }
WideInt MaxOf(IntegerType t) {
    return t.isSigned ? (WideInt{1} << (t.bits - 1)) - 1 : (WideInt{1} << t.bits) - 1;
}

bool IsSpace(char16_t c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); }
bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

// Number text taken apart. Decimal: the value is digits × 10^exponent, digits holding no
// leading or trailing zeros (empty for zero). Hexadecimal or octal: the value is radixValue.
struct ScannedNumber {
    bool negative = false;
    bool radix = false;
    uint64_t radixValue = 0;
    std::string digits;
    int64_t exponent = 0;
};

HRESULT ScanRadix(std::u16string_view s, ScannedNumber& n) {
    if (s.size() < 3) return DISP_E_TYPEMISMATCH;
    const char16_t kind = s[1];
    const unsigned shift = (kind == u'H' || kind == u'h') ? 4 : (kind == u'O' || kind == u'o') ? 3 : 0;
    if (shift == 0) return DISP_E_TYPEMISMATCH;
    n.radix = true;
    for (char16_t c : s.substr(2)) {
        unsigned digit;
        if (IsDigit(c))
            digit = c - u'0';
        else if (shift == 4 && c >= u'a' && c <= u'f')
            digit = c - u'a' + 10;
        else if (shift == 4 && c >= u'A' && c <= u'F')
            digit = c - u'A' + 10;
        else
            return DISP_E_TYPEMISMATCH;
        if (digit >= (1u << shift)) return DISP_E_TYPEMISMATCH;
        if (n.radixValue >> (64 - shift)) return DISP_E_OVERFLOW;
        n.radixValue = (n.radixValue << shift) | digit;
    }
    return S_OK;
}

HRESULT Scan(std::u16string_view text, ScannedNumber& n) {
    while (!text.empty() && IsSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsSpace(text.back())) text.remove_suffix(1);
    if (text.empty()) return DISP_E_TYPEMISMATCH;
    if (text[0] == u'&') return ScanRadix(text, n);

    size_t i = 0;
    if (text[i] == u'+' || text[i] == u'-') n.negative = text[i++] == u'-';
    bool anyDigit = false;
    int64_t fractionDigits = 0;
    for (; i < text.size(); ++i) {
        if (IsDigit(text[i])) {
            n.digits += static_cast<char>(text[i]);
            anyDigit = true;
        } else if (text[i] != u',' || !anyDigit) {
            break;
        }
    }
    if (i < text.size() && text[i] == u'.') {
        for (++i; i < text.size() && IsDigit(text[i]); ++i) {
            n.digits += static_cast<char>(text[i]);
            ++fractionDigits;
            anyDigit = true;
        }
    }
    if (!anyDigit) return DISP_E_TYPEMISMATCH;
    if (i < text.size() && (text[i] == u'e' || text[i] == u'E')) {
        ++i;
        bool negativeExponent = false;
        if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) negativeExponent = text[i++] == u'-';
        if (i == text.size() || !IsDigit(text[i])) return DISP_E_TYPEMISMATCH;
        int64_t e = 0;
        for (; i < text.size() && IsDigit(text[i]); ++i)
            e = std::min(e * 10 + (text[i] - u'0'), kExponentLimit);
        n.exponent = negativeExponent ? -e : e;
    }
    if (i != text.size()) return DISP_E_TYPEMISMATCH;

    n.exponent -= fractionDigits;
    const size_t first = n.digits.find_first_not_of('0');
    if (first == std::string::npos) {
        n.digits.clear();
        n.exponent = 0;
        return S_OK;
    }
    const size_t last = n.digits.find_last_not_of('0');
    n.exponent += static_cast<int64_t>(n.digits.size() - 1 - last);
    n.digits = n.digits.substr(first, last + 1 - first);
    return S_OK;
}

}  // namespace

bool InRange(WideInt value, IntegerType type) { return value >= MinOf(type) && value <= MaxOf(type); }

WideInt Wrap(WideInt value, IntegerType type) {
    const WideInt span = WideInt{1} << type.bits;
    WideInt low = value & (span - 1);
    if (type.isSigned && low > MaxOf(type)) low -= span;
    return low;
}

HRESULT RoundToInteger(double value, IntegerType type, WideInt& out) {
    // Beyond this every double is a whole number and every type overflows anyway.
    constexpr double kBeyondEveryType = 0x1p100;
    if (!(std::fabs(value) < kBeyondEveryType)) return DISP_E_OVERFLOW;
    const double below = std::floor(value);
    const double fraction = value - below;
    auto rounded = static_cast<WideInt>(below);
    if (fraction > 0.5 || (fraction == 0.5 && (rounded & 1) != 0)) ++rounded;
    if (!InRange(rounded, type)) return DISP_E_OVERFLOW;
    out = rounded;
    return S_OK;
}

HRESULT ParseInteger(std::u16string_view text, IntegerType type, WideInt& out) {
    ScannedNumber n;
    if (HRESULT hr = Scan(text, n); FAILED(hr)) return hr;
    if (n.radix) {
        const WideInt raw = n.radixValue;
        // Hexadecimal fills the type's width: "&HFF" is -1 as I1, 255 as UI1 or I2.
        if (raw >> type.bits) return DISP_E_OVERFLOW;
        out = Wrap(raw, type);
        return S_OK;
    }
    WideInt value = 0;
    if (!n.digits.empty()) {
        const auto count = static_cast<int64_t>(n.digits.size());
        const int64_t integerDigits = count + n.exponent;
        if (integerDigits > kMaxIntegerDigits) return DISP_E_OVERFLOW;
        for (int64_t k = 0; k < integerDigits; ++k) value = value * 10 + (k < count ? n.digits[k] - '0' : 0);
        // The digits end in a non-zero one, so any digit past the first dropped one makes the
        // dropped part more than a half when that first one is 5.
        if (integerDigits >= 0 && integerDigits < count) {
            const char firstDropped = n.digits[integerDigits];
            const bool moreDropped = integerDigits + 1 < count;
            if (firstDropped > '5' || (firstDropped == '5' && (moreDropped || (value & 1) != 0))) ++value;
        }
    }
    if (n.negative) value = -value;
    if (!InRange(value, type)) return DISP_E_OVERFLOW;
    out = value;
    return S_OK;
}

HRESULT ParseReal(std::u16string_view text, double& out) {
    ScannedNumber n;
    if (HRESULT hr = Scan(text, n); FAILED(hr)) return hr;
    if (n.radix) {
        out = static_cast<double>(n.radixValue);
        return S_OK;
    }
    if (n.digits.empty()) {
        out = 0.0;
        return S_OK;
    }
    const std::string literal = n.digits + "e" + std::to_string(n.exponent);
    double value = 0.0;
    const auto [end, ec] = std::from_chars(literal.data(), literal.data() + literal.size(), value);
    if (ec == std::errc::result_out_of_range) {
        // The position of the leading digit tells overflow from underflow.
        if (static_cast<int64_t>(n.digits.size()) + n.exponent > 0) return DISP_E_OVERFLOW;
        value = 0.0;
    } else if (ec != std::errc() || end != literal.data() + literal.size()) {
        return DISP_E_TYPEMISMATCH;
    }
    out = n.negative ? -value : value;
    return S_OK;
}

std::u16string FormatInteger(WideInt value) {
    char16_t buf[48];
    char16_t* p = buf + sizeof buf / sizeof buf[0];
    const bool negative = value < 0;
    do {
        const auto digit = static_cast<int>(value % 10);
        *--p = static_cast<char16_t>(u'0' + (negative ? -digit : digit));
        value /= 10;
    } while (value != 0);
    if (negative) *--p = u'-';
    return {p, buf + sizeof buf / sizeof buf[0]};
}

std::u16string FormatReal(double value, int significantDigits) {
    if (value == 0) return u"0";
    char buf[64];
    const auto [end, ec] =
        std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, significantDigits);
    std::u16string out;
    if (ec != std::errc()) return out;
    for (const char* p = buf; p != end; ++p) {
        const char c = *p;
        out += static_cast<char16_t>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    }
    return out;
}

}  // namespace vexa
