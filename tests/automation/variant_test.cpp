#include "automation/variant.h"

#include <cmath>
#include <cstdio>
#include <gtest/gtest.h>
#include <limits>
#include <string>
#include <vector>

#include "automation/bstr.h"
#include "automation/counting_object.h"
#include "automation/safearray.h"
#include "automation/text.h"

namespace vexa {
namespace {

using testing::CountingObject;

// Values of each type, for the tables.
template <class T>
Variant Make(VARTYPE vt, T VARIANT::*member, T value) {
    Variant v;
    v.vt = vt;
    v.*member = value;
    return v;
}
Variant Empty() { return {}; }
Variant Null() {
    Variant v;
    v.vt = VT_NULL;
    return v;
}
Variant I1(int x) { return Make<char>(VT_I1, &VARIANT::cVal, static_cast<char>(x)); }
Variant UI1(unsigned x) { return Make<BYTE>(VT_UI1, &VARIANT::bVal, static_cast<BYTE>(x)); }
Variant I2(int x) { return Make<SHORT>(VT_I2, &VARIANT::iVal, static_cast<SHORT>(x)); }
Variant UI2(unsigned x) { return Make<USHORT>(VT_UI2, &VARIANT::uiVal, static_cast<USHORT>(x)); }
Variant I4(LONG x) { return Make<LONG>(VT_I4, &VARIANT::lVal, x); }
Variant UI4(ULONG x) { return Make<ULONG>(VT_UI4, &VARIANT::ulVal, x); }
Variant Int(INT x) { return Make<INT>(VT_INT, &VARIANT::intVal, x); }
Variant UInt(UINT x) { return Make<UINT>(VT_UINT, &VARIANT::uintVal, x); }
Variant I8(LONGLONG x) { return Make<LONGLONG>(VT_I8, &VARIANT::llVal, x); }
Variant UI8(ULONGLONG x) { return Make<ULONGLONG>(VT_UI8, &VARIANT::ullVal, x); }
Variant R4(float x) { return Make<float>(VT_R4, &VARIANT::fltVal, x); }
Variant R8(double x) { return Make<double>(VT_R8, &VARIANT::dblVal, x); }
Variant Date(double x) { return Make<DATE>(VT_DATE, &VARIANT::date, x); }
Variant Bool(bool x) {
    return Make<VARIANT_BOOL>(VT_BOOL, &VARIANT::boolVal, x ? VARIANT_TRUE : VARIANT_FALSE);
}
Variant Error(SCODE x) { return Make<SCODE>(VT_ERROR, &VARIANT::scode, x); }
Variant Str(std::u16string_view s) { return Make<BSTR>(VT_BSTR, &VARIANT::bstrVal, Bstr(s).Detach()); }
Variant NullStr() { return Make<BSTR>(VT_BSTR, &VARIANT::bstrVal, nullptr); }

// A readable form of a value, so that tables compare and print it.
std::string Describe(const VARIANT& v) {
    char buf[64];
    switch (v.vt) {
        case VT_EMPTY:
            return "EMPTY";
        case VT_NULL:
            return "NULL";
        case VT_I1:
            return "I1:" + std::to_string(static_cast<signed char>(v.cVal));
        case VT_UI1:
            return "UI1:" + std::to_string(v.bVal);
        case VT_I2:
            return "I2:" + std::to_string(v.iVal);
        case VT_UI2:
            return "UI2:" + std::to_string(v.uiVal);
        case VT_I4:
            return "I4:" + std::to_string(v.lVal);
        case VT_UI4:
            return "UI4:" + std::to_string(v.ulVal);
        case VT_INT:
            return "INT:" + std::to_string(v.intVal);
        case VT_UINT:
            return "UINT:" + std::to_string(v.uintVal);
        case VT_I8:
            return "I8:" + std::to_string(v.llVal);
        case VT_UI8:
            return "UI8:" + std::to_string(v.ullVal);
        case VT_BOOL:
            return "BOOL:" + std::to_string(v.boolVal);
        case VT_ERROR:
            return "ERROR:" + std::to_string(v.scode);
        case VT_R4:
            std::snprintf(buf, sizeof buf, "R4:%.9g", v.fltVal);
            return buf;
        case VT_R8:
            std::snprintf(buf, sizeof buf, "R8:%.17g", v.dblVal);
            return buf;
        case VT_DATE:
            std::snprintf(buf, sizeof buf, "DATE:%.17g", v.date);
            return buf;
        case VT_BSTR:
            return v.bstrVal ? "BSTR:\"" + ToUtf8(Bstr(v.bstrVal).View()) + "\"" : "BSTR:null";
        default:
            std::snprintf(buf, sizeof buf, "vt %u", v.vt);
            return buf;
    }
}

struct Conversion {
    Variant from;
    VARTYPE to;
    HRESULT hr;
    Variant expected;  // when hr is S_OK
    USHORT flags = 0;
};

void Check(const std::vector<Conversion>& cases) {
    for (const Conversion& c : cases) {
        SCOPED_TRACE(Describe(c.from) + " to vt " + std::to_string(c.to));
        Variant out = I4(-12345);
        EXPECT_EQ(VariantChangeType(&out, &c.from, c.flags, c.to), c.hr);
        // On failure the destination is as it was.
        EXPECT_EQ(Describe(out), Describe(SUCCEEDED(c.hr) ? c.expected : I4(-12345)));
    }
}

TEST(VariantChangeTypeTest, IntegersOverflowAtEachTypesEdges) {
    Check({
        {I4(127), VT_I1, S_OK, I1(127)},
        {I4(128), VT_I1, DISP_E_OVERFLOW, {}},
        {I4(-128), VT_I1, S_OK, I1(-128)},
        {I4(-129), VT_I1, DISP_E_OVERFLOW, {}},
        {I4(255), VT_UI1, S_OK, UI1(255)},
        {I4(256), VT_UI1, DISP_E_OVERFLOW, {}},
        {I4(-1), VT_UI1, DISP_E_OVERFLOW, {}},
        {I1(-1), VT_UI1, DISP_E_OVERFLOW, {}},
        {I4(32767), VT_I2, S_OK, I2(32767)},
        {I4(32768), VT_I2, DISP_E_OVERFLOW, {}},
        {I4(-32769), VT_I2, DISP_E_OVERFLOW, {}},
        {I4(65535), VT_UI2, S_OK, UI2(65535)},
        {I4(65536), VT_UI2, DISP_E_OVERFLOW, {}},
        {I2(-1), VT_UI2, DISP_E_OVERFLOW, {}},
        {I8(2147483647), VT_I4, S_OK, I4(2147483647)},
        {I8(2147483648), VT_I4, DISP_E_OVERFLOW, {}},
        {I8(-2147483648LL), VT_I4, S_OK, I4(-2147483647 - 1)},
        {I8(-2147483649LL), VT_I4, DISP_E_OVERFLOW, {}},
        {UI4(4294967295u), VT_I4, DISP_E_OVERFLOW, {}},
        {UI4(4294967295u), VT_I8, S_OK, I8(4294967295LL)},
        {I4(-1), VT_UI4, DISP_E_OVERFLOW, {}},
        {I8(4294967296LL), VT_UI4, DISP_E_OVERFLOW, {}},
        {UI8(9223372036854775808ull), VT_I8, DISP_E_OVERFLOW, {}},
        {UI8(9223372036854775807ull), VT_I8, S_OK, I8(9223372036854775807LL)},
        {I8(-1), VT_UI8, DISP_E_OVERFLOW, {}},
        {I8(std::numeric_limits<LONGLONG>::min()), VT_R8, S_OK, R8(-9223372036854775808.0)},
        {UI8(std::numeric_limits<ULONGLONG>::max()), VT_R8, S_OK, R8(18446744073709551615.0)},
        {I4(-5), VT_INT, S_OK, Int(-5)},
        {I4(-5), VT_UINT, DISP_E_OVERFLOW, {}},
        {UInt(4000000000u), VT_UI4, S_OK, UI4(4000000000u)},
        {UInt(4000000000u), VT_INT, DISP_E_OVERFLOW, {}},
        {Int(-7), VT_I2, S_OK, I2(-7)},
        {UI1(200), VT_I1, DISP_E_OVERFLOW, {}},
        {UI1(200), VT_I2, S_OK, I2(200)},
    });
}

TEST(VariantChangeTypeTest, FloatingValuesRoundHalfToEven) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    Check({
        {R8(2.5), VT_I4, S_OK, I4(2)},
        {R8(3.5), VT_I4, S_OK, I4(4)},
        {R8(-2.5), VT_I4, S_OK, I4(-2)},
        {R8(-3.5), VT_I4, S_OK, I4(-4)},
        {R8(0.5), VT_I4, S_OK, I4(0)},
        {R8(1.5), VT_I4, S_OK, I4(2)},
        {R8(-0.5), VT_I4, S_OK, I4(0)},
        {R8(2.4999999), VT_I4, S_OK, I4(2)},
        {R8(2.5000001), VT_I4, S_OK, I4(3)},
        {R8(-0.4), VT_UI1, S_OK, UI1(0)},
        {R8(-0.5), VT_UI1, S_OK, UI1(0)},
        {R8(-0.51), VT_UI1, DISP_E_OVERFLOW, {}},
        {R8(255.4), VT_UI1, S_OK, UI1(255)},
        {R8(255.5), VT_UI1, DISP_E_OVERFLOW, {}},
        {R8(-128.5), VT_I1, S_OK, I1(-128)},
        {R8(-128.51), VT_I1, DISP_E_OVERFLOW, {}},
        {R8(127.5), VT_I1, DISP_E_OVERFLOW, {}},
        {R8(2147483646.5), VT_I4, S_OK, I4(2147483646)},
        {R8(2147483647.5), VT_I4, DISP_E_OVERFLOW, {}},
        {R8(-2147483648.5), VT_I4, S_OK, I4(-2147483647 - 1)},
        {R8(9223372036854775808.0), VT_I8, DISP_E_OVERFLOW, {}},
        {R8(-9223372036854775808.0), VT_I8, S_OK, I8(std::numeric_limits<LONGLONG>::min())},
        {R8(18446744073709549568.0), VT_UI8, S_OK, UI8(18446744073709549568ull)},
        {R8(18446744073709551616.0), VT_UI8, DISP_E_OVERFLOW, {}},
        {R8(nan), VT_I4, DISP_E_OVERFLOW, {}},
        {R8(inf), VT_I4, DISP_E_OVERFLOW, {}},
        {R8(-inf), VT_I8, DISP_E_OVERFLOW, {}},
        {R4(2.5f), VT_I2, S_OK, I2(2)},
        {R4(-3.5f), VT_I2, S_OK, I2(-4)},
        {R8(1.5), VT_R4, S_OK, R4(1.5f)},
        {R8(1e300), VT_R4, DISP_E_OVERFLOW, {}},
        {R8(-1e300), VT_R4, DISP_E_OVERFLOW, {}},
        {R8(inf), VT_R4, DISP_E_OVERFLOW, {}},
        {R4(0.1f), VT_R8, S_OK, R8(static_cast<double>(0.1f))},
        {I8(16777217), VT_R4, S_OK, R4(16777216.0f)},
        {Date(36526.5), VT_I4, S_OK, I4(36526)},
        {Date(36527.5), VT_I4, S_OK, I4(36528)},
        {Date(-1.25), VT_R8, S_OK, R8(-1.25)},
        {R8(-1.25), VT_DATE, S_OK, Date(-1.25)},
        {I4(36526), VT_DATE, S_OK, Date(36526)},
        {I4(2958465), VT_DATE, S_OK, Date(2958465)},
        {I4(2958466), VT_DATE, DISP_E_OVERFLOW, {}},
        {R8(-657435.0), VT_DATE, DISP_E_OVERFLOW, {}},
        {R8(-657434.5), VT_DATE, S_OK, Date(-657434.5)},
        {R8(nan), VT_DATE, DISP_E_OVERFLOW, {}},
    });
}

TEST(VariantChangeTypeTest, BooleansAreMinusOneOrZero) {
    Check({
        {Bool(true), VT_I4, S_OK, I4(-1)},
        {Bool(false), VT_I4, S_OK, I4(0)},
        {Bool(true), VT_I1, S_OK, I1(-1)},
        {Bool(true), VT_R8, S_OK, R8(-1.0)},
        {Bool(true), VT_DATE, S_OK, Date(-1.0)},
        // Into unsigned types VARIANT_TRUE keeps its bits.
        {Bool(true), VT_UI1, S_OK, UI1(255)},
        {Bool(true), VT_UI2, S_OK, UI2(65535)},
        {Bool(true), VT_UI4, S_OK, UI4(4294967295u)},
        {Bool(true), VT_UI8, S_OK, UI8(std::numeric_limits<ULONGLONG>::max())},
        {Bool(false), VT_UI1, S_OK, UI1(0)},
        {I4(2), VT_BOOL, S_OK, Bool(true)},
        {I4(-7), VT_BOOL, S_OK, Bool(true)},
        {I4(0), VT_BOOL, S_OK, Bool(false)},
        {UI8(1ull << 40), VT_BOOL, S_OK, Bool(true)},
        {R8(0.1), VT_BOOL, S_OK, Bool(true)},
        {R8(-0.0), VT_BOOL, S_OK, Bool(false)},
        {Date(0.5), VT_BOOL, S_OK, Bool(true)},
        {Bool(true), VT_BSTR, S_OK, Str(u"-1")},
        {Bool(false), VT_BSTR, S_OK, Str(u"0")},
        {Bool(true), VT_BSTR, S_OK, Str(u"True"), VARIANT_ALPHABOOL},
        {Bool(false), VT_BSTR, S_OK, Str(u"False"), VARIANT_ALPHABOOL},
        {Str(u"True"), VT_BOOL, S_OK, Bool(true)},
        {Str(u"false"), VT_BOOL, S_OK, Bool(false)},
        {Str(u" TRUE "), VT_BOOL, S_OK, Bool(true)},
        {Str(u"fALSE"), VT_BOOL, S_OK, Bool(false)},
        {Str(u"1"), VT_BOOL, S_OK, Bool(true)},
        {Str(u"-1"), VT_BOOL, S_OK, Bool(true)},
        {Str(u"0"), VT_BOOL, S_OK, Bool(false)},
        {Str(u"0.0"), VT_BOOL, S_OK, Bool(false)},
        {Str(u"0.25"), VT_BOOL, S_OK, Bool(true)},
        {Str(u"yes"), VT_BOOL, DISP_E_TYPEMISMATCH, {}},
        {Str(u"Truee"), VT_BOOL, DISP_E_TYPEMISMATCH, {}},
        {Str(u""), VT_BOOL, DISP_E_TYPEMISMATCH, {}},
    });
}

TEST(VariantChangeTypeTest, TextBecomesNumbersAsOleReadsIt) {
    Check({
        {Str(u" 1,234 "), VT_I4, S_OK, I4(1234)},
        {Str(u"1e3"), VT_I4, S_OK, I4(1000)},
        {Str(u"1.5E+2"), VT_I2, S_OK, I2(150)},
        {Str(u"-5"), VT_I4, S_OK, I4(-5)},
        {Str(u"+5"), VT_I4, S_OK, I4(5)},
        {Str(u"\t42\r\n"), VT_I4, S_OK, I4(42)},
        {Str(u"007"), VT_I4, S_OK, I4(7)},
        {Str(u"2.5"), VT_I4, S_OK, I4(2)},
        {Str(u"3.5"), VT_I4, S_OK, I4(4)},
        {Str(u"-2.5"), VT_I4, S_OK, I4(-2)},
        {Str(u"2.50000000000000000001"), VT_I4, S_OK, I4(3)},
        {Str(u"0.5"), VT_I4, S_OK, I4(0)},
        {Str(u"0.05e1"), VT_I4, S_OK, I4(0)},
        {Str(u"15e-1"), VT_I4, S_OK, I4(2)},
        {Str(u"0.0001"), VT_I4, S_OK, I4(0)},
        {Str(u"-0"), VT_UI1, S_OK, UI1(0)},
        {Str(u"&HFF"), VT_I4, S_OK, I4(255)},
        {Str(u"&hff"), VT_UI1, S_OK, UI1(255)},
        {Str(u"&HFF"), VT_I1, S_OK, I1(-1)},
        {Str(u"&HFFFF"), VT_I2, S_OK, I2(-1)},
        {Str(u"&HFFFF"), VT_I4, S_OK, I4(65535)},
        {Str(u"&H10000"), VT_I2, DISP_E_OVERFLOW, {}},
        {Str(u"&HFFFFFFFF"), VT_I4, S_OK, I4(-1)},
        {Str(u"&HFFFFFFFFFFFFFFFF"), VT_UI8, S_OK, UI8(std::numeric_limits<ULONGLONG>::max())},
        {Str(u"&H10000000000000000"), VT_I8, DISP_E_OVERFLOW, {}},
        {Str(u"&O17"), VT_I4, S_OK, I4(15)},
        {Str(u"&o777"), VT_I2, S_OK, I2(511)},
        {Str(u"&HFF"), VT_R8, S_OK, R8(255)},
        {Str(u"&H"), VT_I4, DISP_E_TYPEMISMATCH, {}},
        {Str(u"&O8"), VT_I4, DISP_E_TYPEMISMATCH, {}},
        {Str(u"&HFG"), VT_I4, DISP_E_TYPEMISMATCH, {}},
        {Str(u"-&H1"), VT_I4, DISP_E_TYPEMISMATCH, {}},
        {Str(u"abc"), VT_I4, DISP_E_TYPEMISMATCH, {}},
        {Str(u""), VT_I4, DISP_E_TYPEMISMATCH, {}},
        {Str(u"   "), VT_I4, DISP_E_TYPEMISMATCH, {}},
        {NullStr(), VT_I4, DISP_E_TYPEMISMATCH, {}},
        {Str(u"1 2"), VT_I4, DISP_E_TYPEMISMATCH, {}},
        {Str(u"12abc"), VT_I4, DISP_E_TYPEMISMATCH, {}},
        {Str(u","), VT_I4, DISP_E_TYPEMISMATCH, {}},
        {Str(u",5"), VT_I4, DISP_E_TYPEMISMATCH, {}},
        {Str(u"."), VT_R8, DISP_E_TYPEMISMATCH, {}},
        {Str(u"-"), VT_R8, DISP_E_TYPEMISMATCH, {}},
        {Str(u"1e"), VT_R8, DISP_E_TYPEMISMATCH, {}},
        {Str(u"e5"), VT_R8, DISP_E_TYPEMISMATCH, {}},
        {Str(u"1.2.3"), VT_R8, DISP_E_TYPEMISMATCH, {}},
        {Str(u"1e3"), VT_ERROR, DISP_E_TYPEMISMATCH, {}},
        {Str(u"127"), VT_I1, S_OK, I1(127)},
        {Str(u"128"), VT_I1, DISP_E_OVERFLOW, {}},
        {Str(u"-1"), VT_UI1, DISP_E_OVERFLOW, {}},
        {Str(u"2147483647"), VT_I4, S_OK, I4(2147483647)},
        {Str(u"2147483648"), VT_I4, DISP_E_OVERFLOW, {}},
        {Str(u"2147483647.5"), VT_I4, DISP_E_OVERFLOW, {}},
        {Str(u"2,147,483,646.5"), VT_I4, S_OK, I4(2147483646)},
        {Str(u"-2147483648"), VT_I4, S_OK, I4(-2147483647 - 1)},
        {Str(u"9223372036854775807"), VT_I8, S_OK, I8(9223372036854775807LL)},
        {Str(u"-9223372036854775808"), VT_I8, S_OK, I8(std::numeric_limits<LONGLONG>::min())},
        {Str(u"9223372036854775808"), VT_I8, DISP_E_OVERFLOW, {}},
        {Str(u"18446744073709551615"), VT_UI8, S_OK, UI8(std::numeric_limits<ULONGLONG>::max())},
        {Str(u"18446744073709551616"), VT_UI8, DISP_E_OVERFLOW, {}},
        {Str(u"1e30"), VT_I8, DISP_E_OVERFLOW, {}},
        {Str(u"1e999999999999999999"), VT_I4, DISP_E_OVERFLOW, {}},
        {Str(u"1.5"), VT_R8, S_OK, R8(1.5)},
        {Str(u".5"), VT_R8, S_OK, R8(0.5)},
        {Str(u"5."), VT_R8, S_OK, R8(5.0)},
        {Str(u"1,234.5"), VT_R8, S_OK, R8(1234.5)},
        {Str(u"-1.5E-2"), VT_R8, S_OK, R8(-0.015)},
        {Str(u"0.1"), VT_R8, S_OK, R8(0.1)},
        {Str(u"123456789012345678901234567890"), VT_R8, S_OK, R8(1.2345678901234568e29)},
        {Str(u"1e308"), VT_R8, S_OK, R8(1e308)},
        {Str(u"1e309"), VT_R8, DISP_E_OVERFLOW, {}},
        {Str(u"1e-400"), VT_R8, S_OK, R8(0.0)},
        {Str(u"3.4e38"), VT_R4, S_OK, R4(3.4e38f)},
        {Str(u"3.5e38"), VT_R4, DISP_E_OVERFLOW, {}},
        {Str(u"0.1"), VT_R4, S_OK, R4(0.1f)},
    });
}

TEST(VariantChangeTypeTest, NumbersBecomeInvariantText) {
    Check({
        {I4(-2147483647 - 1), VT_BSTR, S_OK, Str(u"-2147483648")},
        {I1(-5), VT_BSTR, S_OK, Str(u"-5")},
        {UI1(255), VT_BSTR, S_OK, Str(u"255")},
        {I8(std::numeric_limits<LONGLONG>::min()), VT_BSTR, S_OK, Str(u"-9223372036854775808")},
        {UI8(std::numeric_limits<ULONGLONG>::max()), VT_BSTR, S_OK, Str(u"18446744073709551615")},
        {UInt(0), VT_BSTR, S_OK, Str(u"0")},
        {R8(1.5), VT_BSTR, S_OK, Str(u"1.5")},
        {R8(-2.5), VT_BSTR, S_OK, Str(u"-2.5")},
        {R8(100), VT_BSTR, S_OK, Str(u"100")},
        {R8(1e20), VT_BSTR, S_OK, Str(u"1E+20")},
        {R8(1e-5), VT_BSTR, S_OK, Str(u"1E-05")},
        {R8(0.1), VT_BSTR, S_OK, Str(u"0.1")},
        {R8(-0.0), VT_BSTR, S_OK, Str(u"0")},
        {R8(1.0 / 3), VT_BSTR, S_OK, Str(u"0.333333333333333")},
        {R8(123456789012345678.0), VT_BSTR, S_OK, Str(u"1.23456789012346E+17")},
        {R8(123456789012345.0), VT_BSTR, S_OK, Str(u"123456789012345")},
        {R4(0.1f), VT_BSTR, S_OK, Str(u"0.1")},
        {R4(1.5f), VT_BSTR, S_OK, Str(u"1.5")},
        {R4(1234567.0f), VT_BSTR, S_OK, Str(u"1234567")},
        {R4(3.14159274f), VT_BSTR, S_OK, Str(u"3.141593")},
        {Str(u"text"), VT_BSTR, S_OK, Str(u"text")},
        {NullStr(), VT_BSTR, S_OK, NullStr()},
    });
}

TEST(VariantChangeTypeTest, DatesUseTheInvariantForms) {
    Check({
        {Date(36526.5), VT_BSTR, S_OK, Str(u"01/01/2000 12:00:00")},
        {Date(36526.0), VT_BSTR, S_OK, Str(u"01/01/2000")},
        {Date(0.5), VT_BSTR, S_OK, Str(u"12:00:00")},
        {Date(0.0), VT_BSTR, S_OK, Str(u"00:00:00")},
        {Date(-1.25), VT_BSTR, S_OK, Str(u"12/29/1899 06:00:00")},
        {Date(1e10), VT_BSTR, E_INVALIDARG, {}},
        {Str(u"01/01/2000 12:00:00"), VT_DATE, S_OK, Date(36526.5)},
        {Str(u"2000-01-01"), VT_DATE, S_OK, Date(36526.0)},
        {Str(u"2000-01-01 12:00"), VT_DATE, S_OK, Date(36526.5)},
        {Str(u"2000-01-01 12:00:00"), VT_DATE, S_OK, Date(36526.5)},
        {Str(u"12:00:00"), VT_DATE, S_OK, Date(0.5)},
        {Str(u"12/29/1899 06:00:00"), VT_DATE, S_OK, Date(-1.25)},
        {Str(u"02/30/2000"), VT_DATE, DISP_E_TYPEMISMATCH, {}},
        {Str(u"hello"), VT_DATE, DISP_E_TYPEMISMATCH, {}},
        {Str(u"２０００-01-01"), VT_DATE, DISP_E_TYPEMISMATCH, {}},
        {Date(36526.5), VT_DATE, S_OK, Date(36526.5)},
    });
}

TEST(VariantChangeTypeTest, EmptyNullAndErrorRules) {
    Check({
        {Empty(), VT_I4, S_OK, I4(0)},
        {Empty(), VT_UI1, S_OK, UI1(0)},
        {Empty(), VT_R8, S_OK, R8(0)},
        {Empty(), VT_DATE, S_OK, Date(0)},
        {Empty(), VT_BOOL, S_OK, Bool(false)},
        {Empty(), VT_BSTR, S_OK, Str(u"")},
        {Empty(), VT_NULL, S_OK, Null()},
        {Empty(), VT_EMPTY, S_OK, Empty()},
        {Null(), VT_NULL, S_OK, Null()},
        {Null(), VT_EMPTY, S_OK, Empty()},
        {Null(), VT_I4, DISP_E_TYPEMISMATCH, {}},
        {Null(), VT_BSTR, DISP_E_TYPEMISMATCH, {}},
        {Null(), VT_BOOL, DISP_E_TYPEMISMATCH, {}},
        {Null(), VT_DISPATCH, DISP_E_TYPEMISMATCH, {}},
        {I4(5), VT_EMPTY, S_OK, Empty()},
        {Str(u"x"), VT_EMPTY, S_OK, Empty()},
        {Error(5), VT_EMPTY, S_OK, Empty()},
        {I4(5), VT_NULL, S_OK, Null()},
        {Error(5), VT_ERROR, S_OK, Error(5)},
        {Error(5), VT_I4, DISP_E_TYPEMISMATCH, {}},
        {Error(5), VT_BSTR, DISP_E_TYPEMISMATCH, {}},
        {Error(5), VT_NULL, DISP_E_TYPEMISMATCH, {}},
        {I4(5), VT_ERROR, DISP_E_TYPEMISMATCH, {}},
        {I4(5), VT_DISPATCH, DISP_E_TYPEMISMATCH, {}},
        {Str(u"x"), VT_UNKNOWN, DISP_E_TYPEMISMATCH, {}},
    });
}

TEST(VariantChangeTypeTest, UnsupportedTypesAreBadVarType) {
    Variant cy;
    cy.vt = VT_CY;
    Check({
        {I4(1), VT_CY, DISP_E_BADVARTYPE, {}},
        {I4(1), VT_DECIMAL, DISP_E_BADVARTYPE, {}},
        {I4(1), VT_RECORD, DISP_E_BADVARTYPE, {}},
        {I4(1), VT_VARIANT, DISP_E_BADVARTYPE, {}},
        {I4(1), VT_BYREF | VT_I4, DISP_E_BADVARTYPE, {}},
        {I4(1), 0x0FFF, DISP_E_BADVARTYPE, {}},
        {I4(1), 0x1000 | VT_I4, DISP_E_BADVARTYPE, {}},
        {cy, VT_I4, DISP_E_BADVARTYPE, {}},
        {cy, VT_BSTR, DISP_E_BADVARTYPE, {}},
    });
    VARIANT garbage;
    VariantInit(&garbage);
    garbage.vt = 0x0FFF;
    Variant out = I4(1);
    EXPECT_EQ(VariantChangeType(&out, &garbage, 0, VT_I4), DISP_E_BADVARTYPE);
    EXPECT_EQ(VariantChangeType(&out, &garbage, 0, VT_EMPTY), DISP_E_BADVARTYPE);
    EXPECT_EQ(Describe(out), "I4:1");
    EXPECT_EQ(VariantChangeType(nullptr, &out, 0, VT_I4), E_INVALIDARG);
    EXPECT_EQ(VariantChangeType(&out, nullptr, 0, VT_I4), E_INVALIDARG);
}

TEST(VariantChangeTypeTest, ReferencesAreReadThrough) {
    LONG number = 300;
    Variant ref;
    ref.vt = VT_BYREF | VT_I4;
    ref.plVal = &number;
    Variant out;
    ASSERT_EQ(VariantChangeType(&out, &ref, 0, VT_I2), S_OK);
    EXPECT_EQ(Describe(out), "I2:300");
    EXPECT_EQ(VariantChangeType(&out, &ref, 0, VT_UI1), DISP_E_OVERFLOW);
    ASSERT_EQ(VariantChangeType(&out, &ref, 0, VT_BSTR), S_OK);
    EXPECT_EQ(Describe(out), "BSTR:\"300\"");

    // The referenced string stays the caller's.
    Bstr text(u"42");
    BSTR held = text.Get();
    Variant textRef;
    textRef.vt = VT_BYREF | VT_BSTR;
    textRef.pbstrVal = &held;
    ASSERT_EQ(VariantChangeType(&out, &textRef, 0, VT_I4), S_OK);
    EXPECT_EQ(Describe(out), "I4:42");
    ASSERT_EQ(VariantChangeType(&out, &textRef, 0, VT_BSTR), S_OK);
    EXPECT_NE(out.bstrVal, text.Get());
    EXPECT_EQ(Describe(out), "BSTR:\"42\"");
    EXPECT_EQ(text.View(), u"42");

    // A VARIANT reference, also to another reference.
    Variant inner = R8(2.5);
    Variant varRef;
    varRef.vt = VT_BYREF | VT_VARIANT;
    varRef.pvarVal = &inner;
    ASSERT_EQ(VariantChangeType(&out, &varRef, 0, VT_I4), S_OK);
    EXPECT_EQ(Describe(out), "I4:2");
    Variant refInside;
    refInside.vt = VT_BYREF | VT_I4;
    refInside.plVal = &number;
    varRef.pvarVal = &refInside;
    ASSERT_EQ(VariantChangeType(&out, &varRef, 0, VT_R8), S_OK);
    EXPECT_EQ(Describe(out), "R8:300");

    // Two VARIANT references deep, or a null reference, is refused.
    Variant outer;
    outer.vt = VT_BYREF | VT_VARIANT;
    outer.pvarVal = &varRef;
    EXPECT_EQ(VariantChangeType(&out, &outer, 0, VT_I4), E_INVALIDARG);
    Variant nullRef;
    nullRef.vt = VT_BYREF | VT_I4;
    EXPECT_EQ(VariantChangeType(&out, &nullRef, 0, VT_I4), E_INVALIDARG);
    EXPECT_EQ(Describe(out), "R8:300");

    // Converting a reference in place leaves the referenced value alone.
    ASSERT_EQ(VariantChangeType(&ref, &ref, 0, VT_BSTR), S_OK);
    EXPECT_EQ(Describe(ref), "BSTR:\"300\"");
    EXPECT_EQ(number, 300);
}

TEST(VariantChangeTypeTest, ConvertsInPlace) {
    Variant v = Str(u" 123 ");
    ASSERT_EQ(VariantChangeType(&v, &v, 0, VT_I4), S_OK);
    EXPECT_EQ(Describe(v), "I4:123");
    ASSERT_EQ(VariantChangeType(&v, &v, 0, VT_BSTR), S_OK);
    EXPECT_EQ(Describe(v), "BSTR:\"123\"");
    ASSERT_EQ(VariantChangeType(&v, &v, 0, VT_BSTR), S_OK);
    EXPECT_EQ(Describe(v), "BSTR:\"123\"");
    ASSERT_EQ(VariantChangeType(&v, &v, 0, VT_EMPTY), S_OK);
    EXPECT_EQ(Describe(v), "EMPTY");
}

TEST(VariantChangeTypeTest, FailureLeavesTheDestinationAsItWas) {
    Variant dest = Str(u"keep");
    const BSTR kept = dest.bstrVal;
    const Variant src = Str(u"abc");
    EXPECT_EQ(VariantChangeType(&dest, &src, 0, VT_I4), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(dest.vt, VT_BSTR);
    EXPECT_EQ(dest.bstrVal, kept);

    Variant inPlace = Str(u"abc");
    const BSTR original = inPlace.bstrVal;
    EXPECT_EQ(VariantChangeType(&inPlace, &inPlace, 0, VT_I4), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(inPlace.vt, VT_BSTR);
    EXPECT_EQ(inPlace.bstrVal, original);

    Variant overflow = I4(300);
    EXPECT_EQ(VariantChangeType(&overflow, &overflow, 0, VT_I1), DISP_E_OVERFLOW);
    EXPECT_EQ(Describe(overflow), "I4:300");
}

// An object whose value (DISPID_VALUE) is a VARIANT it holds, or a failure.
class ValueObject final : public CountingObject {
public:
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO*, UINT*) override {
        ++calls;
        if (id != DISPID_VALUE || riid != IID_NULL || flags != DISPATCH_PROPERTYGET || !params ||
            params->cArgs != 0 || !result)
            return DISP_E_MEMBERNOTFOUND;
        if (FAILED(failure)) return failure;
        return VariantCopy(result, &value);
    }

    int calls = 0;
    HRESULT failure = S_OK;
    Variant value;
};

// An object that is not an IDispatch.
class PlainUnknown final : public IUnknown {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        *ppv = nullptr;
        if (riid != IID_IUnknown) return E_NOINTERFACE;
        AddRef();
        *ppv = this;
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }

    ULONG refs = 1;
};

Variant Dispatch(IDispatch* p) {
    if (p) p->AddRef();
    return Make<IDispatch*>(VT_DISPATCH, &VARIANT::pdispVal, p);
}
Variant Unknown(IUnknown* p) {
    if (p) p->AddRef();
    return Make<IUnknown*>(VT_UNKNOWN, &VARIANT::punkVal, p);
}

TEST(VariantChangeTypeTest, InterfacesConvertByQueryInterface) {
    CountingObject object;
    {
        const Variant d = Dispatch(&object);
        Variant u;
        ASSERT_EQ(VariantChangeType(&u, &d, 0, VT_UNKNOWN), S_OK);
        EXPECT_EQ(u.vt, VT_UNKNOWN);
        EXPECT_EQ(u.punkVal, static_cast<IUnknown*>(&object));
        EXPECT_EQ(object.refs, 3u);
        Variant back;
        ASSERT_EQ(VariantChangeType(&back, &u, 0, VT_DISPATCH), S_OK);
        EXPECT_EQ(back.pdispVal, &object);
        Variant same;
        ASSERT_EQ(VariantChangeType(&same, &d, 0, VT_DISPATCH), S_OK);
        EXPECT_EQ(object.refs, 5u);
        // In place, the old reference goes and the new one stays.
        ASSERT_EQ(VariantChangeType(&u, &u, 0, VT_DISPATCH), S_OK);
        EXPECT_EQ(u.vt, VT_DISPATCH);
        EXPECT_EQ(object.refs, 5u);
        ASSERT_EQ(VariantChangeType(&u, &u, 0, VT_EMPTY), S_OK);
        EXPECT_EQ(object.refs, 4u);
    }
    EXPECT_EQ(object.refs, 1u);

    // Null stays null.
    const Variant none = Dispatch(nullptr);
    Variant out;
    ASSERT_EQ(VariantChangeType(&out, &none, 0, VT_UNKNOWN), S_OK);
    EXPECT_EQ(out.vt, VT_UNKNOWN);
    EXPECT_EQ(out.punkVal, nullptr);

    // A refusal is passed on and nothing is kept.
    PlainUnknown plain;
    {
        const Variant u = Unknown(&plain);
        Variant d = I4(1);
        EXPECT_EQ(VariantChangeType(&d, &u, 0, VT_DISPATCH), E_NOINTERFACE);
        EXPECT_EQ(Describe(d), "I4:1");
        EXPECT_EQ(VariantChangeType(&d, &u, 0, VT_I4), DISP_E_TYPEMISMATCH);
    }
    EXPECT_EQ(plain.refs, 1u);
}

TEST(VariantChangeTypeTest, ObjectsConvertThroughTheirValueProperty) {
    ValueObject object;
    {
        const Variant d = Dispatch(&object);
        Variant out;
        object.value = I4(42);
        ASSERT_EQ(VariantChangeType(&out, &d, 0, VT_BSTR), S_OK);
        EXPECT_EQ(Describe(out), "BSTR:\"42\"");
        EXPECT_EQ(object.calls, 1);

        object.value = Str(u"7");
        ASSERT_EQ(VariantChangeType(&out, &d, 0, VT_I4), S_OK);
        EXPECT_EQ(Describe(out), "I4:7");
        object.value = Str(u"300");
        EXPECT_EQ(VariantChangeType(&out, &d, 0, VT_UI1), DISP_E_OVERFLOW);
        object.value = Str(u"x");
        EXPECT_EQ(VariantChangeType(&out, &d, 0, VT_I4), DISP_E_TYPEMISMATCH);
        EXPECT_EQ(Describe(out), "I4:7");

        object.failure = E_FAIL;
        EXPECT_EQ(VariantChangeType(&out, &d, 0, VT_I4), DISP_E_TYPEMISMATCH);
        object.failure = S_OK;

        const int before = object.calls;
        object.value = I4(1);
        EXPECT_EQ(VariantChangeType(&out, &d, VARIANT_NOVALUEPROP, VT_I4), DISP_E_TYPEMISMATCH);
        EXPECT_EQ(object.calls, before);

        // An object that is its own value does not loop.
        object.value = Dispatch(&object);
        EXPECT_EQ(VariantChangeType(&out, &d, 0, VT_I4), DISP_E_TYPEMISMATCH);
        object.value.Clear();

        const Variant none = Dispatch(nullptr);
        EXPECT_EQ(VariantChangeType(&out, &none, 0, VT_I4), DISP_E_TYPEMISMATCH);
    }
    EXPECT_EQ(object.refs, 1u);
}

SAFEARRAY* StringArray(std::initializer_list<const char16_t*> items) {
    SAFEARRAY* psa = SafeArrayCreateVector(VT_BSTR, 0, static_cast<ULONG>(items.size()));
    auto* slots = static_cast<BSTR*>(psa->pvData);
    for (const char16_t* s : items) *slots++ = SysAllocString(s);
    return psa;
}

TEST(VariantClearTest, ReleasesWhatTheVariantOwns) {
    CountingObject object;
    const std::vector<Variant> owning = {Str(u"text"), Dispatch(&object), Unknown(&object)};
    EXPECT_EQ(object.refs, 3u);
    for (Variant v : owning) {  // each a copy, cleared here
        EXPECT_EQ(VariantClear(&v), S_OK);
        EXPECT_EQ(v.vt, VT_EMPTY);
    }
    EXPECT_EQ(object.refs, 3u);

    // A reference owns nothing.
    IDispatch* held = &object;
    Variant ref;
    ref.vt = VT_BYREF | VT_DISPATCH;
    ref.ppdispVal = &held;
    EXPECT_EQ(VariantClear(&ref), S_OK);
    EXPECT_EQ(ref.vt, VT_EMPTY);
    EXPECT_EQ(object.refs, 3u);

    Variant array;
    array.vt = VT_ARRAY | VT_BSTR;
    array.parray = StringArray({u"a", u"b"});
    EXPECT_EQ(VariantClear(&array), S_OK);
    EXPECT_EQ(array.vt, VT_EMPTY);

    EXPECT_EQ(VariantClear(nullptr), E_INVALIDARG);
}

TEST(VariantClearTest, UnknownTypesAndLockedArraysAreLeftAlone) {
    for (VARTYPE vt : {VARTYPE{0x0FFF}, VARTYPE{VT_RECORD}, VARTYPE(VT_BYREF | VT_EMPTY), VARTYPE{VT_VARIANT},
                       VARTYPE(0x8000 | VT_I4)}) {
        VARIANT v;
        VariantInit(&v);
        v.vt = vt;
        v.lVal = 7;
        EXPECT_EQ(VariantClear(&v), DISP_E_BADVARTYPE) << vt;
        EXPECT_EQ(v.vt, vt);
        EXPECT_EQ(v.lVal, 7);
    }

    Variant array;
    array.vt = VT_ARRAY | VT_BSTR;
    array.parray = StringArray({u"a"});
    void* data = nullptr;
    ASSERT_EQ(SafeArrayAccessData(array.parray, &data), S_OK);
    EXPECT_EQ(VariantClear(&array), DISP_E_ARRAYISLOCKED);
    EXPECT_EQ(array.vt, VT_ARRAY | VT_BSTR);
    ASSERT_EQ(SafeArrayUnaccessData(array.parray), S_OK);
}

TEST(VariantCopyTest, CopiesOwnTheirContent) {
    const Variant text = Str(u"hello");
    Variant copy;
    ASSERT_EQ(VariantCopy(&copy, &text), S_OK);
    EXPECT_NE(copy.bstrVal, text.bstrVal);
    EXPECT_EQ(Describe(copy), "BSTR:\"hello\"");

    const Variant nullText = NullStr();
    ASSERT_EQ(VariantCopy(&copy, &nullText), S_OK);
    EXPECT_EQ(Describe(copy), "BSTR:null");

    CountingObject object;
    {
        const Variant d = Dispatch(&object);
        Variant c1;
        ASSERT_EQ(VariantCopy(&c1, &d), S_OK);
        EXPECT_EQ(c1.pdispVal, &object);
        EXPECT_EQ(object.refs, 3u);
        // The destination's old content is released.
        ASSERT_EQ(VariantCopy(&c1, &text), S_OK);
        EXPECT_EQ(object.refs, 2u);
        // Copying onto itself changes nothing.
        Variant self = Dispatch(&object);
        EXPECT_EQ(VariantCopy(&self, &self), S_OK);
        EXPECT_EQ(self.pdispVal, &object);
        EXPECT_EQ(object.refs, 3u);
    }
    EXPECT_EQ(object.refs, 1u);

    // A reference is copied as the pointer.
    LONG number = 5;
    Variant ref;
    ref.vt = VT_BYREF | VT_I4;
    ref.plVal = &number;
    ASSERT_EQ(VariantCopy(&copy, &ref), S_OK);
    EXPECT_EQ(copy.vt, VT_BYREF | VT_I4);
    EXPECT_EQ(copy.plVal, &number);

    for (const Variant& v : {I8(-3), R8(2.5), Date(-1.25), Bool(true), Error(9), Null(), Empty()}) {
        ASSERT_EQ(VariantCopy(&copy, &v), S_OK);
        EXPECT_EQ(Describe(copy), Describe(v));
    }
}

TEST(VariantCopyTest, RefusesBadTypesAndNullArguments) {
    Variant dest = Str(u"keep");
    VARIANT bad;
    VariantInit(&bad);
    bad.vt = 0x0FFF;
    EXPECT_EQ(VariantCopy(&dest, &bad), DISP_E_BADVARTYPE);
    EXPECT_EQ(Describe(dest), "BSTR:\"keep\"");
    EXPECT_EQ(VariantCopy(nullptr, &dest), E_INVALIDARG);
    EXPECT_EQ(VariantCopy(&dest, nullptr), E_INVALIDARG);
}

TEST(VariantCopyTest, ArraysAreCopiedDeeply) {
    Variant strings;
    strings.vt = VT_ARRAY | VT_BSTR;
    strings.parray = StringArray({u"one", u"two"});
    Variant copy;
    ASSERT_EQ(VariantCopy(&copy, &strings), S_OK);
    ASSERT_EQ(copy.vt, VT_ARRAY | VT_BSTR);
    ASSERT_NE(copy.parray, strings.parray);
    const auto* from = static_cast<BSTR*>(strings.parray->pvData);
    const auto* to = static_cast<BSTR*>(copy.parray->pvData);
    for (int i = 0; i < 2; ++i) {
        EXPECT_NE(to[i], from[i]);
        EXPECT_EQ(Bstr(to[i]).View(), Bstr(from[i]).View());
    }

    CountingObject object;
    {
        Variant variants;
        variants.vt = VT_ARRAY | VT_VARIANT;
        variants.parray = SafeArrayCreateVector(VT_VARIANT, 1, 2);
        auto* items = static_cast<VARIANT*>(variants.parray->pvData);
        Dispatch(&object).MoveTo(&items[0]);
        Str(u"inner").MoveTo(&items[1]);
        Variant deep;
        ASSERT_EQ(VariantCopy(&deep, &variants), S_OK);
        EXPECT_EQ(object.refs, 3u);
        LONG lower = 0;
        ASSERT_EQ(SafeArrayGetLBound(deep.parray, 1, &lower), S_OK);
        EXPECT_EQ(lower, 1);

        // The source may live inside the destination.
        ASSERT_EQ(VariantCopy(&variants, &items[1]), S_OK);
        EXPECT_EQ(Describe(variants), "BSTR:\"inner\"");
        EXPECT_EQ(object.refs, 2u);
    }
    EXPECT_EQ(object.refs, 1u);

    Variant nullArray;
    nullArray.vt = VT_ARRAY | VT_I4;
    ASSERT_EQ(VariantCopy(&copy, &nullArray), S_OK);
    EXPECT_EQ(copy.vt, VT_ARRAY | VT_I4);
    EXPECT_EQ(copy.parray, nullptr);

    // Converting an array to its own type copies it; to anything else is a mismatch.
    ASSERT_EQ(VariantChangeType(&copy, &strings, 0, VT_ARRAY | VT_BSTR), S_OK);
    EXPECT_NE(copy.parray, strings.parray);
    EXPECT_EQ(VariantChangeType(&copy, &strings, 0, VT_BSTR), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(VariantChangeType(&copy, &strings, 0, VT_ARRAY | VT_I4), DISP_E_TYPEMISMATCH);
}

}  // namespace
}  // namespace vexa
