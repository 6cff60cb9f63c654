#include "message/message.h"

#include "contract/contents.h"

namespace vexa {

std::span<const InterfaceEntry> Message::Interfaces() {
    using M = InterfaceMap<Message>;
    static constexpr InterfaceEntry map[] = {
        M::Entry<IMessage>(IID_IMessage),
        M::Entry<IMessage>(DIID_DispMessage),
        M::Entry<IObjectSafety>(IID_IObjectSafety),
    };
    return map;
}

std::span<const DispEntry> Message::DispatchMembers() {
    using M = Members<Message>;
    static constexpr auto rows = JoinRows(FrontRows<Message, IMessage>(),
                                          std::array{
                                              M::Method<&IMessage::SetAccountInfo>("SetAccountInfo", 14),
                                              M::Method<&IMessage::Send>("Send", 21),
                                              M::Method<&IMessage::SendOne>("SendOne", 22),
                                              M::Method<&IMessage::CreateContents>("CreateContents", 57),
                                          });
    return rows;
}

HRESULT Message::get_ServiceCode(BSTR*) { return VEXA_E_DEPRECATED; }
HRESULT Message::put_ServiceCode(BSTR) { return VEXA_E_DEPRECATED; }
HRESULT Message::get_OfficeName(BSTR*) { return VEXA_E_DEPRECATED; }
HRESULT Message::put_OfficeName(BSTR) { return VEXA_E_DEPRECATED; }
HRESULT Message::Login(BSTR, LONG, BSTR, BSTR, IDispatch**) { return VEXA_E_DEPRECATED; }

namespace {
// The members that talk to the service arrive with the REST backend; until then they clear
// their result and say so.
HRESULT NotYet(IDispatch** result) {
    ClearOut(result);
    return E_NOTIMPL;
}
}  // namespace

HRESULT Message::UpdateLoginInfo() { return E_NOTIMPL; }
HRESULT Message::SetAccountInfo(BSTR, BSTR) { return E_NOTIMPL; }

HRESULT Message::Send(BSTR, IDispatch*, IDispatch*, IDispatch** ppSendResults) {
    return NotYet(ppSendResults);
}

HRESULT Message::SendOne(BSTR, IDispatch*, IDispatch*, IDispatch** ppSendResult) {
    return NotYet(ppSendResult);
}

HRESULT Message::RequestLog(LONG, LONG, VEXA_LOGBY, VEXA_MESSAGE_TYPE, IDispatch** ppLogLists) {
    return NotYet(ppLogLists);
}

HRESULT Message::RequestLogBound(LONG, LONG, LONG, LONG, VEXA_LOGBY, VEXA_MESSAGE_TYPE,
                                 IDispatch** ppLogLists) {
    return NotYet(ppLogLists);
}

HRESULT Message::RequestLogDetail(LONG, LONG, BSTR, VEXA_MESSAGE_TYPE, IDispatch** ppLogDetails) {
    return NotYet(ppLogDetails);
}

HRESULT Message::RequestLogDetailByList(IDispatch*, IDispatch** ppLogDetails) { return NotYet(ppLogDetails); }

HRESULT Message::RequestLogDetailByLists(IDispatch*, IDispatch** ppLogDetailsCollection) {
    return NotYet(ppLogDetailsCollection);
}

HRESULT Message::DeleteLog(LONG, LONG, BSTR, VEXA_MESSAGE_TYPE, IDispatch** ppDeleteResult) {
    return NotYet(ppDeleteResult);
}

HRESULT Message::DeleteLogByList(IDispatch*, IDispatch** ppDeleteResult) { return NotYet(ppDeleteResult); }

HRESULT Message::DeleteLogByLists(IDispatch*, IDispatch** ppDeleteResults) { return NotYet(ppDeleteResults); }

HRESULT Message::CancelReservation(LONG, LONG, BSTR, VEXA_MESSAGE_TYPE, IDispatch** ppCancelResult) {
    return NotYet(ppCancelResult);
}

HRESULT Message::CancelReservationByList(IDispatch*, IDispatch** ppCancelResult) {
    return NotYet(ppCancelResult);
}

HRESULT Message::CancelReservationByLists(IDispatch*, IDispatch** ppCancelResults) {
    return NotYet(ppCancelResults);
}

// Lists made here belong to the REST backend, where LogLists.AddDirect is retired.
HRESULT Message::CreateLogLists(IDispatch** ppLogLists) {
    return CreateAndHandOut<LogLists>(ppLogLists, [](LogLists& lists) { lists.SetRestOwned(); });
}

HRESULT Message::CreateLogListDirect(LONG Year, LONG Month, BSTR Index, VEXA_MESSAGE_TYPE Type,
                                     IDispatch** ppLogList) {
    return CreateLogListFor(Year, Month, Index, Type, ppLogList);
}

HRESULT Message::CreateContents(IDispatch** ppContents) { return CreateAndHandOut<Contents>(ppContents); }

}  // namespace vexa
