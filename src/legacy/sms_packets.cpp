// SMS: the methods that send a packet (sending, the log requests, deleting and cancelling), and
// how the reply's elements are dispatched to their readers.
#include "automation/date.h"
#include "automation/guarded.h"
#include "automation/decimal_text.h"
#include "automation/text.h"
#include "contract/host_receivers.h"
#include "contract/log_detail.h"
#include "contract/log_entries.h"
#include "contract/log_values.h"
#include "contract/outcome_family.h"
#include "contract/read_property.h"
#include "contract/send_result.h"
#include "legacy/log_bundles.h"
#include "legacy/send_sms_bundle.h"
#include "legacy/sms.h"

namespace vexa {

using Quill::CTPMLParser;
using VexaCore::CLogDetailBundle;
using VexaCore::CLogListBundle;
using VexaCore::CSendSMSBundle;
using VexaCore::CUserBundle;
using VexaCore::PacketBundle;

namespace {

VEXA_RESULT Succeeded(const std::string& word) { return word == "succeed" ? VEXA_SUCCEEDED : VEXA_FAILED; }

// The method's result collection handed out, or E_OUTOFMEMORY when it could not be made whole.
// A reply that repeats the method's element replaces the collection handed out for the earlier one.
template <class Collection>
HRESULT HandOutResults(const ComPtr<Collection>& results, IDispatch** out) {
    if (*out) {
        (*out)->Release();
        *out = nullptr;
    }
    return results ? HandOutDispatch(results, out) : E_OUTOFMEMORY;
}

// One receiver of a sending reply.
void FillSendResult(SendResult& result, const VexaCore::SmsResult& r) {
    SendResult::Fields& f = result.Fill();
    f.phone = BstrFromLocal(r.phone);
    f.result = Succeeded(r.status);
    f.date = BstrFromLocal(r.date);
    f.index = BstrFromLocal(r.index);
    f.type = VEXA_MESSAGE_TYPE_SMS;
}

// One entry of a log list reply.
void FillLogList(LogList& list, const VexaCore::LogRecord& r) {
    LogList::Fields& f = list.Fill();
    f.date = BstrFromLocal(r.date);
    f.index = BstrFromLocal(r.index);
    f.message = BstrFromLocal(r.message);
    f.sendMode = r.logClass == "direct" ? VEXA_DIRECT : VEXA_RESERVATION;
    f.receiverPhone = BstrFromLocal(r.phoneSend);
    f.returnPhone = BstrFromLocal(r.phoneBack);
    f.countTotal = ReadDecimal32(r.countTotal);
    f.countSucceed = ReadDecimal32(r.countSucceed);
    f.countFailure = ReadDecimal32(r.countFailure);
    f.sendTime = UnixSecondsToDate(r.timeSend);
    f.writeTime = UnixSecondsToDate(r.timeWrite);
    f.type = VEXA_MESSAGE_TYPE_SMS;
}

// The entries of a host's LogLists, or the code that stops the method.
HRESULT ReadLogEntries(IDispatch* pLogLists, std::vector<HostLogEntry>& entries) {
    ComPtr<ILogLists> lists;
    if (!pLogLists || FAILED(QueryAs(pLogLists, IID_ILogLists, lists))) return E_INVALIDARG;
    return CollectLogEntries(lists.Get(), ForeignEntry::kSkip, entries);
}

}  // namespace

HRESULT SMS::RunPacket(VexaCore::CUnknownBundle& method, bool withStatus,
                       const std::function<HRESULT(CTPMLParser&)>& readMethod) {
    PacketBundle packet;
    CUserBundle login;
    DescribeLogin(login, ReadLocalText(loginInfo_.Get(), &LoginInfo::get_UserID),
                  ToLocal(loginInfo_->ScrambledPassword().Get()));
    packet.Append(login);
    method.Process();
    const std::string methodElement = method.TopElementName();
    packet.Append(method);
    CUserBundle status;
    if (withStatus) {
        status.SetStatus();
        packet.Append(status);
    }

    LONG port = 0;
    loginInfo_->get_ServerPort(&port);
    CTPMLParser reply;
    if (!Exchange(ReadLocalText(loginInfo_.Get(), &LoginInfo::get_ServerIP), port, packet.Document(), reply))
        return VEXA_E_NOTCONNECTED;

    // Each top-level element is read in a document of its own, in order; the first failing one
    // ends it all (results already handed out stay with the caller).
    while (Quill::TPMLNode* element = reply.FirstElement()) {
        CTPMLParser single;
        CTPMLParser::MoveNode(single.Root(), element, Quill::InsertPosition::LastChild);
        const std::string& name = single.FirstElement()->Name();
        HRESULT hr = S_OK;
        if (name == "ERROR")
            hr = VEXA_E_SERVERERROR;
        else if (name == "USER")
            hr = ReadUserReply(single);
        else if (name == methodElement)
            hr = readMethod(single);
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

HRESULT SMS::SendSMS(BSTR bstrReturnPhone, IDispatch* pReceivers, IDispatch** ppSendResults) noexcept {
    return Guarded([&]() -> HRESULT {
        ClearOut(ppSendResults);
        ComPtr<IReceivers> receivers;
        if (!pReceivers || FAILED(QueryAs(pReceivers, IID_IReceivers, receivers))) return E_INVALIDARG;
        if (!loginInfo_) return VEXA_E_NOTLOGINED;
        const std::vector<HostReceiver> list = ReadHostReceivers(receivers.Get());
        if (list.empty()) return VEXA_E_RECEIVERNOTFOUND;

        CSendSMSBundle request;
        request.SetSender(ToLocal(bstrReturnPhone));
        const std::string office = ToLocal(officeName_.Get());
        for (const HostReceiver& r : list)
            request.AddReceiver(office, r.phone, r.message, r.mode == VEXA_DIRECT, TimeTFromDate(r.sendTime));
        return RunPacket(request, true, [&](CTPMLParser& element) -> HRESULT {
            CSendSMSBundle reply(&element);
            reply.Process();
            if (reply.HasError()) return reply.ErrorCode() == "200" ? VEXA_E_NEEDFORCALL : VEXA_E_SERVERERROR;
            if (!ppSendResults) return S_OK;
            return HandOutResults(CollectionFrom<SendResults, SendResult>(reply.Results(), FillSendResult),
                                  ppSendResults);
        });
    });
}

HRESULT SMS::RequestLogBound(LONG Year, LONG Month, LONG StartDay, LONG EndDay, VEXA_LOGBY LogBy,
                             IDispatch** ppLogLists) noexcept {
    return Guarded([&]() -> HRESULT {
        if (!ppLogLists) return E_POINTER;
        *ppLogLists = nullptr;
        if (!loginInfo_) return VEXA_E_NOTLOGINED;
        if (const HRESULT hr = CheckLogRange(Year, Month, StartDay, EndDay, LogBy); FAILED(hr)) return hr;

        const bool reservations = LogBy == VEXA_BYRESERVATION;
        CLogListBundle request;
        const std::string key = LogDateText(Year, Month, StartDay, EndDay);
        reservations ? request.AddReferResDate(key) : request.AddReferDate(key);
        return RunPacket(request, false, [&](CTPMLParser& element) -> HRESULT {
            CLogListBundle reply(&element);
            reply.Process();
            if (reply.HasError()) return VEXA_E_SERVERERROR;
            return HandOutResults(CollectionFrom<LogLists, LogList>(
                                      reservations ? reply.ReferRes() : reply.Refer(), FillLogList),
                                  ppLogLists);
        });
    });
}

HRESULT SMS::RequestLogDetailByLists(IDispatch* pLogLists, IDispatch** ppLogDetailsCollection) noexcept {
    return Guarded([&]() -> HRESULT {
        if (!ppLogDetailsCollection) return E_POINTER;
        *ppLogDetailsCollection = nullptr;
        if (!pLogLists) return E_INVALIDARG;
        if (!loginInfo_) return VEXA_E_NOTLOGINED;
        std::vector<HostLogEntry> entries;
        if (const HRESULT hr = ReadLogEntries(pLogLists, entries); FAILED(hr)) return hr;

        CLogDetailBundle request;
        for (const HostLogEntry& e : entries) request.AddDetailRequest(e.date, e.index);
        return RunPacket(request, false, [&](CTPMLParser& element) -> HRESULT {
            CLogDetailBundle reply(&element);
            reply.Process();
            if (reply.HasError()) return VEXA_E_SERVERERROR;
            bool whole = true;
            ComPtr<LogDetailsCollection> groups = CollectionFrom<LogDetailsCollection, LogDetails>(
                reply.Groups(), [&](LogDetails& details, const VexaCore::DetailGroup& group) {
                    LogDetails::Fields& f = details.Fill();
                    f.date = BstrFromLocal(group.date);
                    f.index = BstrFromLocal(group.index);
                    f.returnPhone = BstrFromLocal(group.phoneBack);
                    f.type = VEXA_MESSAGE_TYPE_SMS;
                    for (const VexaCore::DetailRecord& r : group.records) {
                        ComPtr<LogDetail> detail = LogDetail::Make();
                        if (!detail) {
                            whole = false;
                            return;
                        }
                        LogDetail::Fields& d = detail->Fill();
                        d.receiverPhone = BstrFromLocal(r.phoneSend);
                        d.message = BstrFromLocal(r.message);
                        d.status = TransStatusFromCode(r.status);
                        d.result = TransResultFromCode(r.result);
                        d.transDate = TransDateFromText(r.tranDate);
                        if (FAILED(details.AddObject(detail))) whole = false;
                    }
                });
            return HandOutResults(whole ? groups : ComPtr<LogDetailsCollection>(), ppLogDetailsCollection);
        });
    });
}

namespace {

// Deleting and cancelling: the same packet around a different list of the LOGLIST element.
void AddEntry(DeleteFamily, CLogListBundle& request, const HostLogEntry& e) {
    request.AddDrop(e.date, e.index);
}
void AddEntry(CancelFamily, CLogListBundle& request, const HostLogEntry& e) {
    request.AddCancel(e.date, e.index);
}

const std::vector<VexaCore::LogRecord>& RecordsOf(DeleteFamily, const CLogListBundle& reply) {
    return reply.Drop();
}
const std::vector<VexaCore::LogRecord>& RecordsOf(CancelFamily, const CLogListBundle& reply) {
    return reply.Cancel();
}

void FillOutcome(DeleteResult& result, const VexaCore::LogRecord& r) {
    DeleteResult::Fields& f = result.Fill();
    f.date = BstrFromLocal(r.date);
    f.index = BstrFromLocal(r.index);
    f.result = Succeeded(r.result);
}

// Done only when every reservation of the transfer was cancelled.
void FillOutcome(CancelResult& result, const VexaCore::LogRecord& r) {
    CancelResult::Fields& f = result.Fill();
    f.date = BstrFromLocal(r.date);
    f.index = BstrFromLocal(r.index);
    f.countTotal = ReadDecimal32(r.countTotal);
    f.countSucceed = ReadDecimal32(r.countSucceed);
    f.countFailure = ReadDecimal32(r.countFailure);
    f.result = f.countTotal != 0 && f.countTotal == f.countSucceed ? VEXA_SUCCEEDED : VEXA_FAILED;
}

}  // namespace

template <class Family>
HRESULT SMS::ChangeLogs(IDispatch* pLogLists, IDispatch** ppResults) noexcept {
    return Guarded([&]() -> HRESULT {
        std::vector<HostLogEntry> entries;
        if (const HRESULT hr = ReadLogEntries(pLogLists, entries); FAILED(hr)) return hr;
        CLogListBundle request;
        for (const HostLogEntry& e : entries) AddEntry(Family{}, request, e);
        return RunPacket(request, true, [&](CTPMLParser& element) -> HRESULT {
            CLogListBundle reply(&element);
            reply.Process();
            if (reply.HasError()) return VEXA_E_SERVERERROR;
            if (!ppResults) return S_OK;
            return HandOutResults(CollectionFrom<typename Family::Results, typename Family::Result>(
                                      RecordsOf(Family{}, reply),
                                      [](auto& result, const auto& record) { FillOutcome(result, record); }),
                                  ppResults);
        });
    });
}

HRESULT SMS::DeleteLogByLists(IDispatch* pLogLists, IDispatch** ppDeleteResults) noexcept {
    ClearOut(ppDeleteResults);
    if (!loginInfo_) return VEXA_E_NOTLOGINED;
    return ChangeLogs<DeleteFamily>(pLogLists, ppDeleteResults);
}

HRESULT SMS::CancelReservationByLists(IDispatch* pLogLists, IDispatch** ppCancelResults) noexcept {
    ClearOut(ppCancelResults);
    if (!pLogLists) return E_INVALIDARG;
    if (!loginInfo_) return VEXA_E_NOTLOGINED;
    return ChangeLogs<CancelFamily>(pLogLists, ppCancelResults);
}

}  // namespace vexa
