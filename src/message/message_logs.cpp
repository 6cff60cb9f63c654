// Log queries: a month's transfers, and one transfer's receivers.
#include <cstdlib>

#include "automation/guarded.h"
#include "automation/text.h"
#include "contract/log_detail.h"
#include "contract/read_property.h"
#include "message/log_mapping.h"
#include "message/message.h"
#include "rest/transfers_document.h"

namespace vexa {

namespace {

// The number at the start of text, as strtol reads it.
LONG LeadingNumber(std::string_view text) { return std::strtol(std::string(text).c_str(), nullptr, 10); }

}  // namespace

HRESULT Message::RequestLog(LONG Year, LONG Month, VEXA_LOGBY LogBy, VEXA_MESSAGE_TYPE Type,
                            IDispatch** ppLogLists) noexcept {
    return RequestLogBound(Year, Month, 0, 0, LogBy, Type, ppLogLists);
}

HRESULT Message::RequestLogBound(LONG Year, LONG Month, LONG StartDay, LONG EndDay, VEXA_LOGBY LogBy,
                                 VEXA_MESSAGE_TYPE Type, IDispatch** ppLogLists) noexcept {
    return Guarded([&]() -> HRESULT {
        if (!ppLogLists) return E_POINTER;
        *ppLogLists = nullptr;
        if (const HRESULT hr = CheckLogRange(Year, Month, StartDay, EndDay, LogBy); FAILED(hr)) return hr;

        CRondoTransfers entity(context_);
        const bool executed =
            entity.RequestLogs(LogDateText(Year, Month, StartDay, EndDay), Type, LogBy == VEXA_BYRESERVATION);
        const HRESULT hr = ApplyReplyOutcome(entity, executed);
        if (FAILED(hr)) return hr;

        const ComPtr<LogLists> lists = CollectionFrom<LogLists, LogList>(entity.logs.records, FillLogList);
        if (!lists) return E_OUTOFMEMORY;
        lists->SetRestOwned();
        return HandOutDispatch(lists, ppLogLists);
    });
}

HRESULT Message::RequestLogDetail(LONG Year, LONG Month, BSTR Index, VEXA_MESSAGE_TYPE Type,
                                  IDispatch** ppLogDetails) noexcept {
    ClearOut(ppLogDetails);
    ComPtr<IDispatch> list;
    const HRESULT hr = CreateLogListDirect(Year, Month, Index, Type, list.Out());
    if (FAILED(hr)) return hr;
    return RequestLogDetailByList(list.Get(), ppLogDetails);
}

HRESULT Message::RequestLogDetailByList(IDispatch* pLogList, IDispatch** ppLogDetails) noexcept {
    return Guarded([&]() -> HRESULT {
        if (!ppLogDetails) return E_POINTER;
        *ppLogDetails = nullptr;
        if (!pLogList) return E_INVALIDARG;
        ComPtr<ILogList3> typed;
        ComPtr<ILogList> list;
        if (FAILED(QueryAs(pLogList, IID_ILogList3, typed)) || FAILED(QueryAs(pLogList, IID_ILogList, list)))
            return E_POINTER;

        const std::string date = ReadLocalText(list.Get(), &ILogList::get_Date);
        const std::string index = ReadLocalText(list.Get(), &ILogList::get_Index);
        VEXA_MESSAGE_TYPE type = VEXA_MESSAGE_TYPE_SMS;
        typed->get_Type(&type);
        const std::string_view key = date;
        const LONG year = LeadingNumber(key.substr(0, 4));
        const LONG month = LeadingNumber(key.size() > 2 ? key.substr(key.size() - 2) : key);

        CRondoTransfers entity(context_);
        const bool executed = entity.RequestDetail(year, month, type, index);
        const HRESULT hr = ApplyReplyOutcome(entity, executed);
        if (FAILED(hr)) return hr;

        const TransferDetail& transfer = entity.detail.detail;
        const ComPtr<LogDetails> details =
            CollectionFrom<LogDetails, LogDetail>(transfer.receivers, FillLogDetail);
        if (!details) return E_OUTOFMEMORY;
        LogDetails::Fields& f = details->Fill();
        f.date = BstrFromLocal(transfer.date);
        f.index = BstrFromLocal(transfer.index);
        f.returnPhone = BstrFromLocal(transfer.phoneBack);
        f.type = static_cast<VEXA_MESSAGE_TYPE>(TypeFromName(transfer.type));
        f.subject = BstrFromLocal(transfer.subject);
        for (const std::string& url : transfer.imageUrls) f.imageUrls.push_back(BstrFromLocal(url));
        return HandOutDispatch(details, ppLogDetails);
    });
}

HRESULT Message::RequestLogDetailByLists(IDispatch*, IDispatch** ppLogDetailsCollection) noexcept {
    (void)ppLogDetailsCollection;  // retired: nothing is written
    return VEXA_E_DEPRECATED;
}

}  // namespace vexa
