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

// The members that talk to the service arrive with the REST backend.
HRESULT Message::UpdateLoginInfo() { return E_NOTIMPL; }
HRESULT Message::SetAccountInfo(BSTR, BSTR) { return E_NOTIMPL; }

HRESULT Message::Send(BSTR, IDispatch*, IDispatch*, IDispatch** ppSendResults) {
    ClearOut(ppSendResults);
    return E_NOTIMPL;
}

HRESULT Message::SendOne(BSTR, IDispatch*, IDispatch*, IDispatch** ppSendResult) {
    ClearOut(ppSendResult);
    return E_NOTIMPL;
}

HRESULT Message::RequestLog(LONG, LONG, VEXA_LOGBY, VEXA_MESSAGE_TYPE, IDispatch** ppLogLists) {
    ClearOut(ppLogLists);
    return E_NOTIMPL;
}

HRESULT Message::RequestLogBound(LONG, LONG, LONG, LONG, VEXA_LOGBY, VEXA_MESSAGE_TYPE,
                                 IDispatch** ppLogLists) {
    ClearOut(ppLogLists);
    return E_NOTIMPL;
}

HRESULT Message::RequestLogDetail(LONG, LONG, BSTR, VEXA_MESSAGE_TYPE, IDispatch** ppLogDetails) {
    ClearOut(ppLogDetails);
    return E_NOTIMPL;
}

HRESULT Message::RequestLogDetailByList(IDispatch*, IDispatch** ppLogDetails) {
    ClearOut(ppLogDetails);
    return E_NOTIMPL;
}

HRESULT Message::RequestLogDetailByLists(IDispatch*, IDispatch** ppLogDetailsCollection) {
    ClearOut(ppLogDetailsCollection);
    return E_NOTIMPL;
}

HRESULT Message::DeleteLog(LONG, LONG, BSTR, VEXA_MESSAGE_TYPE, IDispatch** ppDeleteResult) {
    ClearOut(ppDeleteResult);
    return E_NOTIMPL;
}

HRESULT Message::DeleteLogByList(IDispatch*, IDispatch** ppDeleteResult) {
    ClearOut(ppDeleteResult);
    return E_NOTIMPL;
}

HRESULT Message::DeleteLogByLists(IDispatch*, IDispatch** ppDeleteResults) {
    ClearOut(ppDeleteResults);
    return E_NOTIMPL;
}

HRESULT Message::CancelReservation(LONG, LONG, BSTR, VEXA_MESSAGE_TYPE, IDispatch** ppCancelResult) {
    ClearOut(ppCancelResult);
    return E_NOTIMPL;
}

HRESULT Message::CancelReservationByList(IDispatch*, IDispatch** ppCancelResult) {
    ClearOut(ppCancelResult);
    return E_NOTIMPL;
}

HRESULT Message::CancelReservationByLists(IDispatch*, IDispatch** ppCancelResults) {
    ClearOut(ppCancelResults);
    return E_NOTIMPL;
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
