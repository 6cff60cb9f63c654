#include "contract/send_result.h"

#include "automation/out_param.h"
#include "contract/array_base.h"
#include "contract/log_list.h"

namespace vexa {

// MakeLogList is reachable through the dual interface only.
std::span<const DispEntry> SendResult::DispatchMembers() {
    using M = Members<SendResult>;
    static constexpr DispEntry rows[] = {
        M::Get<&ISendResult::get_Phone>("Phone", 1), M::Get<&ISendResult::get_Result>("Result", 2),
        M::Get<&ISendResult::get_Date>("Date", 3),   M::Get<&ISendResult::get_Index>("Index", 4),
        M::Get<&ISendResult2::get_Type>("Type", 5),
    };
    return rows;
}

HRESULT SendResult::get_Result(VEXA_RESULT* pVal) noexcept { return CopyOut(f_.result, pVal); }
HRESULT SendResult::get_Type(VEXA_MESSAGE_TYPE* pVal) noexcept { return CopyOut(f_.type, pVal); }

HRESULT SendResult::MakeLogList(IDispatch** ppLogList) noexcept {
    if (!ppLogList) return E_POINTER;
    *ppLogList = nullptr;
    ComPtr<LogList> list = LogList::Make();
    if (!list) return E_OUTOFMEMORY;
    LogList::Fields& f = list->Fill();
    f.date = f_.date;
    f.index = f_.index;
    f.type = f_.type;
    return HandOutDispatch(list, ppLogList);
}

std::span<const DispEntry> SendResults::DispatchMembers() {
    using M = Members<SendResults>;
    static constexpr auto rows = JoinRows(CollectionRows<SendResults, ISendResults>(),
                                          std::array{
                                              M::Get<&ISendResults::get_Date>("Date", 3),
                                              M::Get<&ISendResults::get_Index>("Index", 4),
                                              M::Method<&ISendResults::MakeLogList>("MakeLogList", 11),
                                          });
    return rows;
}

HRESULT SendResults::First(ComPtr<ISendResult>& first) {
    if (Count() == 0) return VEXA_E_LOGLISTNOTFOUND;
    ComPtr<IDispatch> item;
    HRESULT hr = get_Item(ArrayBase(), item.Out());
    if (FAILED(hr)) return hr;
    return item.As(IID_ISendResult, first);
}

HRESULT SendResults::get_Date(BSTR* pVal) noexcept {
    ComPtr<ISendResult> first;
    HRESULT hr = First(first);
    return FAILED(hr) ? hr : first->get_Date(pVal);
}

HRESULT SendResults::get_Index(BSTR* pVal) noexcept {
    ComPtr<ISendResult> first;
    HRESULT hr = First(first);
    return FAILED(hr) ? hr : first->get_Index(pVal);
}

HRESULT SendResults::MakeLogList(IDispatch** ppLogList) noexcept {
    ComPtr<ISendResult> first;
    HRESULT hr = First(first);
    return FAILED(hr) ? hr : first->MakeLogList(ppLogList);
}

}  // namespace vexa
