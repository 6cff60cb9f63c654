// Deleting logs and cancelling reservations: the collection form sends one request for all its
// entries; the other forms wrap their argument into it.
#include "automation/guarded.h"
#include "automation/text.h"
#include "contract/array_base.h"
#include "contract/log_entries.h"
#include "contract/outcome_family.h"
#include "contract/read_property.h"
#include "contract/single_entry_call.h"
#include "message/message.h"
#include "rest/transfers_document.h"

namespace vexa {

namespace {

// Each family's request.
bool Request(DeleteFamily, CRondoTransfers& entity, const std::vector<LogKey>& keys) {
    return entity.RequestDelete(keys);
}

bool Request(CancelFamily, CRondoTransfers& entity, const std::vector<LogKey>& keys) {
    return entity.RequestCancel(keys);
}

// The entry's identity and whether the service did it ("succeed" exactly).
template <class Fields>
void FillIdentity(Fields& f, const LogRecord& r) {
    f.date = BstrFromLocal(r.date);
    f.index = BstrFromLocal(r.index);
    f.result = r.result == "succeed" ? VEXA_SUCCEEDED : VEXA_FAILED;
}

void FillOutcome(DeleteResult& result, const LogRecord& r) { FillIdentity(result.Fill(), r); }

void FillOutcome(CancelResult& result, const LogRecord& r) {
    CancelResult::Fields& f = result.Fill();
    FillIdentity(f, r);
    f.countTotal = r.countTotal;
    f.countSucceed = r.countSuccess;
    f.countFailure = r.countFailure;
}

}  // namespace

template <class Family>
HRESULT Message::ByCollection(IDispatch* pLogLists, IDispatch** ppResults) noexcept {
    return Guarded([&]() -> HRESULT {
        ClearOut(ppResults);
        if (!pLogLists) return E_INVALIDARG;
        ComPtr<ILogLists> lists;
        if (FAILED(QueryAs(pLogLists, IID_ILogLists, lists))) return E_INVALIDARG;
        // An entry that is not a LogList stops it all.
        std::vector<HostLogEntry> entries;
        HRESULT hr = CollectLogEntries(lists.Get(), ForeignEntry::kStop, entries);
        if (FAILED(hr)) return hr;
        std::vector<LogKey> keys;
        for (const HostLogEntry& e : entries) keys.push_back({e.index, e.date, TypeName(e.type)});

        CRondoTransfers entity(context_);
        const bool executed = Request(Family{}, entity, keys);
        hr = ApplyReplyOutcome(entity, executed);
        if (FAILED(hr)) return hr;
        if (!ppResults) return S_OK;

        const ComPtr<typename Family::Results> results =
            CollectionFrom<typename Family::Results, typename Family::Result>(
                entity.logs.records,
                [](auto& result, const LogRecord& record) { FillOutcome(result, record); });
        return results ? HandOutDispatch(results, ppResults) : E_OUTOFMEMORY;
    });
}

// By year, month, index and type: a LogList for that identity, then the by-entry form.
template <class Family>
HRESULT Message::ByIdentity(LONG year, LONG month, BSTR index, VEXA_MESSAGE_TYPE type,
                            IDispatch** ppResult) noexcept {
    ClearOut(ppResult);
    ComPtr<IDispatch> list;
    const HRESULT hr = CreateLogListDirect(year, month, index, type, list.Out());
    return FAILED(hr) ? hr : ByEntry<Family>(list.Get(), ppResult);
}

template <class Family>
HRESULT Message::ByEntry(IDispatch* pLogList, IDispatch** ppResult) noexcept {
    ClearOut(ppResult);
    if (!pLogList) return E_INVALIDARG;
    return CallWithSingleEntry<ILogLists, typename Family::ResultsItf>(
        pLogList, ppResult, [&](IDispatch** lists) { return CreateLogLists(lists); },
        [&](IDispatch* lists, IDispatch** results) { return ByCollection<Family>(lists, results); });
}

HRESULT Message::DeleteLog(LONG Year, LONG Month, BSTR Index, VEXA_MESSAGE_TYPE Type,
                           IDispatch** ppDeleteResult) noexcept {
    return ByIdentity<DeleteFamily>(Year, Month, Index, Type, ppDeleteResult);
}

HRESULT Message::DeleteLogByList(IDispatch* pLogList, IDispatch** ppDeleteResult) noexcept {
    return ByEntry<DeleteFamily>(pLogList, ppDeleteResult);
}

HRESULT Message::DeleteLogByLists(IDispatch* pLogLists, IDispatch** ppDeleteResults) noexcept {
    return ByCollection<DeleteFamily>(pLogLists, ppDeleteResults);
}

HRESULT Message::CancelReservation(LONG Year, LONG Month, BSTR Index, VEXA_MESSAGE_TYPE Type,
                                   IDispatch** ppCancelResult) noexcept {
    return ByIdentity<CancelFamily>(Year, Month, Index, Type, ppCancelResult);
}

HRESULT Message::CancelReservationByList(IDispatch* pLogList, IDispatch** ppCancelResult) noexcept {
    return ByEntry<CancelFamily>(pLogList, ppCancelResult);
}

HRESULT Message::CancelReservationByLists(IDispatch* pLogLists, IDispatch** ppCancelResults) noexcept {
    return ByCollection<CancelFamily>(pLogLists, ppCancelResults);
}

}  // namespace vexa
