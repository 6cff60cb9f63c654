// Hosts build against the public headers with C++17: this compiles every one of them so, and works
// out dates with the calendar while compiling, as a host may.
#include "vexa/VexaComponent.h"
#include "vexa/activation.h"
#include "vexa/automation.h"
#include "vexa/calendar.h"
#include "vexa/com_ptr.h"

namespace {

constexpr vexa::DateParts PartsOf(DATE date) {
    vexa::DateParts parts;
    vexa::DateToParts(date, parts);
    return parts;
}

constexpr DATE DateOf(const vexa::DateParts& parts) {
    DATE date = -1e300;
    vexa::PartsToDate(parts, date);
    return date;
}

static_assert(PartsOf(-1.25) == vexa::DateParts{1899, 12, 29, 6, 0, 0});
static_assert(PartsOf(2958465.999994) == vexa::DateParts{9999, 12, 31, 23, 59, 59});
static_assert(PartsOf(2958465.999999) == vexa::DateParts{});
static_assert(DateOf({1899, 12, 28, 18, 0, 0}) == -2.75);
static_assert(DateOf({2023, 2, 29, 0, 0, 0}) == -1e300);
static_assert(vexa::FormatDate(45356.58829861111).text[18] == '9' && vexa::FormatDate(3e6).text[0] == '\0');

}  // namespace
