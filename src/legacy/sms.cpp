// SMS: its interfaces and dispatch rows, the factories of its own, and the single-entry forms of
// its collection methods.
#include "legacy/sms.h"

#include "contract/log_detail.h"
#include "contract/outcome_results.h"
#include "contract/send_result.h"
#include "contract/single_entry_call.h"

namespace vexa {

const char* const kDefaultLegacyHost = VEXA_LEGACY_HOST;

std::span<const DispEntry> SMS::DispatchMembers() {
    using M = Members<SMS>;
    static constexpr auto rows =
        JoinRows(FrontRows<SMS, ISMS>(), std::array{
                                             M::Method<&ISMS::SendSMS>("SendSMS", 21),
                                             M::Method<&ISMS::SendSMSOne>("SendSMSOne", 22),
                                         });
    return rows;
}

HRESULT SMS::CreateLogLists(IDispatch** ppLogLists) noexcept {
    return CreateAndHandOut<LogLists>(ppLogLists);
}

HRESULT SMS::CreateLogListDirect(LONG Year, LONG Month, BSTR Index, IDispatch** ppLogList) noexcept {
    return CreateLogListFor(Year, Month, Index, VEXA_MESSAGE_TYPE_SMS, ppLogList);
}

HRESULT SMS::SendSMSOne(BSTR bstrReturnPhone, IDispatch* pReceiver, IDispatch** ppSendResult) noexcept {
    ClearOut(ppSendResult);
    if (!pReceiver) return E_INVALIDARG;
    if (!loginInfo_) return VEXA_E_NOTLOGINED;
    return CallWithSingleEntry<IReceivers, ISendResults>(
        pReceiver, ppSendResult, [&](IDispatch** list) { return CreateReceivers(list); },
        [&](IDispatch* list, IDispatch** results) { return SendSMS(bstrReturnPhone, list, results); });
}

HRESULT SMS::RequestLog(LONG Year, LONG Month, VEXA_LOGBY LogBy, IDispatch** ppLogLists) noexcept {
    return RequestLogBound(Year, Month, 0, 0, LogBy, ppLogLists);
}

// By year, month and index: a LogList for that transfer, then the by-entry form.
HRESULT SMS::ForIdentity(LONG year, LONG month, BSTR index, IDispatch** ppResult,
                         HRESULT (STDMETHODCALLTYPE SMS::*byList)(IDispatch*, IDispatch**)) noexcept {
    ClearOut(ppResult);
    ComPtr<IDispatch> list;
    const HRESULT hr = CreateLogListDirect(year, month, index, list.Out());
    return FAILED(hr) ? hr : (this->*byList)(list.Get(), ppResult);
}

template <class ResultsItf, class Call>
HRESULT SMS::WithSingleLogList(IDispatch* pLogList, IDispatch** ppResult, Call&& call) noexcept {
    return CallWithSingleEntry<ILogLists, ResultsItf>(
        pLogList, ppResult, [&](IDispatch** lists) { return CreateLogLists(lists); },
        std::forward<Call>(call));
}

// Deleting or cancelling one entry: the collection form with a list of that entry.
template <class ResultsItf>
HRESULT SMS::ChangeLogOfEntry(IDispatch* pLogList, IDispatch** ppResult,
                              HRESULT (STDMETHODCALLTYPE SMS::*byLists)(IDispatch*, IDispatch**)) noexcept {
    ClearOut(ppResult);
    if (!pLogList) return E_INVALIDARG;
    return WithSingleLogList<ResultsItf>(pLogList, ppResult, [&](IDispatch* lists, IDispatch** results) {
        return (this->*byLists)(lists, results);
    });
}

HRESULT SMS::RequestLogDetail(LONG Year, LONG Month, BSTR Index, IDispatch** ppLogDetails) noexcept {
    return ForIdentity(Year, Month, Index, ppLogDetails, &SMS::RequestLogDetailByList);
}

HRESULT SMS::RequestLogDetailByList(IDispatch* pLogList, IDispatch** ppLogDetails) noexcept {
    if (!ppLogDetails) return E_POINTER;
    *ppLogDetails = nullptr;
    if (!pLogList) return E_INVALIDARG;
    if (!loginInfo_) return VEXA_E_NOTLOGINED;
    return WithSingleLogList<ILogDetailsCollection>(
        pLogList, ppLogDetails,
        [&](IDispatch* lists, IDispatch** results) { return RequestLogDetailByLists(lists, results); });
}

HRESULT SMS::DeleteLog(LONG Year, LONG Month, BSTR Index, IDispatch** ppDeleteResult) noexcept {
    return ForIdentity(Year, Month, Index, ppDeleteResult, &SMS::DeleteLogByList);
}

HRESULT SMS::DeleteLogByList(IDispatch* pLogList, IDispatch** ppDeleteResult) noexcept {
    return ChangeLogOfEntry<IDeleteResults>(pLogList, ppDeleteResult, &SMS::DeleteLogByLists);
}

HRESULT SMS::CancelReservation(LONG Year, LONG Month, BSTR Index, IDispatch** ppCancelResult) noexcept {
    return ForIdentity(Year, Month, Index, ppCancelResult, &SMS::CancelReservationByList);
}

HRESULT SMS::CancelReservationByList(IDispatch* pLogList, IDispatch** ppCancelResult) noexcept {
    return ChangeLogOfEntry<ICancelResults>(pLogList, ppCancelResult, &SMS::CancelReservationByLists);
}

}  // namespace vexa
