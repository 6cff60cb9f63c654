#include "contract/log_list.h"

#include <algorithm>
#include <cstdio>

#include "automation/out_param.h"

namespace vexa {

std::span<const DispEntry> LogList::DispatchMembers() {
    using M = Members<LogList>;
    static constexpr DispEntry rows[] = {
        M::Get<&ILogList::get_Date>("Date", 1),
        M::Put<&ILogList::put_Date>("Date", 1),
        M::Get<&ILogList::get_Index>("Index", 2),
        M::Put<&ILogList::put_Index>("Index", 2),
        M::Get<&ILogList::get_Message>("Message", 3),
        M::Get<&ILogList::get_SendMode>("SendMode", 4),
        M::Get<&ILogList::get_ReceiverPhone>("ReceiverPhone", 5),
        M::Get<&ILogList::get_ReturnPhone>("ReturnPhone", 6),
        M::Get<&ILogList::get_CountTotal>("CountTotal", 7),
        M::Get<&ILogList::get_CountSucceed>("CountSucceed", 8),
        M::Get<&ILogList::get_CountFailure>("CountFailure", 9),
        M::Get<&ILogList::get_SendTime>("SendTime", 10),
        M::Get<&ILogList2::get_WriteTime>("WriteTime", 11),
        M::Get<&ILogList3::get_Type>("Type", 12),
    };
    return rows;
}

// Only a month key fits: exactly six characters.
HRESULT LogList::put_Date(BSTR newVal) noexcept {
    if (SysStringLen(newVal) != 6) return E_INVALIDARG;
    return AssignBstr(f_.date, newVal);
}

HRESULT LogList::get_SendMode(VEXA_SENDMODE* pVal) noexcept { return CopyOut(f_.sendMode, pVal); }
HRESULT LogList::get_CountTotal(LONG* pVal) noexcept { return CopyOut(f_.countTotal, pVal); }
HRESULT LogList::get_CountSucceed(LONG* pVal) noexcept { return CopyOut(f_.countSucceed, pVal); }
HRESULT LogList::get_CountFailure(LONG* pVal) noexcept { return CopyOut(f_.countFailure, pVal); }
HRESULT LogList::get_SendTime(DATE* pVal) noexcept { return CopyOut(f_.sendTime, pVal); }
HRESULT LogList::get_WriteTime(DATE* pVal) noexcept { return CopyOut(f_.writeTime, pVal); }
HRESULT LogList::get_Type(VEXA_MESSAGE_TYPE* pVal) noexcept { return CopyOut(f_.type, pVal); }

bool IsValidYearMonth(LONG year, LONG month) {
    return year >= 1 && year <= 9999 && month >= 1 && month <= 12;
}

Bstr MonthKey(LONG year, LONG month) {
    char text[16];
    std::snprintf(text, sizeof text, "%04d%02d", static_cast<int>(year), static_cast<int>(month));
    char16_t wide[6];
    std::copy(text, text + 6, wide);
    return Bstr(std::u16string_view(wide, 6));
}

std::span<const DispEntry> LogLists::DispatchMembers() {
    using M = Members<LogLists>;
    static constexpr auto rows =
        JoinRows(CollectionRows<LogLists, ILogLists>(), std::array{
                                                            M::Method<&ILogLists::Add>("Add", 2),
                                                            M::Method<&ILogLists::Remove>("Remove", 3),
                                                            M::Method<&ILogLists::AddDirect>("AddDirect", 4),
                                                        });
    return rows;
}

HRESULT LogLists::AddDirect(LONG Year, LONG Month, BSTR Index) noexcept {
    if (restOwned_) return VEXA_E_DEPRECATED;
    if (!IsValidYearMonth(Year, Month)) return E_INVALIDARG;
    ComPtr<LogList> list = LogList::Make();
    if (!list) return E_OUTOFMEMORY;
    list->Fill().date = MonthKey(Year, Month);
    list->Fill().index = Bstr(Index);
    return AddObject(list);
}

}  // namespace vexa
